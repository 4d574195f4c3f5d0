// The genuineness check: every photo a passed audit saves is accepted, photos
// that never passed are refused with the reasons in plain words.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/audit/Auditor.h"
#include "core/audit/FaceDetect.h"
#include "core/save/SavePhoto.h"
#include "core/verify/GenuinePhoto.h"
#include "core/verify/PhotoChecks.h"
#include "core/verify/SaveEncoding.h"
#include "support/GenuineSet.h"
#include "support/PngChunks.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::Cascade;
using testsupport::ReadBytes;
using testsupport::TempDir;
using verifytest::GenuineSettings;

namespace {

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& p : problems) text += p + "; ";
    return text;
}

// The processed photo of the blue fixture in size mode 1, saved as `name`.
std::string PassedBlueFile(const TempDir& dir, const std::string& name) {
    Auditor auditor(Cascade(), {BackgroundColor::Any, SizeMode::Mode1});
    const AuditReport result = auditor.Audit(testsupport::DataPath("id_blue.jpg"));
    EXPECT_EQ(result.verdict, Verdict::Passed);
    const cv::Mat& processed = result.processedPhoto;
    EXPECT_TRUE(testsupport::Save(processed, (dir / name).string()).ok);
    return ReadBytes(dir / name);
}

cv::Mat Translation(double dx, double dy) {
    cv::Mat m = (cv::Mat_<double>(2, 3) << 1, 0, dx, 0, 1, dy);
    return m;
}

}  // namespace

TEST(GenuinePhoto, EachFailedConditionIsOneProblem) {
    TempDir dir;
    const std::string saved = PassedBlueFile(dir, "blue.jpg");
    const std::string marker = saved.substr(saved.size() - kPassMarkerLength);
    const std::string image = saved.substr(0, saved.size() - kPassMarkerLength);
    const std::string fixture = ReadBytes(testsupport::DataPath("id_blue.jpg"));
    const cv::Mat photo = cv::imdecode(
        cv::Mat(1, static_cast<int>(image.size()), CV_8UC1, const_cast<char*>(image.data())),
        cv::IMREAD_COLOR);
    std::vector<uchar> tiff;
    cv::imencode(".tiff", photo, tiff);
    // Past the save's APP0 JFIF segment; its frame's height and width.
    const std::size_t app0End = 20;
    const std::size_t frameSize = image.find("\xFF\xC0") + 5;
    std::string bomb = image.substr(0, 642 - 2 - kPassMarkerLength) + "\xFF\xD9" + marker;
    bomb.replace(frameSize, 4, std::string("\x4E\x20\x4E\x20", 4));  // 20000 x 20000
    const std::string exif(
        "\xFF\xE1\x00\x08"
        "Exif\0\0",
        10);

    struct Case {
        const char* description;
        std::string bytes;
        GenuineSettings settings;
        bool marker;
        std::vector<std::string> problemsMention;  // in order
    };
    const std::vector<Case> cases = {
        {"the saved photo itself", saved, {3, 1}, true, {}},
        {"the saved photo checked for blue only", saved, {2, 1}, true, {}},
        {"no marker", image, {3, 1}, false, {"pass marker"}},
        {"marker twice", saved + marker, {3, 1}, true, {"complete"}},
        {"bytes between image and marker", image + "xx" + marker, {3, 1}, true, {"complete"}},
        {"marker on an undecodable file",
         "not an image" + marker,
         {3, 1},
         true,
         {"no JPEG, PNG or BMP"}},
        {"marker on a file of its own", marker, {3, 1}, true, {"no JPEG, PNG or BMP"}},
        {"blue photo where only white is accepted",
         saved,
         {0, 1},
         true,
         {"background colour is blue, but the colour setting accepts only white"}},
        {"colour setting that accepts nothing", saved, {7, 1}, true, {"accepts none"}},
        {"size mode 2 for a size mode 1 photo", saved, {3, 2}, true, {"size mode 2 saves"}},
        {"size setting that is no mode", saved, {3, 0}, true, {"not a size mode"}},
        {"a few bytes claiming 20000 x 20000 pixels", bomb, {3, 1}, true, {"20000 × 20000 pixels"}},
        {"a TIFF of the saved photo",
         std::string(tiff.begin(), tiff.end()) + marker,
         {3, 1},
         true,
         {"verify.format: the image data is TIFF"}},
        {"an EXIF segment added",
         image.substr(0, app0End) + exif + image.substr(app0End) + marker,
         {3, 1},
         true,
         {"APP1 segment (EXIF or XMP)"}},
        {"the scan cut short, an end-of-image marker added",
         image.substr(0, image.size() / 2) + "\xFF\xD9" + marker,
         {3, 1},
         true,
         {"verify.decode: the JPEG data is damaged: libjpeg reports \"Corrupt JPEG data"}},
        {"the unprocessed fixture with a marker",
         fixture + marker,
         {3, 1},
         true,
         {"pixels; size mode 1"}},
    };
    // libjpeg's warnings become problems; none reaches stderr.
    testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const GenuineCheck check = CheckGenuinePhoto(c.bytes, Cascade(), c.settings);
        EXPECT_EQ(check.marker, c.marker);
        EXPECT_EQ(check.genuine, c.problemsMention.empty());
        ASSERT_GE(ProblemSentences(check).size(), c.problemsMention.size())
            << Joined(ProblemSentences(check));
        for (std::size_t i = 0; i < c.problemsMention.size(); ++i) {
            EXPECT_NE(ProblemSentences(check)[i].find(c.problemsMention[i]), std::string::npos)
                << Joined(ProblemSentences(check));
        }
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A file its structure checks refuse is answered from the walk alone: no
// decode, background or face check follows; a save goes on to all of them.
TEST(GenuinePhoto, StructureRefusalIsAnsweredBeforeDecoding) {
    TempDir dir;
    const std::string saved = PassedBlueFile(dir, "blue.jpg");
    const std::string image = saved.substr(0, saved.size() - kPassMarkerLength);
    const std::string marker = saved.substr(image.size());
    const std::string exif("\xFF\xE1\x00\x08Exif\0\0", 10);
    const struct {
        const char* description;
        std::string bytes;
        bool decoded;
    } rows[] = {
        {"the save", saved, true},
        {"an EXIF segment added", image.substr(0, 20) + exif + image.substr(20) + marker, false},
        {"re-encoded at quality 75",
         [&] {
             std::vector<uchar> jpeg;
             cv::imencode(".jpg", cv::imread((dir / "blue.jpg").string()), jpeg,
                          {cv::IMWRITE_JPEG_QUALITY, 75});
             return std::string(jpeg.begin(), jpeg.end()) + marker;
         }(),
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        const GenuineCheck check = CheckGenuinePhoto(row.bytes, Cascade(), GenuineSettings{3, 1});
        const bool decodedOrLater =
            std::any_of(check.checks.begin(), check.checks.end(), [](const VerifyCheck& c) {
                return c.explanation.rule == "verify.decode" ||
                       c.explanation.rule.rfind("verify.face", 0) == 0 ||
                       c.explanation.rule.rfind("verify.background", 0) == 0;
            });
        EXPECT_EQ(decodedOrLater, row.decoded) << Joined(ProblemSentences(check));
        EXPECT_EQ(check.genuine, row.decoded);
        EXPECT_EQ(check.size.area() > 0, row.decoded);
    }
}

TEST(GenuinePhoto, GeometryOfTheFaceIsChecked) {
    TempDir dir;
    PassedBlueFile(dir, "blue.png");
    const cv::Mat processed = cv::imread((dir / "blue.png").string());
    ASSERT_FALSE(processed.empty());

    struct Case {
        const char* description;
        cv::Mat photo;
        const char* mentions;
    };
    cv::Mat shifted, lowered, painted = processed.clone();
    cv::warpAffine(processed, shifted, Translation(processed.cols * 0.25, 0), processed.size(),
                   cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::warpAffine(processed, lowered, Translation(0, processed.rows * 0.3), processed.size(),
                   cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    const cv::Vec3b bg = processed.at<cv::Vec3b>(3, 3);
    painted.setTo(cv::Scalar(bg[0], bg[1], bg[2]));
    // The photo shrunk about its face to three quarters of the least face
    // share, centred, the face's top where the crop puts it for k = 1.
    const cv::Rect face = *ChooseFace(FindFaces(Cascade(), processed));
    const double share = 0.75 * verify_checks::FaceShareFloor(rules::kMode1);
    const double z = share * processed.cols / face.width;
    const double top =
        0.25 * (rules::kMode1.slope - (rules::kMode1.slope - rules::kFrameTopBase) * share) *
        processed.cols;
    const cv::Mat shrink =
        (cv::Mat_<double>(2, 3) << z, 0, processed.cols / 2.0 - z * (face.x + face.width / 2.0), 0,
         z, top - z * face.y);
    cv::Mat smaller;
    cv::warpAffine(processed, smaller, shrink, processed.size(), cv::INTER_LINEAR,
                   cv::BORDER_REPLICATE);
    const std::vector<Case> cases = {
        {"face moved a quarter of the width sideways", shifted, "not centred"},
        {"face moved down", lowered, "face's top is on row"},
        {"face painted over", painted, "no face found"},
        {"face drawn at three quarters of the least share", smaller, "verify.face.share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        ASSERT_TRUE(testsupport::Save(c.photo, (dir / "forged.png").string()).ok);
        const GenuineCheck check =
            CheckGenuinePhotoFile((dir / "forged.png").string(), Cascade(), GenuineSettings{3, 1});
        EXPECT_TRUE(check.marker);
        EXPECT_FALSE(check.genuine);
        EXPECT_NE(Joined(ProblemSentences(check)).find(c.mentions), std::string::npos)
            << Joined(ProblemSentences(check));
    }
}

// The crop search can make the output narrower than the face; the detector
// finds no face wider than the photo, so it looks again on the photo with its
// edges extended.
TEST(GenuinePhoto, FaceWiderThanThePhotoIsFoundAgain) {
    TempDir dir;
    PassedBlueFile(dir, "blue.png");
    const cv::Mat processed = cv::imread((dir / "blue.png").string());
    const cv::Rect face = *ChooseFace(FindFaces(Cascade(), processed));
    for (double faceShare : {1.1, 1.25, 1.43}) {
        SCOPED_TRACE(faceShare);
        const int w = static_cast<int>(face.width / faceShare);
        const cv::Rect cut(face.x + face.width / 2 - w / 2, std::max(0, face.y - w / 3), w,
                           static_cast<int>(w * 1.4));
        cv::Mat tight;
        cv::resize(processed(cut & cv::Rect(0, 0, processed.cols, processed.rows)), tight,
                   cv::Size(295, 413), 0, 0, cv::INTER_AREA);
        ASSERT_TRUE(testsupport::Save(tight, (dir / "tight.png").string()).ok);
        const GenuineCheck check =
            CheckGenuinePhotoFile((dir / "tight.png").string(), Cascade(), GenuineSettings{3, 1});
        ASSERT_TRUE(check.face.has_value()) << Joined(ProblemSentences(check));
        EXPECT_EQ(Joined(ProblemSentences(check)).find("verify.face"), std::string::npos)
            << Joined(ProblemSentences(check));
    }
}

// A PNG or BMP save holds exactly the bytes the save's encoder writes for
// its pixels: the same pixels written otherwise, data inside the PNG's image
// data and its stream cut into other chunks are refused, and nothing the
// image libraries say reaches stderr.
TEST(GenuinePhoto, PngAndBmpHoldOnlyTheSaveEncodersBytes) {
    using testsupport::AssembledPng;
    using testsupport::PngChunk;
    TempDir dir;
    const std::string png = PassedBlueFile(dir, "blue.png");
    const std::string bmp = PassedBlueFile(dir, "blue.bmp");
    const std::string marker = png.substr(png.size() - kPassMarkerLength);
    const std::vector<PngChunk> chunks =
        testsupport::PngChunks(png.substr(0, png.size() - kPassMarkerLength));
    const cv::Mat pixels = cv::imread((dir / "blue.png").string());
    auto encoded = [&](std::vector<int> params) {
        std::vector<uchar> bytes;
        cv::imencode(".png", pixels, bytes, params);
        return std::string(bytes.begin(), bytes.end()) + marker;
    };
    // The image data's stream, its rows inflated.
    const std::string stream = testsupport::PngImageStream(chunks);
    const std::string rows =
        testsupport::Inflated(stream, static_cast<std::size_t>(pixels.total()) * 4);
    auto withStream = [&](const std::vector<std::string>& idats) {
        std::vector<PngChunk> out = {chunks.front()};
        for (const std::string& data : idats) out.push_back({"IDAT", data});
        out.push_back(chunks.back());
        return AssembledPng(out) + marker;
    };
    const struct {
        const char* description;
        std::string bytes;
        std::string mentions;  // empty for a genuine save
    } cases[] = {
        {"the PNG save", png, ""},
        {"the BMP save", bmp, ""},
        {"the pixels at compression level 9", encoded({cv::IMWRITE_PNG_COMPRESSION, 9}),
         "not what the save's encoder writes for the pixels it holds: its bytes differ from"},
        {"the pixels filtered as libpng chooses", encoded({cv::IMWRITE_PNG_COMPRESSION, 1}),
         "not what the save's encoder writes"},
        {"the save's stream in IDAT chunks of 4096 bytes",
         withStream({stream.substr(0, 4096), stream.substr(4096)}),
         "its bytes differ from offset 35, in its IDAT chunk at offset 33"},
        {"a page after the stream in its last IDAT chunk", withStream({stream + "<html></html>"}),
         "the PNG data is damaged: 13 compressed bytes follow the end of its image data's stream"},
        {"the rows twice in one stream", withStream({testsupport::Deflated(rows + rows)}),
         "the PNG data is damaged: its image data inflates " + std::to_string(rows.size()) +
             " bytes beyond its rows"},
    };
    testing::internal::CaptureStderr();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const GenuineCheck check = CheckGenuinePhoto(c.bytes, Cascade(), GenuineSettings{3, 1});
        const std::string problems = Joined(ProblemSentences(check));
        EXPECT_EQ(check.genuine, c.mentions.empty()) << problems;
        if (!c.mentions.empty()) {
            EXPECT_EQ(problems.rfind("verify.decode: ", 0), 0u) << problems;
            EXPECT_NE(problems.find(c.mentions), std::string::npos) << problems;
            EXPECT_TRUE(check.faces.empty()) << "decoded no further";
        }
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // Rows filtered as libpng chooses (sub, up, average and Paeth) read as
    // the image library reads them.
    const std::string adaptive = encoded({cv::IMWRITE_PNG_COMPRESSION, 1});
    const std::string_view data(adaptive.data(), adaptive.size() - kPassMarkerLength);
    const ImageStructure walk = WalkForVerification(data);
    const std::string filters = [&] {
        std::string seen;
        const std::string& kept = walk.imageData->rows;
        for (std::size_t at = 0; at < kept.size(); at += 1 + 3 * pixels.cols) seen += kept[at];
        return seen;
    }();
    for (char type = 1; type <= 4; ++type) EXPECT_NE(filters.find(type), std::string::npos);
    EXPECT_EQ(cv::norm(ReadSavedPixels(data, walk, pixels.size()).photo, pixels, cv::NORM_INF), 0);
}
