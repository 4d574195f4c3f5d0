#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <opencv2/core.hpp>
#include <string>

namespace quorvel {

// The eight seed bytes of the pass marker; the marker's bytes are
// (seed[i] + i + 5) mod 256, followed by two zero bytes.
inline constexpr std::array<std::uint8_t, 8> kPassMarkerSeed = {0x51, 0x75, 0x6F, 0x72,
                                                                0x76, 0x65, 0x6C, 0xA7};
inline constexpr std::size_t kPassMarkerLength = 10;

std::array<std::uint8_t, kPassMarkerLength> MakePassMarker();

// JPEG quality used for every saved photo.
inline constexpr int kSaveJpegQuality = 50;

enum class SaveError {
    None,
    NoPhoto,            // nothing to save
    NoEncoder,          // the extension names no image format the library writes
    IsFolder,           // the name is that of a folder
    NotAFile,           // the name is that of a device, FIFO or socket
    NotWritable,        // an existing file that may not be replaced
    FolderNotWritable,  // an existing, writable file whose folder cannot be written
    WriteFailed,        // the folder cannot be written
    Incomplete,         // the image did not reach the disk whole (disk full)
    MarkerFailed,       // the pass marker could not be appended or flushed
};

struct SaveResult {
    bool ok = false;
    SaveError code = SaveError::None;
    std::string error;              // why the save failed, in English, with the system's reason
    int systemError = 0;            // errno of the step that failed; 0 when there is none
    std::string target;             // the file that receives the photo: the path given, or
                                    // the file its symbolic link points to
    std::uintmax_t imageBytes = 0;  // length of the encoded image before the marker
};

// Writes the photo with the encoder chosen by the path's extension (JPEG
// quality 50) and appends the pass marker. The file appears complete or not
// at all: it is written under a short temporary name in the same folder and
// renamed over the destination, so an existing file of that name is replaced
// only by a finished save and left as it was when the save fails. A
// destination that is a symbolic link stays a link: the file it points to is
// replaced. A replaced file keeps its permission bits, and its owner where
// the process may set it. A writable file in a folder that cannot be written
// is refused (FolderNotWritable) rather than overwritten in place.
SaveResult SaveProcessedPhoto(const cv::Mat& photo, const std::filesystem::path& destination);

// True when the bytes end with this tool's pass marker.
bool EndsWithPassMarker(const std::string& bytes);

// True when the file can be read and ends with this tool's pass marker.
bool HasPassMarker(const std::filesystem::path& file);

}  // namespace quorvel
