#pragma once

// Every number that decides a verdict or shapes the processed photo, and the
// layout of the pass marker. The audit, the verifier, the explanation of a
// verdict and the window's texts read them from here; no other file spells
// them.

#include <array>
#include <cstdint>
#include <opencv2/imgproc.hpp>

#include "core/config/Settings.h"

namespace quorvel::rules {

// ---- File ---------------------------------------------------------------

// A photo file must be at least this long (30 KiB).
inline constexpr std::uintmax_t kMinFileLength = 30720;

// The most pixels a photo's header may claim before it is decoded: well above
// any camera (phone sensors reach 200 megapixels), far below what a crafted
// header can claim in a few bytes.
inline constexpr std::uint64_t kMaxPhotoPixels = 300'000'000;

// ---- Decoding cost ----------------------------------------------------------
// Before anything is decoded, one walk of a file's structure counts what the
// decoder would be asked to do; a file that asks more than any camera, phone
// or editor writes is not decoded (docs/batch.md and docs/service.md give what
// each crafted kind costs at these caps). JPEG APPn and COM segments and bytes
// after the end-of-image marker are never decoded and count for nothing.

// JPEG scans up to the end of image. Sequential files have one (one per
// component at most); libjpeg's progressive script, which cjpeg, ImageMagick
// and GIMP use, writes 10 (6 for grey); the scan scripts of other encoders a
// dozen or two. A progressive decoder goes over the whole frame once per
// scan, so thousands of scans of a few bytes cost seconds.
inline constexpr std::uint64_t kMaxJpegScans = 100;
// Each scan's blocks times the coefficients it covers in each block (1 for a
// DC scan, the band's width for an AC scan, 64 for a sequential scan), summed
// over the scans and divided by the frame's blocks times 64: 1 for a
// sequential file, 2.3 to 3.0 for libjpeg's progressive script. A refinement
// scan goes over every coefficient of its band in every block, so scans that
// cover every block in a few bytes cost tens of nanoseconds a block.
inline constexpr double kMaxJpegReadsPerCoefficient = 10;
// What a PNG's compressed ancillary chunks (zTXt, iTXt, iCCP) inflate to, per
// file. ICC profiles are a few kilobytes to about a megabyte, the EXIF and
// XMP profiles ImageMagick keeps as compressed text tens of kilobytes; libpng
// keeps every such chunk in memory (up to 8 MB each, a thousand chunks), so
// half a megabyte of them can take gigabytes.
inline constexpr std::uint64_t kMaxPngInflatedChunkBytes = 16 * 1024 * 1024;
// How far a PNG's image data may inflate beyond the rows its header asks
// for. Encoders write exactly the rows; libpng inflates whatever follows
// them, so a few megabytes of image data can take seconds.
inline constexpr std::uint64_t kMaxPngImageDataExcess = 1024 * 1024;

// ---- Size modes -----------------------------------------------------------

// Crop proportions of a size mode: output height = trunc(aspect * width),
// the head slope (how far the frame's top rises above the face as the frame
// widens), output widths narrowWidth..wideWidth, whether the second pass of
// the crop search (head-room factors below its start) runs, and the smallest
// photo accepted (both inclusive).
struct SizeModeParams {
    SizeMode mode;
    double aspect;
    double slope;
    int narrowWidth;
    int wideWidth;
    bool downwardPass;
    int minPhotoWidth;
    int minPhotoHeight;
};

inline constexpr SizeModeParams kMode1{SizeMode::Mode1, 1.4, 2.8, 215, 295, true, 215, 300};
inline constexpr SizeModeParams kMode2{SizeMode::Mode2, 1.5, 3.0, 295, 413, false, 295, 447};

// The setting's text for a size mode's aspect, as shown to people.
inline constexpr const char* kMode1AspectText = "1.4";
inline constexpr const char* kMode2AspectText = "1.5";

// ---- Face detection -------------------------------------------------------

inline constexpr double kDetectScaleFactor = 1.1;
inline constexpr int kDetectMinNeighbours = 4;
inline constexpr int kDetectMinFaceSide = 60;
// A photo with more faces than this has no usable face.
inline constexpr std::size_t kMaxFaces = 2;

// The face's width as a share of the photo's width (both inclusive).
inline constexpr double kMinFaceShare = 0.2;
inline constexpr double kMaxFaceShare = 0.8;

// ---- Background -----------------------------------------------------------

// The samples lie on this row, at this inset column, the middle column and
// the same inset from the right edge; the fills start from them.
inline constexpr int kSampleRow = 5;
inline constexpr int kSampleInset = 5;

// Colour classes of the mean sample, tested in the order dark, white, red, blue.
inline constexpr double kDarkValueBelow = 0.13;      // value below this: no class
inline constexpr double kWhiteMinValue = 0.9;        // white: value at least this ...
inline constexpr double kWhiteMaxSaturation = 0.13;  // ... and saturation at most this
inline constexpr double kRedHueFrom = 330;           // red: hue >= 330 or hue < 30
inline constexpr double kRedHueBelow = 30;
inline constexpr double kBlueHueFrom = 180;  // blue: 180 <= hue <= 260
inline constexpr double kBlueHueTo = 260;

// The extent fills: 4-connected, channels within this range of the seed pixel.
inline constexpr double kBackgroundFillRange = 60;
inline constexpr int kFillFlags =
    4 | (255 << 8) | cv::FLOODFILL_FIXED_RANGE | cv::FLOODFILL_MASK_ONLY;

// The mean fill area must cover strictly more than this share of the photo.
inline constexpr double kMinCoverageAbove = 0.1;

// ---- Head top and crop ----------------------------------------------------

// The head top: the first row above the face where at least this share of
// the face's columns is not background filled from (cols / 2, kSampleRow)
// with this range around the per-channel median of the square patch of this
// side centred on that seed (one noisy seed pixel must not decide the fill).
inline constexpr double kHeadTopFillRange = 20;
inline constexpr int kHeadTopPatchSide = 5;
inline constexpr double kHeadTopShare = 0.05;
// Head-room starts this many rows above the head top (never above row 0).
inline constexpr int kHeadRoomMargin = 10;

// The head-room factor: how much room above the face a trial asks for; the
// frame's top lies above the face by its share, factor / (factor + 1). Pass A
// from kUpwardPassStart upward while the factor <= kUpwardPassEnd, pass B
// from kUpwardPassStart downward while it >= kDownwardPassEnd, in steps of
// kHeadRoomFactorStep.
inline constexpr double kUpwardPassStart = 0.8;
inline constexpr double kUpwardPassEnd = 2.0;
inline constexpr double kDownwardPassEnd = 0.5;
inline constexpr double kHeadRoomFactorStep = 0.05;

// The spread: how many half face widths the frame reaches beyond the face on
// each side. The preferred frame has a spread of 1; a frame too narrow is
// widened from 1 + step up to kMaxSpread, one too wide narrowed from
// 1 - step down to the least spread (the narrowest frame tall enough for the
// head-room and the face) - step.
inline constexpr double kPreferredSpread = 1.0;
inline constexpr double kSpreadStep = 0.005;
inline constexpr double kMaxSpread = 2.005;
// Frame top: face top - (head slope * spread + kFrameTopBase) * head-room
// share * face height / 2.
inline constexpr double kFrameTopBase = 0.8;
// A frame narrower than the mode's narrow width is enlarged only by a
// scale below this.
inline constexpr double kMaxEnlargement = 1.25;

// ---- Clarity advice (never a verdict) ---------------------------------------

// A passed photo's face is averaged down to this many blocks a side before
// its clarity is measured (analysis/Clarity.h); a smaller face is not
// measured. At 256, a Gaussian blur of sigma 2 at a face height of 600
// pixels spans 0.85 blocks, sharp faces' own blur well under that.
inline constexpr int kClaritySide = 256;
// Below this clarity, in tenths, the photo is advised against. Set on the
// tuning half of the clarity set and judged on the other (docs/clarity.md).
inline constexpr int kMinClarityTenths = 230;

// ---- Saving and the pass marker -------------------------------------------

inline constexpr int kSaveJpegQuality = 50;

// How far, in levels, the pixels a saved JPEG block's coefficients give may
// lie outside 0..255 before they are clamped. Quality-50 saves of real photos
// ring up to about 41 levels past a bright backdrop; data changed inside a
// scan that still reads cleanly gives blocks of random coefficients far
// beyond that.
inline constexpr double kMaxJpegBlockOvershoot = 96;

// The eight seed bytes of the pass marker; the marker's bytes are
// (seed[i] + i + 5) mod 256, followed by two zero bytes.
inline constexpr std::array<std::uint8_t, 8> kPassMarkerSeed = {0x51, 0x75, 0x6F, 0x72,
                                                                0x76, 0x65, 0x6C, 0xA7};
inline constexpr int kPassMarkerOffset = 5;
inline constexpr std::size_t kPassMarkerLength = 10;

// ---- Verifying a saved photo ----------------------------------------------
// The verifier's tolerances, measured on the yardstick's genuine saves
// (docs/verification.md gives the figures): what the save's JPEG quality, a
// sampling place other than the audit's and re-running the detector on the
// smaller saved photo move.

// The colour classes the setting accepts are widened by these, only where
// the audit's classes give none. Where the verifier reads the colour the
// audit sampled, genuine saves drifted at most 0.3° of hue and 0.004 of
// saturation; hue and value allow about three times that. White's
// saturation allows more: under a vertical gradient, white at the original's
// top, the saved photo's top is read up to 0.17 saturated.
inline constexpr double kVerifyHueTolerance = 1.0;
inline constexpr double kVerifyWhiteSaturationTolerance = 0.08;
inline constexpr double kVerifyValueTolerance = 0.01;
// The plain regions reaching the top cover at least this share of a saved
// photo. Smallest on genuine saves: 2.2 % (a tight crop whose backdrop is a
// band along the top over a dark room; the audit samples only the
// original's top rows). A band of backdrop over a wall of another colour is
// therefore not refused for its coverage: the audit passes such photos too.
inline constexpr double kVerifyMinBackgroundCoverage = 0.02;
// Regions left and right of the head that share no pixels (a head reaching
// the top edge parts them) are one backdrop when their shades differ by no
// more than two fill ranges: a smooth gradient between such shades is
// covered by the two fills from its ends.
inline constexpr double kVerifyMaxShadeDifference = 2 * kBackgroundFillRange;
// Seeds of the background regions: on the audit's sample row and on a row
// below a thin band along the top, this many a side from the corner towards
// the head; a seed's colour is the mean of a block this wide around it (JPEG
// noise); this many mixes of the two sides' colours are tried for a class
// the setting accepts.
inline constexpr int kVerifySeedRows[] = {kSampleRow, 3 * kSampleRow};
inline constexpr int kVerifySeedsPerSide = 6;
inline constexpr int kVerifyColourBlock = 3;
inline constexpr int kVerifyMixSteps = 6;

// The detector finds the face of a saved photo again within these shares of
// its width. Largest seen on genuine saves: width 23.6 %, centre 3.3 %, top
// 10.5 %; about a quarter to twice that more is allowed.
inline constexpr double kVerifyFaceWidthJitter = 0.30;
// How much narrower than the crop placed it the detector finds the face of a
// saved photo: the largest seen on the tuning half of the genuine saves
// (18.6 %; evaluation half 8.8 %, tight crops 12.3 % and 8.9 %). The least
// face share the verifier accepts is the least share the crop search gives
// (LeastFaceShare, 0.497 in both size modes) less this, nothing more.
inline constexpr double kVerifyFaceNarrowing = 0.186;
inline constexpr double kVerifyFaceCentreJitter = 0.08;
inline constexpr double kVerifyFaceTopJitter = 0.15;
// The frame's truncations, the extraction's half-pixel shift and its move
// back inside the scaled photo, in pixels.
inline constexpr int kVerifyPixelSlack = 3;
// A face wider than the output (the crop search can make the frame narrower
// than the face) is cut at the photo's sides, and the detector finds none.
// On the photo with its edges extended by this share of its width on every
// side it finds it again, within the width jitter (measured: faces 1.0 to
// 1.43 times the output's width, found 0.86 to 0.94 as wide). Only faces at
// least this share of the photo's width are taken from there.
inline constexpr double kVerifyWideFaceBorder = 0.40;
inline constexpr double kVerifyWideFaceMinShare = 0.90;

}  // namespace quorvel::rules
