#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <opencv2/core.hpp>
#include <string>

#include "core/common/Result.h"
#include "core/io/AtomicFile.h"
#include "core/io/RegularFile.h"
#include "core/rules/Rules.h"

namespace quorvel {

using rules::kPassMarkerLength;
using rules::kPassMarkerSeed;
using rules::kSaveJpegQuality;

// The ten bytes this tool appends to every saved photo.
std::array<std::uint8_t, rules::kPassMarkerLength> MakePassMarker();

// A finished save.
struct SavedPhoto {
    std::filesystem::path target;   // the file that received the photo: the path given, or
                                    // the file its symbolic link points to
    std::uintmax_t imageBytes = 0;  // length of the encoded image before the marker
};

// The photo encoded by the destination's extension (JPEG quality 50): step
// one of a save. NoPhoto or NoEncoder when there is nothing to encode.
Result<std::vector<uchar>> EncodeForSave(const cv::Mat& photo,
                                         const std::filesystem::path& destination);

// Whether a save under this name is written as JPEG, PNG or BMP, the only
// formats the verifier (and so the registration side) accepts; the window
// warns before it writes another format the image library can encode.
bool SaveNameVerifies(const std::filesystem::path& destination);

// Writes the photo with the encoder chosen by the path's extension and
// appends the pass marker, through an AtomicFile: an existing file of that
// name is replaced only by a finished save and left as it was when the save
// fails; a link stays a link; a replaced file keeps its permission bits and
// owner. The error's path is the file that was to receive the photo.
// With `temporaries`, the temporary file is recorded there while it exists.
Result<SavedPhoto> SaveProcessedPhoto(const cv::Mat& photo,
                                      const std::filesystem::path& destination,
                                      TemporaryFiles* temporaries = nullptr);

// The same for the file `name` in an open folder, written relative to the
// folder's descriptor.
Result<SavedPhoto> SaveProcessedPhotoIn(const cv::Mat& photo, const OpenFolder& folder,
                                        const std::filesystem::path& name,
                                        TemporaryFiles* temporaries = nullptr);

// True when the bytes end with this tool's pass marker.
bool EndsWithPassMarker(const std::string& bytes);

// True when the file can be read and ends with this tool's pass marker.
bool HasPassMarker(const std::filesystem::path& file);
bool HasPassMarker(const RegularFile& file);

}  // namespace quorvel
