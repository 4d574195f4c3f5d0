#include <gtest/gtest.h>
#include <sys/mount.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/save/SavePhoto.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::ReadBytes;
using testsupport::SamplePhoto;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::string Encoded(const cv::Mat& photo, const std::string& ext) {
    std::vector<uchar> bytes;
    cv::imencode(ext, photo, bytes, {cv::IMWRITE_JPEG_QUALITY, 50});
    return std::string(bytes.begin(), bytes.end());
}

std::string MarkerBytes() {
    auto marker = MakePassMarker();
    return std::string(marker.begin(), marker.end());
}

}  // namespace

TEST(PassMarker, BytesFollowTheSeed) {
    auto marker = MakePassMarker();
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(marker[i], static_cast<std::uint8_t>((kPassMarkerSeed[i] + i + 5) % 256)) << i;
    }
    EXPECT_EQ(marker[8], 0);
    EXPECT_EQ(marker[9], 0);
    EXPECT_TRUE(EndsWithPassMarker("abc" + MarkerBytes()));
    EXPECT_FALSE(EndsWithPassMarker(MarkerBytes().substr(1)));
    EXPECT_FALSE(EndsWithPassMarker(MarkerBytes() + "x"));
    EXPECT_FALSE(EndsWithPassMarker(""));
}

TEST(SavePhoto, JpegIsTheEncodedImageFollowedByTheMarker) {
    TempDir dir;
    const cv::Mat photo = SamplePhoto();
    const auto path = dir / "报名照片.jpg";
    testsupport::SaveOutcome result = testsupport::Save(photo, path.string());
    ASSERT_TRUE(result.ok) << result.error;

    const std::string bytes = ReadBytes(path);
    const std::string image = Encoded(photo, ".jpg");
    EXPECT_EQ(result.imageBytes, image.size());
    EXPECT_EQ(bytes, image + MarkerBytes());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string(2, '\0'));
    EXPECT_TRUE(HasPassMarker(path.string()));

    cv::Mat decoded = cv::imread(path.string(), cv::IMREAD_COLOR);
    EXPECT_EQ(decoded.size(), photo.size());
    // Only the saved file is left: no temporary file beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SavePhoto, PngNameWritesALosslessPngWithTheMarker) {
    TempDir dir;
    const cv::Mat photo = SamplePhoto();
    const auto path = dir / "photo.png";
    ASSERT_TRUE(testsupport::Save(photo, path.string()).ok);
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    EXPECT_TRUE(EndsWithPassMarker(bytes));
    cv::Mat decoded = cv::imread(path.string(), cv::IMREAD_COLOR);
    EXPECT_EQ(cv::norm(decoded, photo, cv::NORM_INF), 0.0);
}

TEST(SavePhoto, OverwritingPutsTheMarkerAfterTheNewImage) {
    TempDir dir;
    const auto path = dir / "old.jpg";
    WriteBytes(path, std::string(100000, 'x'));
    const cv::Mat photo = SamplePhoto();
    ASSERT_TRUE(testsupport::Save(photo, path.string()).ok);
    EXPECT_EQ(ReadBytes(path), Encoded(photo, ".jpg") + MarkerBytes());
}

TEST(SavePhoto, FailuresWriteNothingAndSayWhy) {
    TempDir dir;
    WriteBytes(dir / "plain", "not a folder");
    WriteBytes(dir / "existing.xyz", "keep me");
    struct Row {
        const char* description;
        std::filesystem::path path;
        quorvel::ErrorKind code;
    };
    const Row rows[] = {
        {"folder is a regular file", dir / "plain" / "photo.jpg", quorvel::ErrorKind::WriteFailed},
        {"unknown extension", dir / "photo.xyz", quorvel::ErrorKind::NoEncoder},
        {"unknown extension over an existing file", dir / "existing.xyz",
         quorvel::ErrorKind::NoEncoder},
        {"no extension", dir / "photo", quorvel::ErrorKind::NoEncoder},
        {"a folder's name", dir / "folder.jpg", quorvel::ErrorKind::IsFolder},
        {"missing folder", dir / "missing" / "photo.jpg", quorvel::ErrorKind::WriteFailed},
    };
    std::filesystem::create_directory(dir / "folder.jpg");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        testsupport::SaveOutcome result = testsupport::Save(SamplePhoto(), row.path.string());
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.code, row.code);
        EXPECT_FALSE(result.error.empty());
        EXPECT_FALSE(HasPassMarker(row.path.string()));
    }
    EXPECT_EQ(ReadBytes(dir / "existing.xyz"), "keep me");
    EXPECT_FALSE(std::filesystem::exists(dir / "photo.xyz"));
    EXPECT_FALSE(testsupport::Save(cv::Mat(), (dir / "empty.jpg").string()).ok);
}

TEST(SavePhoto, FullDiskLeavesTheExistingFileAsItWas) {
    TempDir dir;
    const auto mountPoint = dir / "small";
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights)";
    }
    const auto path = mountPoint / "photo.jpg";
    WriteBytes(path, "old content");
    // A photo of noise does not compress into 16 KiB.
    cv::Mat noisy(600, 400, CV_8UC3);
    cv::randu(noisy, 0, 255);
    testsupport::SaveOutcome result = testsupport::Save(noisy, path.string());
    const std::string after = ReadBytes(path);
    const auto entries = std::distance(std::filesystem::directory_iterator(mountPoint), {});
    ::umount(mountPoint.c_str());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(after, "old content");
    EXPECT_EQ(entries, 1) << "no partial file is left behind";
}

TEST(SavePhoto, ReadOnlyFolderAndFileAreLeftAloneAndAnotherPlaceWorks) {
    TempDir dir;
    const auto mountPoint = dir / "readonly";
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and mount rights)";
    }
    const auto existing = mountPoint / "existing.jpg";
    WriteBytes(existing, "old content");
    const bool readOnly =
        ::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0;
    testsupport::SaveOutcome intoFolder, ontoFile;
    std::string after;
    if (readOnly) {
        intoFolder = testsupport::Save(SamplePhoto(), (mountPoint / "new.jpg").string());
        ontoFile = testsupport::Save(SamplePhoto(), existing.string());
        after = ReadBytes(existing);
    }
    const bool newExists = std::filesystem::exists(mountPoint / "new.jpg");
    ::umount(mountPoint.c_str());
    if (!readOnly) GTEST_SKIP() << "cannot remount the tmpfs read-only here";

    EXPECT_FALSE(intoFolder.ok);
    EXPECT_FALSE(intoFolder.error.empty());
    EXPECT_FALSE(newExists);
    EXPECT_FALSE(ontoFile.ok);
    EXPECT_EQ(after, "old content");
    // The same photo still saves elsewhere.
    EXPECT_TRUE(testsupport::Save(SamplePhoto(), (dir / "elsewhere.jpg").string()).ok);
    EXPECT_TRUE(HasPassMarker((dir / "elsewhere.jpg").string()));
}

TEST(SavePhoto, OnlyJpegPngAndBmpNamesMakeSavesTheVerifierAccepts) {
    const std::vector<std::pair<const char*, bool>> names = {
        {"photo.jpg", true},   {"photo.JPEG", true},  {"photo.png", true},  {"photo.bmp", true},
        {"photo.tiff", false}, {"photo.webp", false}, {"photo.ppm", false}, {"photo.jp2", false},
        {"photo.xyz", false},  {"photo", false},
    };
    for (const auto& [name, verifies] : names) EXPECT_EQ(SaveNameVerifies(name), verifies) << name;
}

TEST(SavePhoto, VerifyRejectsFilesWithoutTheMarker) {
    TempDir dir;
    WriteBytes(dir / "plain.jpg", Encoded(SamplePhoto(), ".jpg"));
    EXPECT_FALSE(HasPassMarker((dir / "plain.jpg").string()));
    EXPECT_FALSE(HasPassMarker((dir / "missing.jpg").string()));
    EXPECT_FALSE(HasPassMarker(dir.path().string()));
    WriteBytes(dir / "short.jpg", MarkerBytes().substr(0, 9));
    EXPECT_FALSE(HasPassMarker((dir / "short.jpg").string()));
}
