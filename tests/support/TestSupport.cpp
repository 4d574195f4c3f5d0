#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <sstream>
#include <stdexcept>

#include "core/save/SavePhoto.h"

namespace testsupport {

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() /
                         ("quorvel-test-" + std::to_string(rd()) + std::to_string(attempt));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

ScopedCwd::ScopedCwd(const std::filesystem::path& dir)
    : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
}

ScopedCwd::~ScopedCwd() {
    std::error_code ec;
    std::filesystem::current_path(m_previous, ec);
}

std::filesystem::path DataPath(const std::string& name) {
    return std::filesystem::path(QUORVEL_TEST_DATA_DIR) / name;
}

void CopyFixture(const std::string& name, const std::filesystem::path& to) {
    if (to.has_parent_path()) std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy_file(DataPath(name), to,
                               std::filesystem::copy_options::overwrite_existing);
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

cv::CascadeClassifier& Cascade() {
    static cv::CascadeClassifier cascade(QUORVEL_TEST_CASCADE);
    return cascade;
}

quorvel::AuditTrace FullTrace() {
    using namespace quorvel;
    AuditTrace trace;
    trace.photoSize = cv::Size(480, 640);
    trace.faces = std::vector<cv::Rect>{{134, 304, 185, 185}, {10, 20, 30, 30}};
    trace.fileLength = 44239;
    BackgroundTrace bg;
    bg.sampleRgb = cv::Vec3b(66, 142, 218);
    bg.hsv = Hsv{210.4567, 0.6972, 0.8549, true};
    bg.backgroundClass = BackgroundColor::Blue;
    bg.fills = BackgroundFills{{100000, 120000, 110000}, 110000, 0.46317};
    trace.background = bg;
    CropTrace crop;
    crop.headTopRow = 250;
    FrameSearch search;
    search.headRoom = 40;
    search.accepted = true;
    search.pass = 'B';
    search.trials = 7;
    search.headRoomFactor = 1.25;
    search.spread = -0.0001;
    search.minimumSpread = 0.333333;
    search.scale = 0.8;
    search.frame = CandidateFrame{100, 200, 400, true};
    search.outputWidth = 358;
    crop.search = search;
    crop.extraction = ExtractionPlan{cv::Size(384, 512), cv::Rect(1, 2, 358, 441), 0, 3};
    trace.crop = crop;
    return trace;
}

cv::Mat LoadFixture(const std::string& name) {
    cv::Mat photo = cv::imread(DataPath(name).string(), cv::IMREAD_COLOR);
    EXPECT_FALSE(photo.empty()) << "fixture " << name;
    return photo;
}

std::tm FixedTime() {
    std::tm t{};
    t.tm_year = 2015 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 9;
    t.tm_min = 7;
    t.tm_sec = 2;
    return t;
}

cv::Mat SamplePhoto() {
    cv::Mat photo(301, 215, CV_8UC3, cv::Scalar(219, 142, 67));
    cv::circle(photo, {107, 150}, 60, cv::Scalar(120, 170, 220), cv::FILLED);
    return photo;
}

SaveOutcome Save(const cv::Mat& photo, const std::filesystem::path& destination) {
    const quorvel::Result<quorvel::SavedPhoto> saved =
        quorvel::SaveProcessedPhoto(photo, destination);
    SaveOutcome outcome;
    outcome.ok = saved.ok();
    if (saved) {
        outcome.target = saved->target.string();
        outcome.imageBytes = saved->imageBytes;
    } else {
        outcome.code = saved.error().kind;
        outcome.error = saved.error().message;
        outcome.systemError = saved.error().systemError;
        outcome.target = saved.error().path.string();
    }
    return outcome;
}

}  // namespace testsupport
