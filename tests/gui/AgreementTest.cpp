// The window and quorvel-audit agree: for the same photos and settings the
// same verdict, the same measured line (the window's line under the reason,
// the JSON line's "reason" text) and the same processed photo, pixel for
// pixel.
#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "FakeDialogs.h"
#include "UiTestSupport.h"
#include "core/audit/Verdict.h"
#include "gui/MainWindow.h"
#include "support/RunAudit.h"

using namespace quorvel::gui;
using quorvel::Verdict;

namespace {

namespace fs = std::filesystem;

// What one front end tells about one photo.
struct Outcome {
    Verdict verdict = Verdict::Initial;
    QString line;  // the measured line; empty for a pass
    cv::Mat processed;
};

// The photos through a window started in the working directory.
std::vector<Outcome> ThroughWindow(const std::vector<fs::path>& photos) {
    std::vector<Outcome> outcomes;
    MainWindow window(std::make_unique<FakeDialogs>());
    if (!window.startUp()) return outcomes;
    for (const fs::path& photo : photos) {
        QSignalSpy finished(&window, &MainWindow::auditFinished);
        window.auditFile(photo);
        if (!finished.wait(120000)) return outcomes;
        outcomes.push_back(
            {window.auditState(), window.measuredText(), window.processedPhoto().clone()});
    }
    return outcomes;
}

// The photos through one run of quorvel-audit in dir, each pass saved as PNG.
std::vector<Outcome> ThroughCli(const fs::path& dir, const std::vector<fs::path>& photos, int color,
                                int size) {
    std::vector<std::string> args = {"--color",   std::to_string(color),
                                     "--size",    std::to_string(size),
                                     "--cascade", QUORVEL_TEST_CASCADE,
                                     "--out",     "out",
                                     "--ext",     "png"};
    for (const fs::path& photo : photos) args.push_back(photo.string());
    const clitest::RunOutput run = clitest::RunAudit(args, dir);
    std::vector<Outcome> outcomes;
    std::istringstream lines(run.out);
    for (std::string text; std::getline(lines, text);) {
        const nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
        if (line.is_discarded()) return {};
        Outcome outcome;
        outcome.verdict = *quorvel::VerdictFromNumber(line.at("state").get<int>());
        outcome.line = QString::fromStdString(line.at("reason").at("text").get<std::string>());
        if (line.at("processed").is_object()) {
            const fs::path saved = dir / line["processed"]["path"].get<std::string>();
            outcome.processed = cv::imread(saved.string(), cv::IMREAD_COLOR);
        }
        outcomes.push_back(outcome);
    }
    return outcomes;
}

}  // namespace

class AgreementTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_startDir;

private slots:
    void initTestCase() {
        QVERIFY(m_work.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           m_work.filePath(QStringLiteral("settings")));
        m_startDir = QDir::currentPath();
    }
    void cleanupTestCase() { QDir::setCurrent(m_startDir); }

    // A mixed set: every verdict but the background and the proportion comes
    // from the fixtures as they are; those two from the settings and a crop.
    void windowAndCommandLineAgree() {
        const fs::path work = m_work.path().toStdString();
        const cv::Mat blue =
            cv::imread(uitest::DataFile(QStringLiteral("id_blue.jpg")).toStdString());
        const fs::path offCentre = work / "face_at_the_edge.png";
        QVERIFY(
            cv::imwrite(offCentre.string(), blue(cv::Rect(100, 0, blue.cols - 100, blue.rows))));
        std::vector<fs::path> photos = {work / "missing.jpg", offCentre};
        for (const char* name :
             {"id_blue.jpg", "id_red.jpg", "id_white.jpg", "portrait.jpg", "no_face.jpg",
              "group.jpg", "small_face.jpg", "id_blue_cmyk.jpg"}) {
            photos.push_back(uitest::DataFile(QString::fromLatin1(name)).toStdString());
        }
        int compared = 0;
        for (int color : {0, 2, 3}) {
            for (int size : {1, 2}) {
                const QString dir = m_work.filePath(QStringLiteral("c%1s%2").arg(color).arg(size));
                QVERIFY(QDir().mkpath(dir));
                const QByteArray config =
                    QStringLiteral("[set]\ncolor=%1\nsize=%2\n").arg(color).arg(size).toLatin1();
                uitest::PrepareWorkDir(dir, true, &config);
                QVERIFY(QDir::setCurrent(dir));
                const std::vector<Outcome> window = ThroughWindow(photos);
                const std::vector<Outcome> cli = ThroughCli(dir.toStdString(), photos, color, size);
                QCOMPARE(window.size(), photos.size());
                QCOMPARE(cli.size(), photos.size());
                for (std::size_t i = 0; i < photos.size(); ++i) {
                    const QByteArray where = QStringLiteral("%1, color %2, size %3")
                                                 .arg(QString::fromStdString(photos[i].filename()))
                                                 .arg(color)
                                                 .arg(size)
                                                 .toUtf8();
                    QVERIFY2(window[i].verdict == cli[i].verdict, where.constData());
                    const bool passed = cli[i].verdict == Verdict::Passed;
                    QVERIFY2(window[i].line == (passed ? QString() : cli[i].line),
                             qPrintable(where + ": " + window[i].line + " / " + cli[i].line));
                    // The window shows a processed photo only for a pass.
                    if (passed) {
                        QVERIFY2(window[i].processed.size() == cli[i].processed.size(),
                                 where.constData());
                        QVERIFY2(cv::norm(window[i].processed, cli[i].processed, cv::NORM_INF) == 0,
                                 where.constData());
                    } else {
                        QVERIFY2(cli[i].processed.empty(), where.constData());
                    }
                    ++compared;
                }
            }
        }
        QCOMPARE(compared, 60);
    }
};

QTEST_MAIN(AgreementTest)
#include "AgreementTest.moc"
