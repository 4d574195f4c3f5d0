#include "gui/ResultPanel.h"

#include <opencv2/imgproc.hpp>

namespace quorvel::gui {

cv::Mat composeResultImage(const cv::Mat& successPicture, const cv::Mat& processedPhoto) {
    cv::Mat composed = successPicture.clone();
    const cv::Rect pictureRect(0, 0, composed.cols, composed.rows);
    if (processedPhoto.empty() || processedPhoto.type() != CV_8UC3 || composed.type() != CV_8UC3 ||
        (kResultFrame & pictureRect) != kResultFrame) {
        return composed;
    }
    cv::Mat stretched;
    cv::resize(processedPhoto, stretched, kResultFrame.size(), 0, 0, cv::INTER_LINEAR);
    stretched.copyTo(composed(kResultFrame));
    return composed;
}

cv::Mat pictureToBgr(const QImage& picture) {
    if (picture.isNull()) return {};
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    const cv::Mat view(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar*>(bgr.constBits()),
                       static_cast<size_t>(bgr.bytesPerLine()));
    return view.clone();
}

QImage bgrToPicture(const cv::Mat& bgr) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return {};
    const QImage view(bgr.data, bgr.cols, bgr.rows, static_cast<qsizetype>(bgr.step[0]),
                      QImage::Format_BGR888);
    return view.copy();
}

}  // namespace quorvel::gui
