#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "core/audit/Auditor.h"
#include "core/audit/PhotoRules.h"
#include "core/log/VerdictLine.h"
#include "core/text/Encoding.h"
#include "support/TestSupport.h"

using namespace quorvel;

using testsupport::Cascade;
using testsupport::DataPath;
using testsupport::LoadFixture;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

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

Settings SettingsOf(int color, int size) {
    return Settings{static_cast<BackgroundColor>(color), static_cast<SizeMode>(size)};
}

AuditReport AuditFile(const std::filesystem::path& path, int color, int size) {
    Auditor auditor(Cascade(), SettingsOf(color, size));
    return auditor.Audit(path, Trace::On);
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
        Verdict verdict;
    };
    const Row rows[] = {
        {"no face, also too small", "no_face.jpg", 3, 1, Verdict::NoFace},
        {"face under 60 pixels", "small_face.jpg", 3, 1, Verdict::NoFace},
        {"three faces", "group.jpg", 3, 1, Verdict::NoFace},
        {"face found, file too short, busy background", "portrait.jpg", 3, 1, Verdict::TooSmall},
        {"blue background wanted white", "id_blue.jpg", 0, 1, Verdict::BadBackground},
        {"colour setting outside 0..3", "id_blue.jpg", 4, 1, Verdict::BadBackground},
        {"size mode 3 fails the proportion", "id_blue.jpg", 3, 3, Verdict::BadProportion},
        {"size mode 0 fails the proportion", "id_red.jpg", 1, 0, Verdict::BadProportion},
        {"blue, mode 1", "id_blue.jpg", 2, 1, Verdict::Passed},
        {"blue, mode 2", "id_blue.jpg", 3, 2, Verdict::Passed},
        {"red, mode 1", "id_red.jpg", 1, 1, Verdict::Passed},
        {"white, mode 1", "id_white.jpg", 0, 1, Verdict::Passed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        EXPECT_EQ(AuditFile(DataPath(row.fixture), row.color, row.size).verdict, row.verdict);
    }
}

TEST(AuditChain, PassedPhotoHasTheSizeModesDimensions) {
    for (int size : {1, 2}) {
        SCOPED_TRACE(size);
        const AuditReport result = AuditFile(DataPath("id_blue.jpg"), 3, size);
        ASSERT_EQ(result.verdict, Verdict::Passed);
        ASSERT_TRUE(result.face.has_value());
        const cv::Mat& processed = result.processedPhoto;
        const int low = size == 1 ? 215 : 295;
        const int high = size == 1 ? 295 : 413;
        const double aspect = size == 1 ? 1.4 : 1.5;
        EXPECT_GE(processed.cols, low);
        EXPECT_LE(processed.cols, high);
        EXPECT_EQ(processed.rows, static_cast<int>(processed.cols * aspect));
        EXPECT_EQ(processed.type(), CV_8UC3);
        ASSERT_TRUE(result.trace.has_value());
        EXPECT_TRUE(result.trace->background.has_value());
        EXPECT_TRUE(result.trace->crop.has_value());
        ASSERT_TRUE(result.trace->faces.has_value());
        EXPECT_EQ(result.trace->faces->size(), 1u);
    }
}

TEST(AuditChain, FileLengthLimitIsInclusive) {
    TempDir dir;
    const cv::Mat photo = LoadFixture("portrait.jpg");
    WriteJpegOfLength(dir / "short.jpg", photo, 30719);
    WriteJpegOfLength(dir / "exact.jpg", photo, 30720);
    EXPECT_EQ(AuditFile(dir / "short.jpg", 3, 1).verdict, Verdict::TooSmall);
    const AuditReport exact = AuditFile(dir / "exact.jpg", 3, 1);
    EXPECT_NE(exact.verdict, Verdict::TooSmall);
    EXPECT_EQ(exact.trace->fileLength, 30720u);
    EXPECT_TRUE(exact.trace->background.has_value());
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
        const AuditReport result = AuditFile(path, 3, row.size);
        ASSERT_TRUE(result.face.has_value()) << "the crop must keep the face";
        EXPECT_EQ(result.verdict == Verdict::TooSmall, row.tooSmall) << VerdictName(result.verdict);
    }
}

TEST(AuditChain, TooSmallWinsOverAWrongBackground) {
    TempDir dir;
    const auto path = dir / "small.jpg";
    WriteJpegOfLength(path, BlueCrop(214, 300), 60000);
    EXPECT_EQ(AuditFile(path, 0, 1).verdict, Verdict::TooSmall);
}

TEST(AuditChain, PngIsAuditedLikeJpeg) {
    TempDir dir;
    const auto path = dir / "photo.png";
    ASSERT_TRUE(cv::imwrite(path.string(), LoadFixture("id_blue.jpg")));
    const AuditReport fromPng = AuditFile(path, 3, 1);
    const AuditReport fromJpeg = AuditFile(DataPath("id_blue.jpg"), 3, 1);
    EXPECT_EQ(fromPng.verdict, Verdict::Passed);
    EXPECT_EQ(fromJpeg.verdict, Verdict::Passed);
    EXPECT_EQ(fromPng.processedPhoto.size(), fromJpeg.processedPhoto.size());
}

TEST(AuditChain, UnreadableFilesAreBadFormat) {
    TempDir dir;
    WriteBytes(dir / "text.jpg", std::string(40000, 'a'));
    std::filesystem::create_directory(dir / "folder.jpg");
    for (const auto& path : {dir / "missing.jpg", dir / "text.jpg", dir / "folder.jpg"}) {
        SCOPED_TRACE(path.string());
        const AuditReport result = AuditFile(path, 3, 1);
        EXPECT_EQ(result.verdict, Verdict::BadFormat);
        EXPECT_TRUE(result.processedPhoto.empty());
        EXPECT_FALSE(result.failure && AuditBroke(*result.failure));
    }
}

// The file is read once: its length is measured on the descriptor it was
// decoded from, so a file removed after reading no longer matters, and a
// photo without a measured length is BadFormat.
TEST(AuditChain, FileGoneAfterDecodingIsBadFormatWithoutAProcessedPhoto) {
    TempDir dir;
    const auto path = dir / "gone.jpg";
    std::filesystem::copy_file(DataPath("id_blue.jpg"), path);
    const DecodedPhoto decoded = DecodePhoto(path);
    ASSERT_FALSE(decoded.image.empty());
    EXPECT_EQ(decoded.fileLength, std::filesystem::file_size(path));
    std::filesystem::remove(path);

    Auditor auditor(Cascade(), SettingsOf(3, 1));
    EXPECT_EQ(auditor.AuditDecoded(decoded, Trace::On).verdict, Verdict::Passed);

    DecodedPhoto unmeasured;
    unmeasured.image = decoded.image;
    const AuditReport result = auditor.AuditDecoded(unmeasured, Trace::On);
    EXPECT_EQ(result.verdict, Verdict::BadFormat);
    EXPECT_TRUE(result.face.has_value());
    EXPECT_TRUE(result.processedPhoto.empty());
    EXPECT_FALSE(result.trace->fileLength.has_value());
}

TEST(AuditChain, NameThatIsNotUtf8IsAuditedAndLoggedWithAReplacement) {
    TempDir dir;
    // "café.jpg" in Latin-1: legal on Linux, not valid UTF-8.
    const std::filesystem::path path = dir / std::string("caf\xE9.jpg");
    std::filesystem::copy_file(DataPath("id_blue.jpg"), path);
    EXPECT_EQ(AuditFile(path, 3, 1).verdict, Verdict::Passed);

    ActivityLog log(dir / "Test.log");
    (void)log.Open();
    ASSERT_TRUE(WriteVerdictLine(log, path.filename(), Verdict::Passed));
    const std::string content = ReadBytes(dir / "Test.log");
    ASSERT_GT(content.size(), 20u);
    EXPECT_EQ(content.substr(20), "caf?.jpg" + Utf8ToGbk("图像审核成功！", 1024).bytes + "\r\n");
}

TEST(AuditChain, VerdictLineHoldsTheNameLiterally) {
    TempDir dir;
    ActivityLog log(dir / "Test.log");
    (void)log.Open();
    ASSERT_TRUE(WriteVerdictLine(log, std::filesystem::path("/photos/100%s%n.jpg").filename(),
                                 Verdict::BadFormat));
    ASSERT_TRUE(WriteVerdictLine(log, "x.jpg", Verdict::Initial));
    const std::string content = ReadBytes(dir / "Test.log");
    ASSERT_GT(content.size(), 20u);
    EXPECT_EQ(content.substr(20),
              "100%s%n.jpg" + Utf8ToGbk("文件格式不符合要求！", 1024).bytes + "\r\n");
}

TEST(AuditChain, EveryVerdictWritesItsLogText) {
    struct Row {
        Verdict verdict;
        const char* name;
        const char* text;
    };
    const Row rows[] = {
        {Verdict::Passed, "AUDIT_PASSED", "图像审核成功！"},
        {Verdict::BadBackground, "AUDIT_BAD_BACKGROUND", "不是纯背景，或者不是红蓝白！"},
        {Verdict::BadFormat, "AUDIT_BAD_FORMAT", "文件格式不符合要求！"},
        {Verdict::NoFace, "AUDIT_NO_FACE", "不是纯背景，或者背景复杂，识别出错！"},
        {Verdict::BadProportion, "AUDIT_BAD_PROPORTION", "图像比例不符合要求！"},
        {Verdict::TooSmall, "AUDIT_TOO_SMALL", "图像大小或者尺寸不符合要求！"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        ActivityLog log(dir / "Test.log");
        (void)log.Open();
        ASSERT_TRUE(WriteVerdictLine(log, "a.jpg", row.verdict));
        EXPECT_EQ(ReadBytes(dir / "Test.log").substr(20),
                  "a.jpg" + Utf8ToGbk(row.text, 1024).bytes + "\r\n");
        EXPECT_EQ(VerdictName(row.verdict), row.name);
        EXPECT_EQ(VerdictFromNumber(VerdictNumber(row.verdict)), row.verdict);
    }
    EXPECT_FALSE(VerdictFromNumber(7).has_value());
    EXPECT_FALSE(VerdictFromNumber(-1).has_value());
}
