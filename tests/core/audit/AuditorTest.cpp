// The auditor's own generator: a sequence of audits gives what one thread
// running them with OpenCV's per-thread generator gives, whichever threads
// run them.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <thread>

#include "core/audit/Auditor.h"
#include "core/audit/FaceDetect.h"
#include "core/audit/PhotoRules.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::DataPath;
using testsupport::TempDir;

namespace {

constexpr Settings kAnyMode1{BackgroundColor::Any, SizeMode::Mode1};

struct Outcome {
    Verdict verdict;
    cv::Mat processed;
};

// The audit chain drawing from the given generator.
Outcome AuditWith(cv::RNG& rng, const std::filesystem::path& file) {
    const DecodedPhoto decoded = DecodePhoto(file);
    const cv::Mat& photo = decoded.image;
    if (photo.empty()) return {Verdict::BadFormat, {}};
    const std::optional<cv::Rect> face = DetectFace(testsupport::Cascade(), photo).chosen;
    if (!face) return {Verdict::NoFace, {}};
    RulesCheck rules = CheckPhotoRules(*face, photo, decoded.fileLength, kAnyMode1, rng);
    return {rules.verdict, rules.processedPhoto};
}

bool SamePixels(const cv::Mat& a, const cv::Mat& b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    return a.size() == b.size() && cv::norm(a, b, cv::NORM_INF) == 0;
}

// id_blue.jpg as PNG with a bar above the head in the given colour: when the
// bar has the head-top fill's marker colour it counts as background,
// otherwise as the top of the head, and the crop changes.
std::filesystem::path MarkedPhoto(const std::filesystem::path& dir, cv::Vec3b colour) {
    cv::Mat photo = testsupport::LoadFixture("id_blue.jpg");
    photo(cv::Rect(200, 150, 60, 3)).setTo(cv::Scalar(colour[0], colour[1], colour[2]));
    const auto path = dir / "marked.png";
    EXPECT_TRUE(cv::imwrite(path.string(), photo));
    return path;
}

}  // namespace

TEST(Auditor, GeneratorStartsAsAFreshThreadsAndCarriesOverBetweenAudits) {
    std::uint64_t freshThread = 0;
    std::thread([&] { freshThread = cv::theRNG().state; }).join();
    Auditor auditor(testsupport::Cascade(), kAnyMode1);
    EXPECT_EQ(auditor.rng().state, freshThread);

    // A passed audit draws 9 (background) + 3 (head top); a face-less one none.
    auditor.Audit(DataPath("no_face.jpg"));
    EXPECT_EQ(auditor.rng().state, freshThread);
    auditor.Audit(DataPath("id_red.jpg"));
    cv::RNG expected(freshThread);
    for (int i = 0; i < 12; ++i) expected.next();
    EXPECT_EQ(auditor.rng().state, expected.state);
}

TEST(Auditor, SequenceOnManyThreadsMatchesOneThreadWithOpenCvsGenerator) {
    TempDir dir;
    const std::vector<std::filesystem::path> before = {
        DataPath("id_red.jpg"), DataPath("no_face.jpg"), DataPath("id_white.jpg")};

    // The marker colour the fourth audit's head-top fill will draw on one
    // fresh thread: after the first three audits and that audit's 9 background draws.
    cv::Vec3b marker;
    std::thread([&] {
        cv::RNG& rng = cv::theRNG();
        for (const auto& file : before) AuditWith(rng, file);
        cv::RNG peek = rng;
        for (int i = 0; i < 9; ++i) peek.next();
        for (int ch = 0; ch < 3; ++ch) marker[ch] = static_cast<uchar>(unsigned(peek) & 255);
    }).join();
    std::vector<std::filesystem::path> files = before;
    files.push_back(MarkedPhoto(dir.path(), marker));
    files.push_back(DataPath("id_blue.jpg"));

    std::vector<Outcome> reference;
    std::uint64_t referenceState = 0;
    std::thread([&] {
        for (const auto& file : files) reference.push_back(AuditWith(cv::theRNG(), file));
        referenceState = cv::theRNG().state;
    }).join();

    // Each audit on a thread of its own, with this thread's generator moved on in between.
    Auditor auditor(testsupport::Cascade(), kAnyMode1);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].filename().string());
        cv::theRNG().next();
        AuditReport report;
        std::thread([&] { report = auditor.Audit(files[i]); }).join();
        EXPECT_EQ(report.verdict, reference[i].verdict);
        EXPECT_TRUE(SamePixels(report.processedPhoto, reference[i].processed));
    }
    EXPECT_EQ(auditor.rng().state, referenceState);

    // The marked photo really depends on the draws: with another marker
    // colour its bar is taken for the head and the crop differs.
    ASSERT_EQ(reference[3].verdict, Verdict::Passed);
    Auditor other(testsupport::Cascade(), kAnyMode1);
    const AuditReport unmarked = other.Audit(files[3]);
    EXPECT_FALSE(SamePixels(unmarked.processedPhoto, reference[3].processed));
}
