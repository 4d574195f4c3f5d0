// The result panel: the processed photo stretched into the frame of the
// success picture, every other pixel untouched, rows top-down.
#include <QtTest>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "gui/ResultPanel.h"

using namespace quorvel::gui;

namespace {

cv::Mat NoisePicture(int cols, int rows, int seed) {
    cv::Mat picture(rows, cols, CV_8UC3);
    cv::RNG rng(static_cast<uint64_t>(seed));
    rng.fill(picture, cv::RNG::UNIFORM, 0, 256);
    return picture;
}

// Pixels of a and b that differ, ignoring the result frame.
int DifferencesOutsideFrame(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat differ;
    cv::compare(a.reshape(1), b.reshape(1), differ, cv::CMP_NE);
    differ = differ.reshape(3);
    differ(kResultFrame).setTo(0);
    return cv::countNonZero(differ.reshape(1));
}

}  // namespace

class ResultPanelTest : public QObject {
    Q_OBJECT

private slots:
    void photoFillsTheFrameAndNothingElse_data() {
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("rows");
        QTest::newRow("processed photo, size mode 1") << 250 << 350;
        QTest::newRow("wide and smaller than the frame") << 60 << 30;
        QTest::newRow("much larger than the frame") << 1000 << 1400;
    }
    void photoFillsTheFrameAndNothingElse() {
        QFETCH(int, cols);
        QFETCH(int, rows);
        const cv::Mat picture = NoisePicture(800, 600, 1);
        const cv::Mat photo = NoisePicture(cols, rows, 2);

        const cv::Mat composed = composeResultImage(picture, photo);

        QCOMPARE(composed.size(), picture.size());
        QCOMPARE(DifferencesOutsideFrame(composed, picture), 0);
        cv::Mat expected;
        cv::resize(photo, expected, cv::Size(177, 228), 0, 0, cv::INTER_LINEAR);
        QCOMPARE(cv::norm(composed(kResultFrame), expected, cv::NORM_INF), 0.0);
        // The frame's right and bottom border lines stay visible.
        QCOMPARE(cv::norm(composed.col(457), picture.col(457), cv::NORM_INF), 0.0);
        QCOMPARE(cv::norm(composed.row(311), picture.row(311), cv::NORM_INF), 0.0);
    }

    void withoutAUsablePhotoThePictureIsUnchanged() {
        const cv::Mat picture = NoisePicture(800, 600, 3);
        const cv::Mat grey(300, 200, CV_8UC1, cv::Scalar(90));
        for (const cv::Mat& photo : {cv::Mat(), grey}) {
            const cv::Mat composed = composeResultImage(picture, photo);
            QCOMPARE(cv::norm(composed, picture, cv::NORM_INF), 0.0);
        }
        // A picture too small to hold the frame is returned as it is.
        const cv::Mat small = NoisePicture(300, 200, 4);
        const cv::Mat composed = composeResultImage(small, NoisePicture(250, 350, 5));
        QCOMPARE(cv::norm(composed, small, cv::NORM_INF), 0.0);
    }
};

QTEST_GUILESS_MAIN(ResultPanelTest)
#include "ResultPanelTest.moc"
