#include <QtTest>

#include "core/explain/Explanation.h"
#include "gui/MeasuredLine.h"

using namespace quorvel::gui;

using namespace quorvel;

// What the line under the reason says: the core's sentence for the rule
// that decided (the sentences: SentencesTest; the rules' decisions on real
// audits: ExplanationTest), and nothing for a pass.
class MeasuredLineTest : public QObject {
    Q_OBJECT

private slots:
    void saysTheSentenceOfTheRuleThatDecided() {
        const struct {
            Verdict verdict;
            RuleDecision decision;
        } rows[] = {
            {Verdict::TooSmall, DecideFileLength(25600)},
            {Verdict::BadBackground, DecideCoverage(BackgroundColor::Blue, 0.085)},
            {Verdict::NoFace, DecideFaceCount(3)},
            {Verdict::BadProportion, DecideFaceShare(0.15)},
            {Verdict::BadFormat, DecideAuditFailed("out of memory")},
        };
        for (const auto& row : rows) {
            AuditReport report;
            report.verdict = row.verdict;
            report.decision = row.decision;
            QCOMPARE(measuredLine(report),
                     QString::fromStdString(ExplainDecision(row.decision).text));
            QVERIFY(!measuredLine(report).isEmpty());
        }
        AuditReport passed;
        passed.verdict = Verdict::Passed;
        passed.decision = DecidePassed({295, 413}, SizeMode::Mode1);
        QCOMPARE(measuredLine(passed), QString());
    }

    // After a pass, an advisory rule's finding is the advice line, in the
    // core's words; nothing without one, nothing for a rejection.
    void adviceLineSaysTheAdvisoryFinding() {
        AuditReport report;
        report.verdict = Verdict::Passed;
        QCOMPARE(adviceLine(report), QString());
        report.advice = DecideClarity(41.2, 60);
        QCOMPARE(adviceLine(report), QString::fromStdString(ExplainDecision(*report.advice).text));
        report.verdict = Verdict::BadProportion;
        QCOMPARE(adviceLine(report), QString());
        QVERIFY(!kAdviceLineRect.intersects(kSavedLineRect));
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
