// The result panel: the processed photo stretched into the result frame at
// the resolution of the device painted on, every other pixel untouched.
#include <QPainter>
#include <QtTest>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "UiTestSupport.h"
#include "gui/ResultPanel.h"

using namespace quorvel::gui;

namespace {

cv::Mat NoisePicture(int cols, int rows, int seed) {
    cv::Mat picture(rows, cols, CV_8UC3);
    cv::RNG rng(static_cast<uint64_t>(seed));
    rng.fill(picture, cv::RNG::UNIFORM, 0, 256);
    return picture;
}

// A device of the given pixel ratio showing noise.
QImage NoiseDevice(int cols, int rows, qreal ratio, int seed) {
    QImage device = uitest::BgrToRgb32(NoisePicture(cols, rows, seed));
    device.setDevicePixelRatio(ratio);
    return device;
}

QImage Painted(const QImage& device, const cv::Mat& photo) {
    QImage painted = device;
    QPainter painter(&painted);
    paintResultPhoto(painter, photo);
    return painted;
}

}  // namespace

class ResultPanelTest : public QObject {
    Q_OBJECT

private slots:
    void photoFillsTheFrameAndNothingElse_data() {
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("rows");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QRect>("frame");  // in device pixels
        const QRect frame(280, 83, 177, 228);
        QTest::newRow("processed photo, size mode 1") << 250 << 350 << 1.0 << frame;
        QTest::newRow("wide and smaller than the frame") << 60 << 30 << 1.0 << frame;
        QTest::newRow("much larger than the frame") << 1000 << 1400 << 1.0 << frame;
        QTest::newRow("ratio 2") << 250 << 350 << 2.0 << QRect(560, 166, 354, 456);
        QTest::newRow("ratio 1.5: rounded to device pixels")
            << 250 << 350 << 1.5 << QRect(420, 125, 266, 342);
    }
    void photoFillsTheFrameAndNothingElse() {
        QFETCH(int, cols);
        QFETCH(int, rows);
        QFETCH(qreal, ratio);
        QFETCH(QRect, frame);
        const QImage device = NoiseDevice(qRound(800 * ratio), qRound(600 * ratio), ratio, 1);
        const cv::Mat photo = NoisePicture(cols, rows, 2);

        const QImage painted = Painted(device, photo);

        // Everything else, the frame's right and bottom border lines included,
        // is the device's.
        QCOMPARE(uitest::CountDifferences(painted, device, device.rect(), {frame}), 0);
        cv::Mat stretched;
        cv::resize(photo, stretched, cv::Size(frame.width(), frame.height()), 0, 0,
                   cv::INTER_LINEAR);
        QCOMPARE(uitest::CountDifferences(painted.copy(frame), uitest::BgrToRgb32(stretched),
                                          QRect(QPoint(0, 0), frame.size())),
                 0);
    }

    void withoutAUsablePhotoNothingIsPainted() {
        const QImage device = NoiseDevice(800, 600, 1, 3);
        const cv::Mat grey(300, 200, CV_8UC1, cv::Scalar(90));
        for (const cv::Mat& photo : {cv::Mat(), grey}) {
            QCOMPARE(uitest::CountDifferences(Painted(device, photo), device, device.rect()), 0);
        }
        // On a device too small to hold the frame only the part of it there is painted.
        const QImage small = NoiseDevice(300, 200, 1, 4);
        QCOMPARE(uitest::CountDifferences(Painted(small, NoisePicture(250, 350, 5)), small,
                                          small.rect(), {QRect(280, 83, 20, 117)}),
                 0);
    }
};

QTEST_GUILESS_MAIN(ResultPanelTest)
#include "ResultPanelTest.moc"
