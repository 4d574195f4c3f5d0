#include "core/save/SavePhoto.h"

#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "core/io/AtomicFile.h"
#include "core/io/RegularFile.h"

namespace quorvel {

namespace fs = std::filesystem;

std::array<std::uint8_t, rules::kPassMarkerLength> MakePassMarker() {
    std::array<std::uint8_t, rules::kPassMarkerLength> marker{};
    for (std::size_t i = 0; i < rules::kPassMarkerSeed.size(); ++i) {
        marker[i] = static_cast<std::uint8_t>(
            (rules::kPassMarkerSeed[i] + i + rules::kPassMarkerOffset) % 256);
    }
    return marker;
}

bool EndsWithPassMarker(const std::string& bytes) {
    if (bytes.size() < rules::kPassMarkerLength) return false;
    const auto marker = MakePassMarker();
    return std::memcmp(bytes.data() + bytes.size() - rules::kPassMarkerLength, marker.data(),
                       rules::kPassMarkerLength) == 0;
}

bool HasPassMarker(const fs::path& file) {
    // Opened once and checked on its descriptor: a FIFO cannot hang the check.
    const Result<RegularFile> opened = RegularFile::Open(file);
    return opened && HasPassMarker(*opened);
}

bool HasPassMarker(const RegularFile& file) {
    if (file.length() < rules::kPassMarkerLength) return false;
    const Result<std::string> tail =
        file.ReadAt(file.length() - rules::kPassMarkerLength, rules::kPassMarkerLength);
    return tail && EndsWithPassMarker(*tail);
}

Result<std::vector<uchar>> EncodeForSave(const cv::Mat& photo, const fs::path& destination) {
    if (photo.empty()) {
        return Fail(ErrorKind::NoPhoto, "there is no processed photo to save", 0, destination);
    }
    const std::string extension = destination.extension().string();
    const std::vector<int> params = {cv::IMWRITE_JPEG_QUALITY, rules::kSaveJpegQuality};
    const Error noEncoder =
        Fail(ErrorKind::NoEncoder,
             "no image format for the file name \"" + destination.filename().string() + "\"", 0,
             destination);
    std::vector<uchar> image;
    try {
        if (extension.empty() || !cv::imencode(extension, photo, image, params)) return noEncoder;
    } catch (const cv::Exception&) {
        return noEncoder;
    }
    return image;
}

bool SaveNameVerifies(const fs::path& destination) {
    // The format is the one the save's own encoder picks for the name.
    const Result<std::vector<uchar>> sample =
        EncodeForSave(cv::Mat(8, 8, CV_8UC3, cv::Scalar::all(128)), destination);
    if (!sample || sample->size() < 8) return false;
    const std::string start(sample->begin(), sample->begin() + 8);
    return start.rfind("\xFF\xD8", 0) == 0 || start == "\x89PNG\r\n\x1A\n" ||
           start.rfind("BM", 0) == 0;
}

namespace {

// Writes the encoded image and the marker into a begun file and commits it.
Result<SavedPhoto> WriteWithMarker(Result<AtomicFile> file, const std::vector<uchar>& image) {
    if (!file) return file.error();
    if (Result<void> written = file->Write(image.data(), image.size()); !written) {
        return written.error();
    }
    const auto marker = MakePassMarker();
    if (Result<void> written = file->Write(marker.data(), marker.size()); !written) {
        Error error = written.error();
        error.kind = ErrorKind::MarkerFailed;
        return error;
    }
    if (Result<void> committed = file->Commit(); !committed) return committed.error();
    return SavedPhoto{file->target(), image.size()};
}

}  // namespace

Result<SavedPhoto> SaveProcessedPhoto(const cv::Mat& photo, const fs::path& destination,
                                      TemporaryFiles* temporaries) {
    // The image is encoded once, in memory, then written with the marker.
    Result<std::vector<uchar>> image = EncodeForSave(photo, destination);
    if (!image) return image.error();
    return WriteWithMarker(AtomicFile::Begin(destination, temporaries), *image);
}

Result<SavedPhoto> SaveProcessedPhotoIn(const cv::Mat& photo, const OpenFolder& folder,
                                        const fs::path& name, TemporaryFiles* temporaries) {
    Result<std::vector<uchar>> image = EncodeForSave(photo, folder.path() / name);
    if (!image) return image.error();
    return WriteWithMarker(AtomicFile::BeginIn(folder, name, temporaries), *image);
}

}  // namespace quorvel
