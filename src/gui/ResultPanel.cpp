#include "gui/ResultPanel.h"

#include <QPainter>
#include <opencv2/imgproc.hpp>

namespace quorvel::gui {

void paintResultPhoto(QPainter& painter, const cv::Mat& processedPhoto) {
    if (processedPhoto.empty() || processedPhoto.type() != CV_8UC3) return;
    const qreal ratio = painter.device()->devicePixelRatio();
    const QRect frame(qRound(kResultFrame.x * ratio), qRound(kResultFrame.y * ratio),
                      qRound(kResultFrame.width * ratio), qRound(kResultFrame.height * ratio));
    cv::Mat stretched;
    cv::resize(processedPhoto, stretched, cv::Size(frame.width(), frame.height()), 0, 0,
               cv::INTER_LINEAR);
    QImage photo = bgrToPicture(stretched);
    // One photo pixel per device pixel, from a whole device pixel on.
    photo.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(frame.topLeft()) / ratio, photo);
}

QImage bgrToPicture(const cv::Mat& bgr) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return {};
    const QImage view(bgr.data, bgr.cols, bgr.rows, static_cast<qsizetype>(bgr.step[0]),
                      QImage::Format_BGR888);
    return view.copy();
}

}  // namespace quorvel::gui
