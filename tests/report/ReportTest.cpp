// Folders among the photos, and the HTML report: its page, its thumbnails, and
// the page as a real browser shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "core/explain/Explanation.h"
#include "core/text/Encoding.h"
#include "report/HtmlReport.h"
#include "report/ReportCard.h"
#include "report/ReportEntry.h"
#include "support/RunAudit.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;
using namespace quorvel::report;
using clitest::RunAudit;
using testsupport::CopyFixture;
using testsupport::DataPath;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// A folder of photos: two at the top (one upper-case), one in a sub-folder,
// and files that are no photos.
void MakePhotoFolder(const fs::path& dir) {
    CopyFixture("no_face.jpg", dir / "photos" / "b_noface.jpg");
    CopyFixture("id_blue.jpg", dir / "photos" / "a_blue.JPG");
    CopyFixture("id_red.jpg", dir / "photos" / "sub" / "c_red.jpeg");
    CopyFixture("id_white.jpg", dir / "photos" / "sub" / "a_white.Jpg");  // mixed case: a photo too
    WriteBytes(dir / "photos" / "notes.txt", "not a photo");
}

// The values of one attribute of every element opening with `tag` (every
// card by default), in page order. Plain string search: the page is large,
// and std::regex recurses per character.
std::vector<std::string> Attributes(const std::string& html, const std::string& name,
                                    const std::string& card = "<div class=\"card\"") {
    std::vector<std::string> values;
    const std::string key = " " + name + "=\"";
    for (std::size_t at = html.find(card); at != std::string::npos; at = html.find(card, at + 1)) {
        const std::size_t tagEnd = html.find('>', at);
        const std::size_t start = html.find(key, at);
        if (start == std::string::npos || start > tagEnd) continue;
        const std::size_t valueStart = start + key.size();
        values.push_back(html.substr(valueStart, html.find('"', valueStart) - valueStart));
    }
    return values;
}

// How often `text` occurs in `html`.
std::ptrdiff_t Occurrences(const std::string& html, const std::string& text) {
    std::ptrdiff_t count = 0;
    for (std::size_t at = html.find(text); at != std::string::npos; at = html.find(text, at + 1)) {
        ++count;
    }
    return count;
}

// The headless browser, or null when it is not installed.
const char* Chromium() {
    for (const char* candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (fs::exists(candidate)) return candidate;
    }
    return nullptr;
}

// Runs the headless browser on a page with a fresh profile in `dir`: `action`
// is "--screenshot=FILE" or "--dump-dom", `redirect` where standard output goes.
int Browse(const char* browser, const fs::path& dir, const fs::path& page, const std::string& size,
           const std::string& action, const std::string& redirect = "/dev/null") {
    const std::string command =
        std::string(browser) +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir=" +
        (dir / "profile").string() + " --window-size=" + size + " " + action + " 'file://" +
        page.string() + "' >" + redirect + " 2>/dev/null";
    return std::system(command.c_str());
}

// The part of the page from the card with this data-file to the end of that card.
std::string CardOf(const std::string& html, const std::string& file) {
    const std::size_t at = html.find("data-file=\"" + file + "\"");
    if (at == std::string::npos) return {};
    const std::size_t end = html.find("<div class=\"card\"", at);
    return html.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

}  // namespace

TEST(Folders, ExpandToTheirPhotosSortedByName) {
    struct Case {
        const char* description;
        std::vector<std::string> args;
        std::vector<std::string> files;
        int status;
    };
    const std::vector<Case> cases = {
        {"folder alone", {"photos"}, {"photos/a_blue.JPG", "photos/b_noface.jpg"}, 1},
        {"recursive",
         {"--recursive", "photos"},
         {"photos/a_blue.JPG", "photos/b_noface.jpg", "photos/sub/a_white.Jpg",
          "photos/sub/c_red.jpeg"},
         1},
        {"file before folder keeps its place",
         {"photos/sub/c_red.jpeg", "photos"},
         {"photos/sub/c_red.jpeg", "photos/a_blue.JPG", "photos/b_noface.jpg"},
         1},
        {"folder of passing photos only",
         {"photos/sub"},
         {"photos/sub/a_white.Jpg", "photos/sub/c_red.jpeg"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        MakePhotoFolder(dir.path());
        std::vector<std::string> args = {"--color", "3", "--size", "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = RunAudit(args, dir.path());
        EXPECT_EQ(run.status, c.status) << run.err;
        std::vector<std::string> files;
        for (const auto& line : run.Lines()) files.push_back(line["file"]);
        EXPECT_EQ(files, c.files);
    }
}

TEST(Folders, FolderWithoutPhotosIsToldAndKeepsItsLine) {
    TempDir dir;
    fs::create_directories(dir / "empty");
    CopyFixture("id_blue.jpg", dir / "one" / "blue.jpg");
    const auto alone = RunAudit({"--color", "3", "--size", "1", "empty"}, dir.path());
    EXPECT_EQ(alone.status, 3) << "a folder where a photo is wanted";
    ASSERT_EQ(alone.Lines().size(), 1u);
    EXPECT_EQ(alone.Lines()[0]["file"], "empty");
    EXPECT_EQ(alone.Lines()[0]["state"], 3);
    EXPECT_NE(alone.err.find("\"empty\" holds no"), std::string::npos) << alone.err;

    const auto mixed = RunAudit({"--color", "3", "--size", "1", "empty", "one"}, dir.path());
    EXPECT_EQ(mixed.status, 3) << "the passed photo does not hide the empty folder";
    const auto lines = mixed.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["state"], 3);
    EXPECT_EQ(lines[1]["file"], "one/blue.jpg");
    EXPECT_EQ(lines[1]["state"], 1);
}

TEST(HtmlReport, SummaryThenOneCardPerPhotoRejectedFirst) {
    TempDir dir;
    MakePhotoFolder(dir.path());
    // A card shows the measured values its line holds: --explain's.
    const auto run = RunAudit({"--color", "3", "--size", "1", "--recursive", "--explain",
                               "--report", "report.html", "photos"},
                              dir.path());
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string html = ReadBytes(dir / "report.html");

    // The rejected photo comes first; within a group, the audit order.
    EXPECT_EQ(Attributes(html, "data-file"),
              (std::vector<std::string>{"photos/b_noface.jpg", "photos/a_blue.JPG",
                                        "photos/sub/a_white.Jpg", "photos/sub/c_red.jpeg"}));
    EXPECT_EQ(Attributes(html, "data-state"), (std::vector<std::string>{"4", "1", "1", "1"}));
    const std::size_t summary = html.find("<table class=\"summary\">");
    ASSERT_NE(summary, std::string::npos);
    EXPECT_LT(summary, html.find("class=\"card\""));
    EXPECT_NE(html.find("图像审核成功！</td><td>3</td>"), std::string::npos)
        << "three passed photos in the summary";
    EXPECT_NE(html.find("不是纯背景，或者背景复杂，识别出错！</td><td>1</td>"), std::string::npos);
    EXPECT_NE(html.find("crop.head_top_row"), std::string::npos) << "measured values shown";

    // Self-contained: pictures embedded, nothing fetched, no script.
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http://"), std::string::npos);
    EXPECT_EQ(html.find("https://"), std::string::npos);
    const auto images = Occurrences(html, "src=\"data:image/jpeg;base64,");
    EXPECT_EQ(images, 7) << "four photos and three processed photos";
    EXPECT_LT(html.size(), 3u * 80 * 1024);
}

TEST(HtmlReport, ThumbnailShowsFaceHeadTopAndFrame) {
    HtmlPhotoEntry entry;
    entry.photo = cv::Mat(960, 480, CV_8UC3, cv::Scalar(200, 200, 200));
    entry.face = cv::Rect(120, 400, 240, 240);
    entry.headTopRow = 200;
    entry.cropFrame = cv::Rect(40, 100, 400, 560);
    const cv::Mat thumb = AnnotatedThumbnail(entry);
    ASSERT_EQ(thumb.size(), cv::Size(120, 240)) << "longest side 240, proportions kept";
    struct Probe {
        const char* description;
        cv::Point at;
        cv::Vec3b colour;
    };
    const std::vector<Probe> probes = {
        {"face edge, green", {30, 130}, {0, 200, 0}},
        {"head-top row, orange", {5, 50}, {0, 140, 255}},
        {"frame edge, magenta", {10, 80}, {255, 0, 255}},
        {"untouched background", {60, 20}, {200, 200, 200}},
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(thumb.at<cv::Vec3b>(p.at), p.colour) << p.description;
    }
    EXPECT_TRUE(AnnotatedThumbnail(HtmlPhotoEntry{}).empty()) << "no photo, no thumbnail";

    // Without a chosen face, the detector's faces (three in a group photo).
    HtmlPhotoEntry group;
    group.photo = cv::Mat(480, 480, CV_8UC3, cv::Scalar(200, 200, 200));
    group.faces = {cv::Rect(0, 100, 160, 160), cv::Rect(320, 100, 160, 160)};
    const cv::Mat faces = AnnotatedThumbnail(group);
    EXPECT_EQ(faces.at<cv::Vec3b>(50, 40), cv::Vec3b(0, 200, 0)) << "first face's edge";
    EXPECT_EQ(faces.at<cv::Vec3b>(50, 200), cv::Vec3b(0, 200, 0)) << "second face's edge";
    EXPECT_EQ(faces.at<cv::Vec3b>(50, 120), cv::Vec3b(200, 200, 200)) << "between the faces";
}

// An advisory rule's finding is a note on its photo's card, in the core's
// words; a card without one has none.
TEST(HtmlReport, AdviceIsANoteOnItsCard) {
    PhotoOutcome outcome;
    outcome.file = "photos/soft.jpg";
    outcome.audit.verdict = Verdict::Passed;
    outcome.audit.advice = DecideClarity(41.2, 60);
    const std::string card = CardHtml(ReportEntry(outcome, cv::Mat()), ".", 1);
    const Explanation note = ExplainDecision(*outcome.audit.advice);
    EXPECT_NE(card.find("<p class=\"note\" data-rule=\"photo.clarity\">提示：" + note.text +
                        " <span lang=\"en\">· note: " + note.textEn + "</span></p>"),
              std::string::npos)
        << card;
    outcome.audit.advice.reset();
    EXPECT_EQ(CardHtml(ReportEntry(outcome, cv::Mat()), ".", 1).find("class=\"note\""),
              std::string::npos);
}

TEST(HtmlReport, StaysUnderEightyKilobytesPerPhoto) {
    TempDir dir;
    Result<HtmlReport> begun = HtmlReport::Begin(dir / "report.html");
    ASSERT_TRUE(begun) << begun.error().message;
    HtmlReport& report = *begun;
    cv::Mat noise(1200, 900, CV_8UC3);
    cv::randu(noise, 0, 255);  // the worst case for JPEG
    for (int i = 0; i < 10; ++i) {
        HtmlPhotoEntry entry;
        entry.file = "photo" + std::to_string(i) + ".jpg";
        entry.verdictNumber = 1;
        entry.photo = noise;
        entry.processed = noise(cv::Rect(0, 0, 413, 619));
        entry.values = {{"photo.width", "900"}, {"note", "<b>&\"escaped\""}};
        report.Add(entry);
    }
    ASSERT_TRUE(report.Finish());
    const std::string html = ReadBytes(dir / "report.html");
    EXPECT_LT(html.size(), 10u * 80 * 1024);
    EXPECT_EQ(html.find("<b>&"), std::string::npos) << "values are escaped";
    EXPECT_NE(html.find("&lt;b&gt;&amp;&quot;escaped&quot;"), std::string::npos);
}

// The page in headless Chromium: a screenshot of the expected size that is not
// blank, and the cards in the DOM the browser built.
TEST(HtmlReport, RendersInHeadlessChromium) {
    const char* browser = Chromium();
    if (browser == nullptr) GTEST_SKIP() << "chromium is not installed (scripts/setup.sh)";

    TempDir dir;
    MakePhotoFolder(dir.path());
    RunAudit({"--color", "3", "--size", "1", "--recursive", "--report", "report.html", "photos"},
             dir.path());
    ASSERT_TRUE(fs::exists(dir / "report.html"));

    // Tall enough to show the passed cards below the rejected one.
    const fs::path page = dir / "report.html";
    const std::string shot = (dir / "shot.png").string();
    const std::string dom = (dir / "dom.html").string();
    ASSERT_EQ(Browse(browser, dir.path(), page, "1000,1600", "--screenshot=" + shot), 0);
    ASSERT_EQ(Browse(browser, dir.path(), page, "1000,1600", "--dump-dom", dom), 0);

    const cv::Mat screen = cv::imread(shot);
    ASSERT_FALSE(screen.empty());
    EXPECT_EQ(screen.size(), cv::Size(1000, 1600));
    cv::Scalar mean, deviation;
    cv::meanStdDev(screen, mean, deviation);
    EXPECT_GT(deviation[0] + deviation[1] + deviation[2], 30) << "the screenshot is blank";
    // The blue background of the first passed card's thumbnail is on screen.
    cv::Mat blue;
    cv::inRange(screen, cv::Scalar(200, 130, 50), cv::Scalar(235, 160, 90), blue);
    EXPECT_GT(cv::countNonZero(blue), 2000);

    const std::string built = ReadBytes(dom);
    EXPECT_EQ(Attributes(built, "data-state"), (std::vector<std::string>{"4", "1", "1", "1"}));
    EXPECT_EQ(Attributes(built, "data-file").size(), 4u);
}

// A report of mixed photos as staff see it in the browser: the rejected
// groups by verdict number, then the photo whose save failed, then the
// passed ones; each group's table links to its cards; each card gives the
// reason with its limit in both languages and links to the files.
TEST(HtmlReport, OrdersGroupsForActionInChromium) {
    const char* browser = Chromium();
    if (browser == nullptr) GTEST_SKIP() << "chromium is not installed (scripts/setup.sh)";

    TempDir dir;
    const std::string latin1 = "photos/b\xFFlue.jpg";  // a name that is not UTF-8
    CopyFixture("id_blue.jpg", dir / "photos" / "id_blue.jpg");
    CopyFixture("id_blue.jpg", dir / latin1);
    CopyFixture("id_blue.jpg", dir / "photos" / "c_blue.jpg");
    CopyFixture("id_red.jpg", dir / "photos" / "a_red.jpg");
    CopyFixture("group.jpg", dir / "photos" / "group.jpg");
    CopyFixture("no_face.jpg", dir / "photos" / "no_face.jpg");
    CopyFixture("portrait.jpg", dir / "photos" / "portrait.jpg");
    WriteBytes(dir / "photos" / "broken.jpg", "not a photo");
    // The identity photo on a wide blue canvas: its face is too small a share.
    const cv::Mat blue = cv::imread(DataPath("id_blue.jpg").string());
    cv::Mat wide;
    cv::copyMakeBorder(blue, wide, 580, 580, 460, 460, cv::BORDER_REPLICATE);
    cv::imwrite((dir / "photos" / "wide.jpg").string(), wide);
    fs::create_directories(dir / "out" / "c_blue.jpg");  // a folder in the way of its save
    fs::create_directories(dir / "rep");

    const auto run = RunAudit(
        {"--color", "2", "--size", "1", "--explain", "--out", "out", "--report", "rep/r.html",
         "photos/id_blue.jpg", "photos/portrait.jpg", "photos/group.jpg", "photos/c_blue.jpg",
         "photos/a_red.jpg", latin1, "photos/no_face.jpg", "photos/broken.jpg", "photos/wide.jpg"},
        dir.path());
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string bytes = ReadBytes(dir / "rep" / "r.html");
    EXPECT_EQ(ValidUtf8(bytes), bytes) << "the page is valid UTF-8";
    EXPECT_EQ(bytes.find("<script"), std::string::npos);

    const fs::path dom = dir / "dom.html";
    ASSERT_EQ(Browse(browser, dir.path(), dir / "rep" / "r.html", "1280,2000", "--dump-dom",
                     dom.string()),
              0);
    // The screenshot in docs/batch.md (tools/report-screenshot.sh).
    if (const char* shots = std::getenv("QUORVEL_SCREENSHOT_DIR")) {
        const fs::path shot = fs::path(shots) / "report.png";
        EXPECT_EQ(Browse(browser, dir.path(), dir / "rep" / "r.html", "1280,2000",
                         "--screenshot=" + shot.string()),
                  0);
    }
    const std::string html = ReadBytes(dom);
    const std::string shown = "photos/b\xEF\xBF\xBDlue.jpg";  // U+FFFD for the byte 0xFF

    EXPECT_EQ(
        Attributes(html, "data-group", "<section"),
        (std::vector<std::string>{"g-2", "g-3", "g-4", "g-5", "g-6", "g-not-saved", "g-passed"}));
    for (const char* group : {"g-2", "g-3", "g-4", "g-5", "g-6", "g-not-saved", "g-passed"}) {
        EXPECT_NE(html.find("<a href=\"#" + std::string(group) + "\">"), std::string::npos)
            << "the count table links to " << group;
    }
    EXPECT_EQ(
        Attributes(html, "data-file"),
        (std::vector<std::string>{"photos/a_red.jpg", "photos/broken.jpg", "photos/group.jpg",
                                  "photos/no_face.jpg", "photos/wide.jpg", "photos/portrait.jpg",
                                  "photos/c_blue.jpg", "photos/id_blue.jpg", shown}));

    // Every row of a group's table leads to the card of its file.
    const std::vector<std::string> ids = Attributes(html, "id");
    const std::vector<std::string> files = Attributes(html, "data-file");
    std::size_t rows = 0;
    for (std::size_t at = html.find("<tr><td><a href=\"#p"); at != std::string::npos;
         at = html.find("<tr><td><a href=\"#p", at + 1), ++rows) {
        const std::size_t idStart = at + 18;
        const std::string id = html.substr(idStart, html.find('"', idStart) - idStart);
        const std::size_t nameStart = html.find('>', idStart) + 1;
        const std::string name = html.substr(nameStart, html.find('<', nameStart) - nameStart);
        const auto card = std::find(ids.begin(), ids.end(), id);
        ASSERT_NE(card, ids.end()) << id;
        EXPECT_EQ(files[static_cast<std::size_t>(card - ids.begin())], name) << id;
    }
    EXPECT_EQ(rows, 9u) << "one row per photo";

    // A card shows the core's sentences for the rule that decided (the
    // sentences themselves: SentencesTest) and what was measured.
    const auto said = [](const Explanation& e, bool advice) {
        std::vector<std::string> texts = {e.text, e.textEn};
        if (advice) texts.insert(texts.end(), {e.advice, e.adviceEn});
        return texts;
    };
    const auto plus = [](std::vector<std::string> texts, const std::string& more) {
        texts.push_back(more);
        return texts;
    };
    const Explanation passed = ExplainDecision(DecidePassed({295, 413}, SizeMode::Mode1));
    struct Expected {
        const char* description;
        std::string file;
        std::vector<std::string> texts;  // reason, limit and advice as the card shows them
        std::string original;            // href of the photo
        std::string saved;               // href of the processed file, empty when none
    };
    const std::vector<Expected> cards = {
        {"colour the setting refuses", "photos/a_red.jpg",
         said(ExplainDecision(DecideBackgroundSetting(BackgroundColor::Red, BackgroundColor::Blue)),
              true),
         "../photos/a_red.jpg", ""},
        {"not a photo", "photos/broken.jpg", said(ExplainDecision(DecideUnreadable()), false),
         "../photos/broken.jpg", ""},
        {"three faces", "photos/group.jpg",
         plus(said(ExplainDecision(DecideFaceCount(3)), true), "4 AUDIT_NO_FACE"),
         "../photos/group.jpg", ""},
        {"face too small a share", "photos/wide.jpg",
         said(ExplainDecision(DecideFaceShare(0.141)), true), "../photos/wide.jpg", ""},
        {"file too short", "photos/portrait.jpg",
         plus(said(ExplainDecision(DecideFileLength(26617)), false), "26617 B"),
         "../photos/portrait.jpg", ""},
        {"passed, save refused",
         "photos/c_blue.jpg",
         {passed.text, "is a folder", kNotSavedAdvice, kNotSavedAdviceEn},
         "../photos/c_blue.jpg",
         ""},
        {"passed and saved",
         "photos/id_blue.jpg",
         {passed.text},
         "../photos/id_blue.jpg",
         "../out/id_blue.jpg"},
        {"name that is not UTF-8",
         shown,
         {passed.text},
         "../photos/b%FFlue.jpg",
         "../out/b%FFlue.jpg"},
    };
    for (const Expected& e : cards) {
        SCOPED_TRACE(e.description);
        const std::string card = CardOf(html, e.file);
        ASSERT_FALSE(card.empty());
        for (const std::string& text : e.texts) {
            EXPECT_NE(card.find(text), std::string::npos) << text;
        }
        EXPECT_NE(card.find("class=\"original\" href=\"" + e.original + "\""), std::string::npos);
        if (e.saved.empty()) {
            EXPECT_EQ(card.find("class=\"saved\""), std::string::npos);
        } else {
            EXPECT_NE(card.find("class=\"saved\" href=\"" + e.saved + "\""), std::string::npos);
        }
        EXPECT_NE(card.find("<details class=\"trace\"><summary>"), std::string::npos)
            << "the measured values are folded, closed";
    }
}

// Beyond 500 cards the report is a set of pages: the first holds the counts
// and the links to every page and group; the cards keep the group order
// across the pages; nothing but the pages is left in the folder.
TEST(HtmlReport, SplitsIntoPagesOfFiveHundred) {
    TempDir dir;
    Result<HtmlReport> begun = HtmlReport::Begin(dir / "r.html");
    ASSERT_TRUE(begun) << begun.error().message;
    // 1,001 photos: every third rejected for its background, the rest passed.
    std::vector<std::string> rejected, passed;
    for (int i = 0; i < 1001; ++i) {
        HtmlPhotoEntry entry;
        entry.file = "p" + std::to_string(i) + ".jpg";
        entry.path = dir / entry.file;
        entry.verdictNumber = i % 3 == 0 ? 2 : 1;
        (entry.verdictNumber == 2 ? rejected : passed).push_back(entry.file);
        begun->Add(entry);
    }
    ASSERT_TRUE(begun->Finish());

    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir.path())) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"r-2.html", "r-3.html", "r.html"}));

    struct Page {
        const char* description;
        std::string name;
        std::size_t cards;
        std::vector<std::string> groups;
        std::string passedHeading;  // which of the passed cards the page holds
    };
    const std::vector<Page> pages = {
        {"first: all rejected, then passed",
         "r.html",
         500,
         {"g-2", "g-passed"},
         "667 photos (1–166 here)"},
        {"second: passed only", "r-2.html", 500, {"g-passed"}, "667 photos (167–666 here)"},
        {"third: the last card", "r-3.html", 1, {"g-passed"}, "667 photos (667–667 here)"},
    };
    std::vector<std::string> order;
    for (const Page& p : pages) {
        SCOPED_TRACE(p.description);
        const std::string html = ReadBytes(dir / p.name);
        const auto files = Attributes(html, "data-file");
        EXPECT_EQ(files.size(), p.cards);
        order.insert(order.end(), files.begin(), files.end());
        EXPECT_EQ(Attributes(html, "data-group", "<section"), p.groups);
        EXPECT_NE(html.find(p.passedHeading), std::string::npos) << p.passedHeading;
        EXPECT_NE(html.find("<a href=\"r.html\">1</a>") == std::string::npos, p.name != "r.html")
            << "every other page links back to the first";
    }
    std::vector<std::string> expected = rejected;
    expected.insert(expected.end(), passed.begin(), passed.end());
    EXPECT_EQ(order, expected) << "group order, input order within a group";

    const std::string first = ReadBytes(dir / "r.html");
    EXPECT_NE(first.find("Quorvel audit report: 1001 photos — page 1 of 3"), std::string::npos);
    EXPECT_NE(first.find("<a href=\"#g-2\">"), std::string::npos);
    EXPECT_NE(first.find("不是纯背景，或者不是红蓝白！</td><td>334</td>"), std::string::npos);
    EXPECT_NE(first.find("图像审核成功！</td><td>667</td>"), std::string::npos);
    EXPECT_NE(first.find("<a href=\"r-2.html\">2</a>"), std::string::npos);
    EXPECT_NE(first.find("<a href=\"r-3.html\">3</a>"), std::string::npos);
}

// Names are data: whatever their bytes, the page stays valid UTF-8, shows
// them readably and links to exactly those bytes, relative to the report.
TEST(HtmlReport, ShowsAndLinksAnyName) {
    struct Case {
        const char* description;
        std::string name;   // below the report's folder
        std::string shown;  // in the card's heading
        std::string href;
    };
    const std::vector<Case> cases = {
        {"plain", "a.jpg", "a.jpg", "a.jpg"},
        {"space and percent", "a b%41.jpg", "a b%41.jpg", "a%20b%2541.jpg"},
        {"Latin-1 byte", "caf\xE9.jpg", "caf\xEF\xBF\xBD.jpg", "caf%E9.jpg"},
        {"markup", "<b>&.jpg", "&lt;b&gt;&amp;.jpg", "%3Cb%3E%26.jpg"},
        {"colon, not a scheme", "x:y.jpg", "x:y.jpg", "x%3Ay.jpg"},
        {"control characters", "l\x1b[31m\n.jpg", "l\\x1B[31m\\x0A.jpg", "l%1B%5B31m%0A.jpg"},
        {"Chinese", "照片.jpg", "照片.jpg", "%E7%85%A7%E7%89%87.jpg"},
        {"sub-folder", "sub/a.jpg", "sub/a.jpg", "sub/a.jpg"},
        {"outside the folder", "../up.jpg", "../up.jpg", "../up.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        fs::create_directories(dir / "rep");
        Result<HtmlReport> begun = HtmlReport::Begin(dir / "rep" / "r.html");
        ASSERT_TRUE(begun) << begun.error().message;
        HtmlPhotoEntry entry;
        entry.file = c.name;
        entry.path = dir / "rep" / c.name;
        entry.verdictNumber = 3;
        begun->Add(entry);
        ASSERT_TRUE(begun->Finish());
        const std::string html = ReadBytes(dir / "rep" / "r.html");
        EXPECT_EQ(ValidUtf8(html), html);
        EXPECT_NE(html.find("data-file=\"" + c.shown + "\""), std::string::npos);
        EXPECT_NE(html.find("class=\"original\" href=\"" + c.href + "\""), std::string::npos);
    }
}

namespace {

// The cards of a page as the browser built it, in page order: each from its
// start to the next card or the end of its group.
std::vector<std::string> DomCards(const std::string& dom) {
    std::vector<std::string> cards;
    const std::string start = "<div class=\"card\"";
    for (std::size_t at = dom.find(start); at != std::string::npos;) {
        const std::size_t next = dom.find(start, at + 1);
        const std::size_t groupEnd = dom.find("</section>", at);
        const std::size_t end = std::min(next, groupEnd);
        cards.push_back(dom.substr(at, end - at));
        at = next;
    }
    return cards;
}

}  // namespace

// The report of a split run (made from its parts' results) and that of an
// interrupted and resumed run are, in the browser, card for card the report
// of one uninterrupted --jobs run; a photo moved or changed since its audit
// gets a card that says so, without a picture.
TEST(HtmlReport, ReportsFromResultsEqualOneRunsReportInChromium) {
    const char* browser = Chromium();
    if (browser == nullptr) GTEST_SKIP() << "chromium is not installed (scripts/setup.sh)";
    TempDir dir;
    const std::vector<const char*> fixtures = {"id_blue.jpg", "no_face.jpg", "id_red.jpg",
                                               "group.jpg",   "id_soft.jpg", "small_face.jpg"};
    std::string list;
    for (std::size_t i = 0; i < 3 * fixtures.size(); ++i) {
        const std::string name =
            "photos/" + std::string(i == 4 ? "caf\xE9" : "p") + std::to_string(i) + ".jpg";
        CopyFixture(fixtures[i % fixtures.size()], dir / name);
        list += name + '\0';
    }
    WriteBytes(dir / "list", list);
    fs::create_directories(dir / "rep");
    const std::vector<std::string> run = {"--color",      "3",    "--size", "1",     "--jobs", "2",
                                          "--files-from", "list", "-0",     "--out", "out"};
    auto with = [&run](std::vector<std::string> more) {
        more.insert(more.begin(), run.begin(), run.end());
        return more;
    };
    RunAudit(with({"--report", "rep/one.html"}), dir.path());
    for (const char* part : {"0", "1"}) {
        RunAudit(with({"--shard", std::string(part) + "/2", "--resume",
                       "part-" + std::string(part) + ".jsonl"}),
                 dir.path());
    }
    RunAudit({"--from-results", "part-*.jsonl", "--report", "rep/merged.html"}, dir.path());
    const std::vector<std::string> resumed =
        with({"--resume", "R", "--report", "rep/resumed.html"});
    const pid_t pid = clitest::StartAudit(resumed, dir.path());
    ASSERT_EQ(clitest::InterruptWhen(pid,
                                     [&] {
                                         return fs::exists(dir / "R") &&
                                                ReadBytes(dir / "R").find('\n') !=
                                                    std::string::npos;
                                     }),
              130);
    RunAudit(resumed, dir.path());

    auto shown = [&](const std::string& page) {
        const fs::path dom = dir / (page + ".dom");
        EXPECT_EQ(Browse(browser, dir.path(), dir / "rep" / (page + ".html"), "1280,2000",
                         "--dump-dom", dom.string()),
                  0);
        return DomCards(ReadBytes(dom));
    };
    const std::vector<std::string> one = shown("one");
    ASSERT_EQ(one.size(), 18u);
    EXPECT_EQ(Occurrences(ReadBytes(dir / "rep/one.html"), "no picture"), 0);
    EXPECT_EQ(shown("merged"), one);
    EXPECT_EQ(shown("resumed"), one);

    // Later, a photo moved away and another changed.
    fs::rename(dir / "photos/p0.jpg", dir / "p0.jpg");
    WriteBytes(dir / "photos/p1.jpg", ReadBytes(dir / "photos/p1.jpg") + "x");
    RunAudit({"--from-results", "part-*.jsonl", "--report", "rep/later.html"}, dir.path());
    const std::vector<std::string> later = shown("later");
    ASSERT_EQ(later.size(), one.size());
    std::size_t same = 0;
    for (std::size_t i = 0; i < later.size(); ++i) {
        if (later[i] == one[i]) {
            ++same;
            continue;
        }
        const bool moved = later[i].find("data-file=\"photos/p0.jpg\"") != std::string::npos;
        const bool changed = later[i].find("data-file=\"photos/p1.jpg\"") != std::string::npos;
        EXPECT_TRUE(moved || changed) << later[i].substr(0, 200);
        EXPECT_NE(later[i].find(moved ? "data-since=\"missing\"" : "data-since=\"changed\""),
                  std::string::npos);
        EXPECT_NE(later[i].find("photo: no picture"), std::string::npos);
    }
    EXPECT_EQ(same, one.size() - 2);
}
