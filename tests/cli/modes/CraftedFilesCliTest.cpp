// Files crafted to cost a decoder seconds of CPU or gigabytes of memory, at
// sizes a photo and a save have: quorvel-audit refuses each undecoded with
// the cap in its reason, and --verify answers before anything is decoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "support/CraftedFiles.h"
#include "support/RunAudit.h"
#include "support/TestSupport.h"

using clitest::RunAudit;
using nlohmann::json;
using testsupport::TempDir;

namespace {

cv::Mat Fixture(cv::Size size) {
    cv::Mat scaled;
    cv::resize(testsupport::LoadFixture("id_blue.jpg"), scaled, size, 0, 0, cv::INTER_AREA);
    return scaled;
}

// Each kind at about 256 kB; the PNG kinds inflate to 64 MiB.
std::vector<crafted::File> Files(cv::Size size) {
    return crafted::AllKinds(Fixture(size), 256 * 1024, 64 * 1024 * 1024);
}

}  // namespace

TEST(CraftedFiles, EachKindIsRefusedUndecodedByTheAudit) {
    TempDir dir;
    std::vector<std::string> args = {"--color", "3", "--size", "1"};
    const std::vector<crafted::File> files = Files({400, 600});
    for (const crafted::File& file : files) {
        testsupport::WriteBytes(dir / file.name, file.bytes);
        args.push_back(file.name);
    }
    // The photo as a progressive JPEG, as the scan bombs begin, is audited as ever.
    std::vector<uchar> progressive;
    cv::imencode(".jpg", testsupport::LoadFixture("id_blue.jpg"), progressive,
                 {cv::IMWRITE_JPEG_PROGRESSIVE, 1, cv::IMWRITE_JPEG_QUALITY, 95});
    testsupport::WriteBytes(dir / "progressive.jpg",
                            std::string(progressive.begin(), progressive.end()));
    args.push_back("progressive.jpg");

    const clitest::RunOutput run = RunAudit(args, dir.path());
    const std::vector<json> lines = run.Lines();
    ASSERT_EQ(lines.size(), files.size() + 1) << run.out << run.err;
    const char* measures[] = {"scans", "scans", "value", "value"};
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].name);
        EXPECT_EQ(lines[i]["verdict"], "AUDIT_BAD_FORMAT");
        EXPECT_EQ(lines[i]["reason"]["rule"], "file.cost") << lines[i].dump();
        EXPECT_GT(lines[i]["reason"]["measured"][measures[i]].get<double>(),
                  lines[i]["reason"]["limit"]["max"].get<double>());
        EXPECT_FALSE(lines[i].contains("error")) << "a refusal, not a failure";
    }
    EXPECT_EQ(lines.back()["verdict"], "AUDIT_PASSED") << lines.back().dump();
    EXPECT_EQ(run.err.find("libpng"), std::string::npos) << "nothing was decoded: " << run.err;
}

// Saves of a size mode 1 size with the pass marker: the answer names the
// cap, and no decode, background or face check follows.
TEST(CraftedFiles, VerifyAnswersBeforeDecoding) {
    TempDir dir;
    std::vector<std::string> args = {"--color", "3", "--size", "1", "--explain", "--verify"};
    const std::vector<crafted::File> files = Files({295, 413});
    for (const crafted::File& file : files) {
        testsupport::WriteBytes(dir / file.name, crafted::WithPassMarker(file.bytes));
        args.push_back(file.name);
    }
    const clitest::RunOutput run = RunAudit(args, dir.path());
    const std::vector<json> lines = run.Lines();
    ASSERT_EQ(lines.size(), files.size()) << run.out << run.err;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].name);
        const json& line = lines[i];
        EXPECT_FALSE(line["genuine"].get<bool>());
        const auto problems = line["problems"].get<std::vector<std::string>>();
        EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [](const std::string& p) {
            return p.rfind("verify.cost: ", 0) == 0;
        })) << line.dump();
        for (const json& check : line["checks"]) {
            const std::string rule = check["rule"];
            EXPECT_TRUE(rule != "verify.decode" && rule.rfind("verify.face", 0) != 0 &&
                        rule.rfind("verify.background", 0) != 0)
                << rule;
        }
    }
}
