#include <QtTest>

#include "core/explain/Explanation.h"
#include "gui/MeasuredLine.h"

using namespace quorvel::gui;

using namespace quorvel;

namespace {

const Settings kAnyMode1{BackgroundColor::Any, SizeMode::Mode1};

AuditReport Rejected(Verdict verdict, AuditTrace trace, std::optional<cv::Rect> face = {}) {
    AuditReport report;
    report.verdict = verdict;
    report.face = face;
    report.trace = std::move(trace);
    return report;
}

AuditTrace Decoded(cv::Size size) {
    AuditTrace trace;
    trace.photoSize = size;
    trace.faces = std::vector<cv::Rect>{};
    return trace;
}

}  // namespace

// What the line under the buttons says for each way an audit can fail,
// built from the measured values of the audit's trace.
class MeasuredLineTest : public QObject {
    Q_OBJECT

private slots:
    // Each row's line is the core's sentence for the rule that decided,
    // with the values the trace holds (the sentences: SentencesTest).
    void eachRejectionSaysWhatWasMeasured_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("line");
        const auto said = [](const Explanation& e) { return QString::fromStdString(e.text); };
        QTest::newRow("file length") << 0 << said(ExplainFileLength(25600));
        QTest::newRow("pixel size, mode 2")
            << 1 << said(ExplainPhotoSize({300, 440}, SizeMode::Mode2));
        QTest::newRow("coverage") << 2 << said(ExplainCoverage(BackgroundColor::Blue, 0.085));
        QTest::newRow("class refused")
            << 3 << said(ExplainBackgroundSetting(BackgroundColor::Red, BackgroundColor::Blue));
        QTest::newRow("no class") << 4 << said(ExplainBackgroundColour(Hsv{}));
        QTest::newRow("setting out of range")
            << 5
            << said(ExplainBackgroundSetting(BackgroundColor::White,
                                             static_cast<BackgroundColor>(7)));
        QTest::newRow("three faces") << 6 << said(ExplainFaceCount(3));
        QTest::newRow("no face") << 7 << said(ExplainFaceCount(0));
        QTest::newRow("face too narrow") << 8 << said(ExplainFaceShare(0.15));
        QTest::newRow("no head top") << 9 << said(ExplainHeadTop());
        QTest::newRow("no frame fits") << 10 << said(ExplainCropFrame(0));
        QTest::newRow("broken audit") << 11 << said(ExplainAuditFailed("out of memory"));
        QTest::newRow("passed") << 12 << QString();
    }

    void eachRejectionSaysWhatWasMeasured() {
        QFETCH(int, row);
        QFETCH(QString, line);
        Settings settings = kAnyMode1;
        AuditReport report;
        AuditTrace trace = Decoded(cv::Size(600, 800));
        const cv::Rect face(200, 300, 200, 200);
        switch (row) {
            case 0:
                trace.fileLength = 25600;
                report = Rejected(Verdict::TooSmall, trace, face);
                break;
            case 1:
                settings.size = SizeMode::Mode2;
                trace = Decoded(cv::Size(300, 440));
                trace.fileLength = 40000;
                report = Rejected(Verdict::TooSmall, trace, face);
                break;
            case 2:
            case 3:
            case 4:
            case 5: {
                BackgroundTrace background;
                if (row == 2) {
                    background.backgroundClass = BackgroundColor::Blue;
                    background.fills = BackgroundFills{{1, 2, 3}, 2, 0.085};
                } else if (row == 3) {
                    background.backgroundClass = BackgroundColor::Red;
                    settings.color = BackgroundColor::Blue;
                } else if (row == 5) {
                    background.backgroundClass = BackgroundColor::White;
                    settings.color = static_cast<BackgroundColor>(7);
                }
                trace.background = background;
                report = Rejected(Verdict::BadBackground, trace, face);
                break;
            }
            case 6:
                trace.faces = std::vector<cv::Rect>(3, face);
                report = Rejected(Verdict::NoFace, trace);
                break;
            case 7:
                report = Rejected(Verdict::NoFace, trace);
                break;
            case 8:
                trace.crop = CropTrace{};
                report = Rejected(Verdict::BadProportion, trace, cv::Rect(250, 300, 90, 90));
                break;
            case 9:
                trace.crop = CropTrace{};
                report = Rejected(Verdict::BadProportion, trace, face);
                break;
            case 10:
                trace.crop = CropTrace{120, FrameSearch{}, std::nullopt};
                report = Rejected(Verdict::BadProportion, trace, face);
                break;
            case 11:
                report = Rejected(Verdict::BadFormat, AuditTrace{});
                report.failure = quorvel::Fail(quorvel::ErrorKind::OutOfMemory,
                                               "the audit failed: out of memory");
                break;
            default:
                report = Rejected(Verdict::Passed, trace, face);
                break;
        }
        QCOMPARE(measuredLine(report, settings), line);
    }

    // The line names the folder and the file, not the whole path; the root
    // folder has no name of its own.
    void savedLineNamesTheFolderAndTheFile() {
        const SavedLine line = savedLine(QStringLiteral("/home/a/Pictures/报名照片.jpg"));
        QCOMPARE(line.text(), QStringLiteral("已保存：Pictures/报名照片.jpg"));
        QCOMPARE(line.folder, QStringLiteral("/home/a/Pictures"));
        QCOMPARE(savedLine(QStringLiteral("/x.jpg")).text(), QStringLiteral("已保存：/x.jpg"));
    }
};

QTEST_MAIN(MeasuredLineTest)
#include "MeasuredLineTest.moc"
