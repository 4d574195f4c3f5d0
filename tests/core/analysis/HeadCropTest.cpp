#include <gtest/gtest.h>

#include <cstdint>
#include <opencv2/imgproc.hpp>
#include <optional>

#include "core/analysis/HeadCrop.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::LoadFixture;

namespace {

// A textured blue background (every pixel within 15 of every other) with a textured brown head
// that starts at row `headTop` and covers the middle half of the face's columns down to the
// bottom.
cv::Mat HeadPhoto(int cols, int rows, const cv::Rect& face, int headTop) {
    cv::Mat photo(rows, cols, CV_8UC3);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            const int n = (7 * x + 3 * y) % 16;
            photo.at<cv::Vec3b>(y, x) = cv::Vec3b(200 + n, 90 + (x + 5 * y) % 16, 30 + n / 2);
        }
    }
    const cv::Rect head(face.x + face.width / 4, headTop, face.width / 2, rows - headTop);
    for (int y = head.y; y < head.br().y; ++y) {
        for (int x = head.x; x < head.br().x; ++x) {
            photo.at<cv::Vec3b>(y, x) = cv::Vec3b(60 + (x + y) % 8, 90 + x % 8, 160 + y % 8);
        }
    }
    return photo;
}

std::uint64_t StateAfter(std::uint64_t state, int draws) {
    cv::RNG rng(state);
    for (int i = 0; i < draws; ++i) rng.next();
    return rng.state;
}

bool SamePixels(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

constexpr std::uint64_t kSeed = 0x0123456789abcdefULL;

// The parameters of size mode 1 or 2.
SizeModeParams ParamsOf(int mode) { return *SizeModeParamsFor(static_cast<SizeMode>(mode)); }

// FramePhoto with a size setting as read from the file, in or out of range.
CropResult Frame(const cv::Rect& face, const cv::Mat& photo, int mode, cv::RNG& rng) {
    return FramePhoto(face, photo, static_cast<SizeMode>(mode), rng);
}

CropResult Frame(const cv::Rect& face, const cv::Mat& photo, int mode) {
    cv::RNG rng;
    return Frame(face, photo, mode, rng);
}

}  // namespace

// 640 x 480 photo, face 150, 200, 180 x 180, head top at row 120.
TEST(CropForSizeMode, WorkedExample) {
    const cv::Rect face(150, 200, 180, 180);
    const cv::Mat photo = HeadPhoto(480, 640, face, 120);
    struct Row {
        int mode;
        double u;
        int uLeft, uTop, uRight;
        int left, top, right;
        double t;
        int outputWidth;
        cv::Size scaled;
        cv::Rect extraction;
    };
    const Row rows[] = {
        {2, 0.41667, 112, 117, 367, 60, 48, 420, 1.0, 360, {480, 640}, {59, 47, 360, 540}},
        {1, 0.51786, 103, 109, 376, 60, 56, 420, 295.0 / 360, 295, {393, 524}, {48, 45, 295, 413}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        const SizeModeParams& params = ParamsOf(row.mode);
        const FrameSearch search = SearchFrame(params, face, 120, photo.size());
        EXPECT_EQ(search.headRoom, 90);
        ASSERT_TRUE(search.accepted);
        EXPECT_EQ(search.pass, 'A');
        EXPECT_EQ(search.trials, 1);
        EXPECT_EQ(search.headRoomFactor, 0.8);
        EXPECT_NEAR(search.minimumSpread, row.u, 5e-6);
        EXPECT_EQ(search.minimumFrame.left, row.uLeft);
        EXPECT_EQ(search.minimumFrame.top, row.uTop);
        EXPECT_EQ(search.minimumFrame.right, row.uRight);
        EXPECT_TRUE(search.minimumFrame.fits);
        EXPECT_EQ(search.spread, 1.0);
        EXPECT_EQ(search.frame.left, row.left);
        EXPECT_EQ(search.frame.top, row.top);
        EXPECT_EQ(search.frame.right, row.right);
        EXPECT_EQ(search.scale, row.t);
        EXPECT_EQ(search.outputWidth, row.outputWidth);

        const CropResult crop = Frame(face, photo, row.mode);
        ASSERT_TRUE(crop.accepted());
        const cv::Mat& processed = crop.photo;
        EXPECT_EQ(crop.trace.headTopRow, 120);
        EXPECT_EQ(crop.trace.search->headRoom, 90);
        EXPECT_EQ(crop.trace.search->frame.left, row.left);
        EXPECT_EQ(crop.trace.search->frame.top, row.top);
        EXPECT_EQ(crop.trace.search->frame.right, row.right);
        EXPECT_EQ(crop.trace.extraction->scaled, row.scaled);
        EXPECT_EQ(crop.trace.extraction->rect, row.extraction);
        cv::Mat scaled;
        cv::resize(photo, scaled, row.scaled, 0, 0, cv::INTER_AREA);
        EXPECT_TRUE(SamePixels(processed, scaled(row.extraction)));
        EXPECT_TRUE(processed.isContinuous());
    }
    // At t = 1 the cut is the photo itself, one column left of and one row above the frame.
    const CropResult crop = Frame(face, photo, 2);
    ASSERT_TRUE(crop.accepted());
    EXPECT_TRUE(SamePixels(crop.photo, photo(cv::Rect(59, 47, 360, 540))));
}

TEST(SearchFrame, Boundaries) {
    struct Row {
        const char* description;
        int mode;
        cv::Size photo;
        cv::Rect face;
        int headTop;
        bool accepted;
        char pass;
        int trials;
        double k = 0, s = 0;
        int left = 0, top = 0, right = 0;
        double t = 0;
        int outputWidth = 0;
    };
    const Row rows[] = {
        {"mode 1: 172 wide would need t = 1.25",
         1,
         {300, 600},
         {43, 200, 86, 86},
         150,
         false,
         0,
         30},
        {"mode 1: 173 wide at column 0 is enlarged",
         1,
         {300, 600},
         {44, 200, 86, 86},
         150,
         true,
         'A',
         1,
         0.8,
         1.005,
         0,
         130,
         173,
         215.0 / 173,
         215},
        {"mode 2: 236 wide would need t = 1.25",
         2,
         {400, 700},
         {59, 250, 118, 118},
         200,
         false,
         0,
         24},
        {"mode 2: 237 wide at column 0 is enlarged",
         2,
         {400, 700},
         {60, 250, 118, 118},
         200,
         true,
         'A',
         1,
         0.8,
         1.005,
         0,
         149,
         237,
         295.0 / 237,
         295},
        {"mode 1: exactly 215 wide",
         1,
         {581, 705},
         {355, 57, 208, 288},
         28,
         true,
         'A',
         1,
         0.8,
         0.035,
         351,
         0,
         566,
         1.0,
         215},
        {"mode 2: exactly 295 wide",
         2,
         {719, 590},
         {26, 159, 374, 273},
         145,
         true,
         'A',
         1,
         0.8,
         -0.21,
         65,
         148,
         360,
         1.0,
         295},
        {"mode 1: exactly 295 wide, at the right edge",
         1,
         {628, 748},
         {348, 266, 266, 115},
         185,
         true,
         'A',
         17,
         1.6,
         0.11,
         333,
         227,
         628,
         1.0,
         295},
        {"mode 2: exactly 413 wide",
         2,
         {600, 900},
         {150, 300, 207, 207},
         250,
         true,
         'A',
         1,
         0.8,
         1.0,
         47,
         126,
         460,
         1.0,
         413},
        {"pass B repeats k = 0.8, then accepts 0.75",
         1,
         {380, 822},
         {137, 34, 128, 90},
         23,
         true,
         'B',
         26,
         0.75,
         0.36,
         113,
         0,
         288,
         215.0 / 175,
         215},
        {"pass B's last trial is k = 0.55",
         1,
         {627, 373},
         {27, 1, 238, 372},
         0,
         true,
         'B',
         30,
         0.55,
         -0.275,
         59,
         0,
         232,
         215.0 / 173,
         215},
        {"negative u: a frame narrower than the face",
         2,
         {617, 954},
         {160, 1, 359, 399},
         0,
         true,
         'A',
         1,
         0.8,
         -0.26,
         206,
         0,
         472,
         295.0 / 266,
         295},
        {"frame top multiplied in order (g*s + 0.8) * m, then * q",
         1,
         {844, 1053},
         {333, 392, 215, 311},
         293,
         true,
         'A',
         1,
         0.8,
         1.0,
         226,
         144,
         655,
         295.0 / 429,
         295},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const FrameSearch search =
            SearchFrame(ParamsOf(row.mode), row.face, row.headTop, row.photo);
        ASSERT_EQ(search.accepted, row.accepted);
        EXPECT_EQ(search.trials, row.trials);
        if (!row.accepted) continue;
        EXPECT_EQ(search.pass, row.pass);
        EXPECT_NEAR(search.headRoomFactor, row.k, 1e-9);
        EXPECT_NEAR(search.spread, row.s, 1e-9);
        EXPECT_EQ(search.frame.left, row.left);
        EXPECT_EQ(search.frame.top, row.top);
        EXPECT_EQ(search.frame.right, row.right);
        EXPECT_EQ(search.scale, row.t);
        EXPECT_EQ(search.outputWidth, row.outputWidth);
        if (row.s < 0) {
            EXPECT_LT(search.minimumSpread, 0);
            EXPECT_LT(search.frame.width(), row.face.width);
        }
        // A frame at column 0 is cut from column 0 whatever the scale.
        if (row.left == 0) {
            EXPECT_EQ(PlanExtraction(search, ParamsOf(row.mode).aspect, row.photo).rect.x, 0);
        }
    }
}

TEST(SearchFrame, OutputStaysWithinTheModeRanges) {
    int accepted[3] = {0, 0, 0};
    for (int mode : {1, 2}) {
        const SizeModeParams& p = ParamsOf(mode);
        for (int cols = 250; cols <= 900; cols += 65) {
            for (double shape : {1.0, 1.25, 1.5}) {
                const cv::Size photo(cols, static_cast<int>(cols * shape));
                for (int fw = cols / 5; fw <= cols * 4 / 5; fw += cols / 10) {
                    for (double stretch : {0.9, 1.15}) {
                        const int fh = static_cast<int>(fw * stretch);
                        for (int fx : {0, (cols - fw) / 2, cols - fw}) {
                            for (int fy : {1, photo.height / 6, photo.height / 3}) {
                                if (fy + fh > photo.height) continue;
                                for (int headTop : {0, fy / 2, fy - 1}) {
                                    const cv::Rect face(fx, fy, fw, fh);
                                    const FrameSearch s = SearchFrame(p, face, headTop, photo);
                                    if (!s.accepted) continue;
                                    ++accepted[mode];
                                    SCOPED_TRACE(testing::Message()
                                                 << "mode " << mode << " photo " << photo
                                                 << " face " << face << " head top " << headTop);
                                    ASSERT_GE(s.outputWidth, p.narrowWidth);
                                    ASSERT_LE(s.outputWidth, p.wideWidth);
                                    ASSERT_GT(s.scale, 0);
                                    ASSERT_LT(s.scale, 1.25);
                                    const ExtractionPlan plan = PlanExtraction(s, p.aspect, photo);
                                    const cv::Rect padded(0, 0, plan.scaled.width + plan.padColumns,
                                                          plan.scaled.height + plan.padRows);
                                    ASSERT_EQ(plan.rect.width, s.outputWidth);
                                    ASSERT_EQ(plan.rect.height,
                                              static_cast<int>(s.outputWidth * p.aspect));
                                    ASSERT_EQ(plan.rect & padded, plan.rect);
                                    // Padding only makes up for a scaled photo smaller than the
                                    // cut.
                                    if (plan.padColumns > 0) {
                                        ASSERT_EQ(padded.width, plan.rect.width);
                                    }
                                    if (plan.padRows > 0) {
                                        ASSERT_EQ(padded.height, plan.rect.height);
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(accepted[1], 100);
    EXPECT_GT(accepted[2], 100);
}

TEST(CropForSizeMode, CutIsBroughtInsideTheScaledPhoto) {
    struct Row {
        const char* description;
        int mode;
        cv::Size photo;
        cv::Rect face;
        int headTop;
        cv::Size scaled;
        cv::Rect extraction;
        int padColumns, padRows;
    };
    const Row rows[] = {
        {"frame spanning the whole width",
         2,
         {572, 1000},
         {143, 300, 286, 286},
         250,
         {412, 722},
         {0, 41, 413, 619},
         1,
         0},
        {"one column short just above t = 1",
         2,
         {294, 490},
         {5, 97, 285, 277},
         45,
         {294, 491},
         {0, 40, 295, 442},
         1,
         0},
        {"past the bottom, moved up",
         1,
         {629, 321},
         {219, 56, 197, 85},
         31,
         {669, 341},
         {229, 40, 215, 301},
         0,
         0},
        {"one row short", 1, {302, 247}, {2, 26, 176, 136}, 15, {366, 300}, {0, 0, 215, 301}, 0, 1},
        {"two rows short",
         1,
         {300, 244},
         {41, 36, 178, 191},
         29,
         {368, 299},
         {51, 0, 215, 301},
         0,
         2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const cv::Mat photo = HeadPhoto(row.photo.width, row.photo.height, row.face, row.headTop);
        cv::RNG rng;
        const CropResult crop = CropForSizeMode(ParamsOf(row.mode), row.face, photo, rng);
        ASSERT_TRUE(crop.accepted());
        const cv::Mat& processed = crop.photo;
        const ExtractionPlan& plan = *crop.trace.extraction;
        EXPECT_EQ(crop.trace.headTopRow, row.headTop);
        EXPECT_EQ(plan.scaled, row.scaled);
        EXPECT_EQ(plan.rect, row.extraction);
        EXPECT_EQ(plan.padColumns, row.padColumns);
        EXPECT_EQ(plan.padRows, row.padRows);
        ASSERT_EQ(processed.size(), row.extraction.size());

        // What lies inside the scaled photo is copied; the rest repeats its last column or row.
        cv::Mat scaled;
        cv::resize(photo, scaled, row.scaled, 0, 0, cv::INTER_AREA);
        const cv::Rect inside = row.extraction & cv::Rect(cv::Point(), row.scaled);
        EXPECT_TRUE(SamePixels(processed(cv::Rect(cv::Point(), inside.size())), scaled(inside)));
        const int w = processed.cols, h = processed.rows;
        for (int i = 1; i <= row.padColumns; ++i) {
            EXPECT_TRUE(SamePixels(processed.col(w - i), processed.col(w - 1 - row.padColumns)));
        }
        for (int i = 1; i <= row.padRows; ++i) {
            EXPECT_TRUE(SamePixels(processed.row(h - i), processed.row(h - 1 - row.padRows)));
        }
    }
}

TEST(CropForSizeMode, HeadTopAndHeadRoom) {
    const cv::Rect face(150, 200, 180, 180);
    const int mode = 1;
    // Marker colour of the head-top fill when the generator starts at kSeed.
    cv::RNG markerRng(kSeed);
    cv::Vec3b marker;
    for (int ch = 0; ch < 3; ++ch) marker[ch] = static_cast<unsigned>(markerRng) & 255;

    const auto withBar = [&](int width, const cv::Vec3b& colour) {
        cv::Mat photo = HeadPhoto(480, 640, face, 120);
        photo(cv::Rect(face.x + 10, 50, width, 1))
            .setTo(cv::Scalar(colour[0], colour[1], colour[2]));
        return photo;
    };
    const cv::Vec3b dark(10, 10, 10);

    struct Row {
        const char* description;
        cv::Mat photo;
        cv::Rect face;
        std::optional<int> headTop;
        int headRoom;
    };
    const Row rows[] = {
        {"head top at row 0", HeadPhoto(480, 640, face, 0), face, 0, 200},
        {"head top at row 9", HeadPhoto(480, 640, face, 9), face, 9, 200},
        {"head top at row 10", HeadPhoto(480, 640, face, 10), face, 10, 200},
        {"head top at row 11", HeadPhoto(480, 640, face, 11), face, 11, 199},
        {"head top at row 120", HeadPhoto(480, 640, face, 120), face, 120, 90},
        {"face at row 0",
         HeadPhoto(480, 640, {150, 0, 180, 180}, 0),
         {150, 0, 180, 180},
         std::nullopt,
         0},
        {"nothing above the face's columns",
         HeadPhoto(480, 640, {0, 300, 100, 100}, 150),
         {300, 300, 100, 100},
         std::nullopt,
         0},
        {"9 of 180 columns (5 %) make a head top", withBar(9, dark), face, 50, 160},
        {"8 of 180 columns do not", withBar(8, dark), face, 120, 90},
        {"pixels of the marker colour count as background", withBar(20, marker), face, 120, 90},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        cv::RNG rng(kSeed);
        const CropResult crop = CropForSizeMode(ParamsOf(mode), row.face, row.photo, rng);
        EXPECT_EQ(rng.state, StateAfter(kSeed, 3));
        EXPECT_EQ(crop.trace.headTopRow, row.headTop);
        if (row.headTop) {
            EXPECT_EQ(crop.trace.search->headRoom, row.headRoom);
        } else {
            EXPECT_FALSE(crop.trace.search.has_value());
            EXPECT_FALSE(crop.accepted());
        }
        cv::RNG again(kSeed);
        EXPECT_EQ(FindHeadTop(row.face, row.photo, again), row.headTop);
    }
}

TEST(FramePhoto, FaceWidthAndSizeMode) {
    struct Row {
        const char* description;
        int faceWidth;
        int mode;
        bool proceeds;
    };
    const Row rows[] = {
        {"19.9 % of the width", 199, 1, false}, {"20 % of the width", 200, 1, true},
        {"80 % of the width", 800, 2, true},    {"80.1 % of the width", 801, 2, false},
        {"size mode 0", 400, 0, false},         {"size mode 3", 400, 3, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const cv::Rect face((1000 - row.faceWidth) / 2, 300, row.faceWidth, 200);
        const cv::Mat photo = HeadPhoto(1000, 1000, face, 250);
        cv::RNG rng(kSeed);
        const CropResult crop = Frame(face, photo, row.mode, rng);
        // Passing the width and mode checks is what starts the head-top search.
        EXPECT_EQ(crop.trace.headTopRow.has_value(), row.proceeds);
        EXPECT_EQ(rng.state, StateAfter(kSeed, row.proceeds ? 3 : 0));
        if (!row.proceeds) {
            EXPECT_FALSE(crop.accepted());
        }
    }
}

TEST(FramePhoto, ProcessedPhotoOnlyOnSuccessAndADeepCopy) {
    const cv::Rect face(150, 200, 180, 180);
    cv::Mat photo = HeadPhoto(480, 640, face, 120);

    EXPECT_TRUE(Frame(face, photo, 3).photo.empty());
    EXPECT_TRUE(Frame(cv::Rect(150, 0, 180, 180), photo, 1).photo.empty());
    EXPECT_TRUE(Frame(cv::Rect(0, 200, 90, 90), photo, 1).photo.empty());

    const CropResult crop = Frame(face, photo, 2);
    ASSERT_TRUE(crop.accepted());
    EXPECT_EQ(crop.photo.size(), cv::Size(360, 540));
    // A deep copy: changing the photo leaves the processed photo alone.
    const cv::Mat before = crop.photo.clone();
    photo.setTo(cv::Scalar(0, 0, 0));
    EXPECT_TRUE(SamePixels(crop.photo, before));
}

TEST(FramePhoto, RealPhotos) {
    struct Row {
        const char* file;
        cv::Rect face;
    };
    const Row rows[] = {
        {"id_blue.jpg", {134, 304, 185, 185}},
        {"id_red.jpg", {139, 310, 170, 170}},
        {"id_white.jpg", {138, 306, 178, 178}},
    };
    for (const Row& row : rows) {
        const cv::Mat photo = LoadFixture(row.file);
        for (int mode : {1, 2}) {
            SCOPED_TRACE(testing::Message() << row.file << " mode " << mode);
            const SizeModeParams& p = ParamsOf(mode);
            const CropResult crop = Frame(row.face, photo, mode);
            ASSERT_TRUE(crop.accepted());
            const cv::Mat& processed = crop.photo;
            EXPECT_GT(*crop.trace.headTopRow, 0);
            EXPECT_LT(*crop.trace.headTopRow, row.face.y);
            EXPECT_GE(processed.cols, p.narrowWidth);
            EXPECT_LE(processed.cols, p.wideWidth);
            EXPECT_EQ(processed.rows, static_cast<int>(processed.cols * p.aspect));
            EXPECT_EQ(processed.type(), CV_8UC3);
        }
    }
}

// No frame the search accepts makes the face a smaller share of the output
// than LeastFaceShare says, and some frame makes it exactly that: faces of
// every width on photos of every size, the face anywhere, the head top
// anywhere above it.
TEST(LeastFaceShare, NoSearchGivesLessAndSomeGiveExactlyThat) {
    for (const SizeModeParams& mode : {rules::kMode1, rules::kMode2}) {
        SCOPED_TRACE(static_cast<int>(mode.mode));
        cv::RNG rng(7);
        double least = 1;
        int accepted = 0;
        for (int i = 0; i < 30000; ++i) {
            const int side = rng.uniform(rules::kDetectMinFaceSide, 200);
            const cv::Size photo(rng.uniform(side * 5 / 4, side * 5),
                                 rng.uniform(mode.minPhotoHeight, 2000));
            const cv::Rect face(rng.uniform(0, std::max(1, photo.width - side)),
                                rng.uniform(1, std::max(2, photo.height - side)), side, side);
            const FrameSearch search = SearchFrame(mode, face, rng.uniform(0, face.y), photo);
            if (!search.accepted) continue;
            ++accepted;
            least = std::min(least, static_cast<double>(side) / search.frame.width());
        }
        ASSERT_GT(accepted, 1000);
        EXPECT_DOUBLE_EQ(least, LeastFaceShare(mode));
    }
}
