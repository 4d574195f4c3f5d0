// The window on a screen of two device pixels per window pixel (run with
// QT_SCALE_FACTOR=2): it shows the @2x pictures and the processed photo at
// the screen's resolution, not the window-size ones pixel-doubled.
#include <QAbstractButton>
#include <QDir>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <opencv2/imgproc.hpp>

#include "FakeDialogs.h"
#include "UiTestSupport.h"
#include "gui/MainWindow.h"

using namespace quorvel::gui;

namespace {

const QRect kPhotoFrame2x(560, 166, 354, 456);

// The passed screen with the photo stretched into the result frame, at
// device pixel ratio 1 or 2.
QImage Expected(const cv::Mat& photo, int ratio) {
    QImage expected = uitest::ExpectedScreen(QStringLiteral("passed"), true, ratio);
    cv::Mat stretched;
    cv::resize(photo, stretched, cv::Size(177 * ratio, 228 * ratio), 0, 0, cv::INTER_LINEAR);
    QImage stretchedImage = uitest::BgrToRgb32(stretched);
    stretchedImage.setDevicePixelRatio(ratio);
    QPainter(&expected).drawImage(QPoint(280, 83), stretchedImage);
    return expected;
}

QImage PixelDoubled(const QImage& image) {
    return image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

class HiDpiTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_startDir;

private slots:
    void initTestCase() {
        QVERIFY(m_work.isValid());
        uitest::PrepareWorkDir(m_work.path(), true, &uitest::kDefaultConfig);
        m_startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_work.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(m_startDir); }

    // The passed screen: the @2x pictures, and the processed photo at the
    // frame's 354 x 456 device pixels.
    void windowIsPaintedAtTwiceTheResolution() {
        auto dialogs = std::make_unique<FakeDialogs>();
        dialogs->openAnswers.push_back(uitest::DataFile(QStringLiteral("id_blue.jpg")));
        MainWindow window(std::move(dialogs));
        QVERIFY(window.startUp());
        QSignalSpy finished(&window, &MainWindow::auditFinished);
        window.findChild<QAbstractButton*>(QStringLiteral("openButton"))->click();
        QVERIFY(finished.wait(120000));
        const QImage painted = window.grab().toImage();
        uitest::SaveScreenshot(painted, QStringLiteral("passed-hidpi"));
        QCOMPARE(painted.devicePixelRatio(), 2.0);
        QCOMPARE(painted.size(), QSize(1600, 1200));

        const cv::Mat& processed = window.processedPhoto();
        QCOMPARE(uitest::CountDifferences(painted, Expected(processed, 2), painted.rect()), 0);
        // Not the window-size pictures doubled: the edges of the drawing, the
        // text and the photo have their own pixels.
        const QImage doubled = PixelDoubled(Expected(processed, 1));
        QVERIFY(uitest::CountDifferences(painted, doubled, painted.rect(), {kPhotoFrame2x}) >
                20000);
        QVERIFY(uitest::CountDifferences(painted, doubled, kPhotoFrame2x) >
                kPhotoFrame2x.width() * kPhotoFrame2x.height() / 4);
    }
};

QTEST_MAIN(HiDpiTest)
#include "HiDpiTest.moc"
