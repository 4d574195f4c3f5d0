// Folders among the photos, and the HTML report: its page, its thumbnails, and
// the page as a real browser shows it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "cli/HtmlReport.h"
#include "cli/RunAudit.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;
using namespace quorvel::cli;
using clitest::RunAudit;
using testsupport::DataPath;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

void Copy(const std::string& fixture, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(DataPath(fixture), to);
}

// A folder of photos: two at the top (one upper-case), one in a sub-folder,
// and files that are no photos.
void MakePhotoFolder(const fs::path& dir) {
    Copy("no_face.jpg", dir / "photos" / "b_noface.jpg");
    Copy("id_blue.jpg", dir / "photos" / "a_blue.JPG");
    Copy("id_red.jpg", dir / "photos" / "sub" / "c_red.jpeg");
    Copy("id_white.jpg", dir / "photos" / "sub" / "a_white.Jpg");  // mixed case: not a photo
    WriteBytes(dir / "photos" / "notes.txt", "not a photo");
}

// The values of one attribute of every card, in page order. Plain string
// search: the page is large, and std::regex recurses per character.
std::vector<std::string> Attributes(const std::string& html, const std::string& name) {
    std::vector<std::string> values;
    const std::string card = "<div class=\"card\"";
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
         {"photos/a_blue.JPG", "photos/b_noface.jpg", "photos/sub/c_red.jpeg"},
         1},
        {"file before folder keeps its place",
         {"photos/sub/c_red.jpeg", "photos"},
         {"photos/sub/c_red.jpeg", "photos/a_blue.JPG", "photos/b_noface.jpg"},
         1},
        {"folder of passing photos only", {"photos/sub"}, {"photos/sub/c_red.jpeg"}, 0},
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
    Copy("id_blue.jpg", dir / "one" / "blue.jpg");
    const auto alone = RunAudit({"--color", "3", "--size", "1", "empty"}, dir.path());
    EXPECT_EQ(alone.status, 1);
    ASSERT_EQ(alone.Lines().size(), 1u);
    EXPECT_EQ(alone.Lines()[0]["file"], "empty");
    EXPECT_EQ(alone.Lines()[0]["state"], 3);
    EXPECT_NE(alone.err.find("\"empty\" holds no"), std::string::npos) << alone.err;

    const auto mixed = RunAudit({"--color", "3", "--size", "1", "empty", "one"}, dir.path());
    EXPECT_EQ(mixed.status, 1) << "the passed photo does not hide the empty folder";
    const auto lines = mixed.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["state"], 3);
    EXPECT_EQ(lines[1]["file"], "one/blue.jpg");
    EXPECT_EQ(lines[1]["state"], 1);
}

TEST(HtmlReport, SummaryThenOneCardPerPhotoInAuditOrder) {
    TempDir dir;
    MakePhotoFolder(dir.path());
    const auto run = RunAudit(
        {"--color", "3", "--size", "1", "--recursive", "--report", "report.html", "photos"},
        dir.path());
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string html = ReadBytes(dir / "report.html");

    EXPECT_EQ(Attributes(html, "data-file"),
              (std::vector<std::string>{"photos/a_blue.JPG", "photos/b_noface.jpg",
                                        "photos/sub/c_red.jpeg"}));
    EXPECT_EQ(Attributes(html, "data-state"), (std::vector<std::string>{"1", "4", "1"}));
    const std::size_t summary = html.find("<table class=\"summary\">");
    ASSERT_NE(summary, std::string::npos);
    EXPECT_LT(summary, html.find("class=\"card\""));
    EXPECT_NE(html.find("图像审核成功！</td><td>2</td>"), std::string::npos)
        << "two passed photos in the summary";
    EXPECT_NE(html.find("不是纯背景，或者背景复杂，识别出错！</td><td>1</td>"), std::string::npos);
    EXPECT_NE(html.find("crop.head_top_row"), std::string::npos) << "measured values shown";

    // Self-contained: pictures embedded, nothing fetched, no script.
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http://"), std::string::npos);
    EXPECT_EQ(html.find("https://"), std::string::npos);
    const auto images = Occurrences(html, "src=\"data:image/jpeg;base64,");
    EXPECT_EQ(images, 5) << "three photos and two processed photos";
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
}

TEST(HtmlReport, StaysUnderEightyKilobytesPerPhoto) {
    HtmlReport report;
    cv::Mat noise(1200, 900, CV_8UC3);
    cv::randu(noise, 0, 255);  // the worst case for JPEG
    for (int i = 0; i < 10; ++i) {
        HtmlPhotoEntry entry;
        entry.file = "photo" + std::to_string(i) + ".jpg";
        entry.state = 1;
        entry.photo = noise;
        entry.processed = noise(cv::Rect(0, 0, 413, 619));
        entry.values = {{"photo.width", "900"}, {"note", "<b>&\"escaped\""}};
        report.Add(entry);
    }
    const std::string html = report.Render();
    EXPECT_LT(html.size(), 10u * 80 * 1024);
    EXPECT_EQ(html.find("<b>&"), std::string::npos) << "values are escaped";
    EXPECT_NE(html.find("&lt;b&gt;&amp;&quot;escaped&quot;"), std::string::npos);
}

// The page in headless Chromium: a screenshot of the expected size that is not
// blank, and the cards in the DOM the browser built.
TEST(HtmlReport, RendersInHeadlessChromium) {
    const char* browser = nullptr;
    for (const char* candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (fs::exists(candidate)) browser = candidate;
    }
    if (browser == nullptr) GTEST_SKIP() << "chromium is not installed (scripts/setup.sh)";

    TempDir dir;
    MakePhotoFolder(dir.path());
    RunAudit({"--color", "3", "--size", "1", "--recursive", "--report", "report.html", "photos"},
             dir.path());
    ASSERT_TRUE(fs::exists(dir / "report.html"));

    const std::string flags =
        std::string(browser) +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir=" +
        (dir / "profile").string() + " --window-size=1000,800 ";
    const std::string page = "file://" + (dir / "report.html").string();
    const std::string shot = (dir / "shot.png").string();
    const std::string dom = (dir / "dom.html").string();
    ASSERT_EQ(std::system((flags + "--screenshot=" + shot + " " + page + " 2>/dev/null").c_str()),
              0);
    ASSERT_EQ(std::system((flags + "--dump-dom " + page + " >" + dom + " 2>/dev/null").c_str()), 0);

    const cv::Mat screen = cv::imread(shot);
    ASSERT_FALSE(screen.empty());
    EXPECT_EQ(screen.size(), cv::Size(1000, 800));
    cv::Scalar mean, deviation;
    cv::meanStdDev(screen, mean, deviation);
    EXPECT_GT(deviation[0] + deviation[1] + deviation[2], 30) << "the screenshot is blank";
    // The blue background of the first card's thumbnail is on screen.
    cv::Mat blue;
    cv::inRange(screen, cv::Scalar(200, 130, 50), cv::Scalar(235, 160, 90), blue);
    EXPECT_GT(cv::countNonZero(blue), 2000);

    const std::string built = ReadBytes(dom);
    EXPECT_EQ(Attributes(built, "data-state"), (std::vector<std::string>{"1", "4", "1"}));
    EXPECT_EQ(Attributes(built, "data-file").size(), 3u);
}
