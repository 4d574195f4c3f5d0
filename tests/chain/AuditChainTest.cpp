#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "app/Log.h"
#include "audit/AuditChain.h"
#include "audit/PathText.h"
#include "support/TestSupport.h"

using testsupport::Cascade;
using testsupport::DataPath;
using testsupport::LoadFixture;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::wstring Wide(const std::filesystem::path& path) { return FromUtf8(path.string()); }

// Encodes a photo as JPEG and pads the file after the end marker to an exact
// length; decoders ignore what follows the image.
void WriteJpegOfLength(const std::filesystem::path& path, const cv::Mat& photo,
                       std::size_t length) {
    std::vector<uchar> bytes;
    for (int quality = 95; quality > 5; quality -= 5) {
        cv::imencode(".jpg", photo, bytes, {cv::IMWRITE_JPEG_QUALITY, quality});
        if (bytes.size() <= length) break;
    }
    ASSERT_LE(bytes.size(), length);
    std::string content(bytes.begin(), bytes.end());
    content.resize(length, '\0');
    WriteBytes(path, content);
}

AuditResult AuditFile(const std::filesystem::path& path, int color, int size,
                      cv::Mat* processed = nullptr, AuditTrace* trace = nullptr) {
    cv::Mat local;
    return AuditPhotoFile(Cascade(), Wide(path), AuditSettings{color, size},
                          processed != nullptr ? *processed : local, trace);
}

// id_blue.jpg cut to a given size around its face (centred near 226, 397).
cv::Mat BlueCrop(int width, int height) {
    cv::Mat photo = LoadFixture("id_blue.jpg");
    const int x = std::clamp(226 - width / 2, 0, photo.cols - width);
    const int y = std::clamp(397 - height / 2, 0, photo.rows - height);
    return photo(cv::Rect(x, y, width, height)).clone();
}

}  // namespace

TEST(AuditChain, FirstFailingCheckDecides) {
    struct Row {
        const char* description;
        const char* fixture;
        int color;
        int size;
        int state;
    };
    const Row rows[] = {
        {"no face, also too small", "no_face.jpg", 3, 1, AUDIT_NO_FACE},
        {"face under 60 pixels", "small_face.jpg", 3, 1, AUDIT_NO_FACE},
        {"three faces", "group.jpg", 3, 1, AUDIT_NO_FACE},
        {"face found, file too short, busy background", "portrait.jpg", 3, 1, AUDIT_TOO_SMALL},
        {"blue background wanted white", "id_blue.jpg", 0, 1, AUDIT_BAD_BACKGROUND},
        {"colour setting outside 0..3", "id_blue.jpg", 4, 1, AUDIT_BAD_BACKGROUND},
        {"size mode 3 fails the proportion", "id_blue.jpg", 3, 3, AUDIT_BAD_PROPORTION},
        {"size mode 0 fails the proportion", "id_red.jpg", 1, 0, AUDIT_BAD_PROPORTION},
        {"blue, mode 1", "id_blue.jpg", 2, 1, AUDIT_PASSED},
        {"blue, mode 2", "id_blue.jpg", 3, 2, AUDIT_PASSED},
        {"red, mode 1", "id_red.jpg", 1, 1, AUDIT_PASSED},
        {"white, mode 1", "id_white.jpg", 0, 1, AUDIT_PASSED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        EXPECT_EQ(AuditFile(DataPath(row.fixture), row.color, row.size).state, row.state);
    }
}

TEST(AuditChain, PassedPhotoHasTheSizeModesDimensions) {
    for (int size : {1, 2}) {
        SCOPED_TRACE(size);
        cv::Mat processed;
        AuditTrace trace;
        AuditResult result = AuditFile(DataPath("id_blue.jpg"), 3, size, &processed, &trace);
        ASSERT_EQ(result.state, AUDIT_PASSED);
        ASSERT_TRUE(result.face.has_value());
        const int low = size == 1 ? 215 : 295;
        const int high = size == 1 ? 295 : 413;
        const double aspect = size == 1 ? 1.4 : 1.5;
        EXPECT_GE(processed.cols, low);
        EXPECT_LE(processed.cols, high);
        EXPECT_EQ(processed.rows, static_cast<int>(processed.cols * aspect));
        EXPECT_EQ(processed.type(), CV_8UC3);
        EXPECT_TRUE(trace.backgroundChecked);
        EXPECT_TRUE(trace.cropAttempted);
        EXPECT_EQ(trace.faces.size(), 1u);
    }
}

TEST(AuditChain, FileLengthLimitIsInclusive) {
    TempDir dir;
    const cv::Mat photo = LoadFixture("portrait.jpg");
    WriteJpegOfLength(dir / "short.jpg", photo, 30719);
    WriteJpegOfLength(dir / "exact.jpg", photo, 30720);
    AuditTrace trace;
    EXPECT_EQ(AuditFile(dir / "short.jpg", 3, 1).state, AUDIT_TOO_SMALL);
    EXPECT_NE(AuditFile(dir / "exact.jpg", 3, 1, nullptr, &trace).state, AUDIT_TOO_SMALL);
    EXPECT_EQ(trace.fileLength, 30720u);
    EXPECT_TRUE(trace.backgroundChecked);
}

TEST(AuditChain, PixelMinimumsAreInclusive) {
    struct Row {
        const char* description;
        int width;
        int height;
        int size;
        bool tooSmall;
    };
    const Row rows[] = {
        {"mode 1 at the minimum", 215, 300, 1, false},
        {"mode 1 one column short", 214, 300, 1, true},
        {"mode 1 one row short", 215, 299, 1, true},
        {"mode 2 at the minimum", 295, 447, 2, false},
        {"mode 2 one column short", 294, 447, 2, true},
        {"mode 2 one row short", 295, 446, 2, true},
        {"other modes use mode 1's minimum", 215, 300, 5, false},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const auto path = dir / "crop.jpg";
        WriteJpegOfLength(path, BlueCrop(row.width, row.height), 60000);
        AuditResult result = AuditFile(path, 3, row.size);
        ASSERT_TRUE(result.face.has_value()) << "the crop must keep the face";
        EXPECT_EQ(result.state == AUDIT_TOO_SMALL, row.tooSmall) << AuditStateName(result.state);
    }
}

TEST(AuditChain, TooSmallWinsOverAWrongBackground) {
    TempDir dir;
    const auto path = dir / "small.jpg";
    WriteJpegOfLength(path, BlueCrop(214, 300), 60000);
    EXPECT_EQ(AuditFile(path, 0, 1).state, AUDIT_TOO_SMALL);
}

TEST(AuditChain, PngIsAuditedLikeJpeg) {
    TempDir dir;
    const auto path = dir / "photo.png";
    ASSERT_TRUE(cv::imwrite(path.string(), LoadFixture("id_blue.jpg")));
    cv::Mat fromPng, fromJpeg;
    EXPECT_EQ(AuditFile(path, 3, 1, &fromPng).state, AUDIT_PASSED);
    EXPECT_EQ(AuditFile(DataPath("id_blue.jpg"), 3, 1, &fromJpeg).state, AUDIT_PASSED);
    EXPECT_EQ(fromPng.size(), fromJpeg.size());
}

TEST(AuditChain, UnreadableFilesAreBadFormat) {
    TempDir dir;
    WriteBytes(dir / "text.jpg", std::string(40000, 'a'));
    std::filesystem::create_directory(dir / "folder.jpg");
    for (const auto& path : {dir / "missing.jpg", dir / "text.jpg", dir / "folder.jpg"}) {
        SCOPED_TRACE(path.string());
        EXPECT_EQ(AuditFile(path, 3, 1).state, AUDIT_BAD_FORMAT);
    }
}

TEST(AuditChain, FileGoneAfterDecodingIsBadFormatAndKeepsTheProcessedPhoto) {
    TempDir dir;
    const auto path = dir / "gone.jpg";
    std::filesystem::copy_file(DataPath("id_blue.jpg"), path);
    const cv::Mat photo = DecodePhoto(path.string());
    ASSERT_FALSE(photo.empty());
    std::filesystem::remove(path);

    cv::Mat processed(10, 10, CV_8UC3, cv::Scalar(1, 2, 3));
    AuditResult result = RunAudit(Cascade(), photo, Wide(path), AuditSettings{3, 1}, processed);
    EXPECT_EQ(result.state, AUDIT_BAD_FORMAT);
    EXPECT_EQ(processed.size(), cv::Size(10, 10));
}

TEST(AuditChain, FailedAuditLeavesThePreviousProcessedPhoto) {
    cv::Mat processed;
    ASSERT_EQ(AuditFile(DataPath("id_blue.jpg"), 3, 1, &processed).state, AUDIT_PASSED);
    const cv::Mat before = processed.clone();
    ASSERT_EQ(AuditFile(DataPath("id_blue.jpg"), 3, 7, &processed).state, AUDIT_BAD_PROPORTION);
    EXPECT_EQ(cv::norm(before, processed, cv::NORM_INF), 0.0);
}

TEST(AuditChain, VerdictLineHoldsTheNameLiterally) {
    TempDir dir;
    CLog log((dir / "Test.log").string());
    log.Open();
    LogVerdict(log, FileNameOf(L"/photos/100%s%n.jpg"), AUDIT_BAD_FORMAT);
    LogVerdict(log, L"x.jpg", AUDIT_INITIAL);
    const std::string content = ReadBytes(dir / "Test.log");
    ASSERT_GT(content.size(), 20u);
    EXPECT_EQ(content.substr(20),
              "100%s%n.jpg" + WideToGbk(L"文件格式不符合要求！", 1024) + "\r\n");
}

TEST(PathText, ConversionsRoundTrip) {
    const std::wstring path = L"/tmp/照片 100%/a b.jpg";
    EXPECT_EQ(ToThreadAnsiPath(path), "/tmp/\xE7\x85\xA7\xE7\x89\x87 100%/a b.jpg");
    EXPECT_EQ(FromUtf8(ToThreadAnsiPath(path)), path);
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
              L"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xE7\x85"), L"\uFFFD\uFFFD");
    EXPECT_EQ(FileNameOf(L"/a/b/报名照片.jpg"), L"报名照片.jpg");
    EXPECT_EQ(FileNameOf(L"plain.jpg"), L"plain.jpg");
}
