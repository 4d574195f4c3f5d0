#include "core/save/SavePhoto.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <sstream>
#include <vector>

namespace quorvel {

namespace fs = std::filesystem;

std::array<std::uint8_t, kPassMarkerLength> MakePassMarker() {
    std::array<std::uint8_t, kPassMarkerLength> marker{};
    for (std::size_t i = 0; i < kPassMarkerSeed.size(); ++i) {
        marker[i] = static_cast<std::uint8_t>((kPassMarkerSeed[i] + i + 5) % 256);
    }
    return marker;
}

bool EndsWithPassMarker(const std::string& bytes) {
    if (bytes.size() < kPassMarkerLength) return false;
    const auto marker = MakePassMarker();
    return std::memcmp(bytes.data() + bytes.size() - kPassMarkerLength, marker.data(),
                       kPassMarkerLength) == 0;
}

bool HasPassMarker(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(kPassMarkerLength)) return false;
    std::string tail(kPassMarkerLength, '\0');
    in.seekg(size - static_cast<std::streamoff>(kPassMarkerLength));
    in.read(tail.data(), static_cast<std::streamsize>(kPassMarkerLength));
    return in.good() && EndsWithPassMarker(tail);
}

namespace {

std::string ErrnoText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// A name beside the destination, with the same extension so that the image
// library picks the same encoder.
fs::path TemporaryPathFor(const fs::path& destination) {
    std::random_device rd;
    fs::path temp = destination;
    temp.replace_filename("." + destination.stem().string() + ".saving-" + std::to_string(rd()) +
                          destination.extension().string());
    return temp;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Appends the marker to a file that exists, without creating or truncating
// it, and makes the file durable.
std::string AppendMarker(const fs::path& path) {
    const auto marker = MakePassMarker();
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    if (fd < 0) return ErrnoText("cannot reopen the written image", errno);
    std::string error;
    ssize_t written = ::write(fd, marker.data(), marker.size());
    if (written != static_cast<ssize_t>(marker.size())) {
        error = ErrnoText("cannot append the pass marker", written < 0 ? errno : ENOSPC);
    } else if (::fsync(fd) != 0) {
        error = ErrnoText("cannot flush the saved photo", errno);
    }
    if (::close(fd) != 0 && error.empty()) error = ErrnoText("cannot close the saved photo", errno);
    return error;
}

}  // namespace

SaveResult SaveProcessedPhoto(const cv::Mat& photo, const fs::path& destination) {
    SaveResult result;
    auto fail = [&result](SaveError code, std::string error) {
        result.code = code;
        result.error = std::move(error);
        return result;
    };
    if (photo.empty()) return fail(SaveError::NoPhoto, "there is no processed photo to save");
    const std::string narrowPath = destination.string();
    const std::string extension = destination.extension().string();
    const std::vector<int> params = {cv::IMWRITE_JPEG_QUALITY, kSaveJpegQuality};

    // The expected image bytes, to verify that the write reached the disk whole.
    std::vector<uchar> expected;
    const std::string noEncoder =
        "no image format for the file name \"" + destination.filename().string() + "\"";
    try {
        if (extension.empty() || !cv::imencode(extension, photo, expected, params)) {
            return fail(SaveError::NoEncoder, noEncoder);
        }
    } catch (const cv::Exception&) {
        return fail(SaveError::NoEncoder, noEncoder);
    }

    std::error_code ec;
    if (fs::is_directory(destination, ec)) {
        return fail(SaveError::IsFolder, "\"" + narrowPath + "\" is a folder");
    }
    if (fs::exists(destination, ec) && ::access(destination.c_str(), W_OK) != 0) {
        return fail(SaveError::NotWritable,
                    ErrnoText("cannot replace \"" + narrowPath + "\"", errno));
    }

    // Written beside the destination, then renamed over it once complete.
    const fs::path temp = TemporaryPathFor(destination);
    auto failAndClean = [&](SaveError code, std::string error) {
        fs::remove(temp, ec);
        return fail(code, std::move(error));
    };

    bool written = false;
    try {
        written = cv::imwrite(temp.string(), photo, params);
    } catch (const cv::Exception& e) {
        return failAndClean(SaveError::WriteFailed,
                            std::string("cannot write the image: ") + e.what());
    }
    if (!written) {
        return failAndClean(SaveError::WriteFailed,
                            "cannot write the image to \"" + narrowPath + "\"");
    }

    const std::string onDisk = ReadFile(temp);
    if (onDisk.size() != expected.size() ||
        std::memcmp(onDisk.data(), expected.data(), expected.size()) != 0) {
        return failAndClean(SaveError::Incomplete,
                            "the image was not written completely (is the disk full?)");
    }

    std::string error = AppendMarker(temp);
    if (!error.empty()) return failAndClean(SaveError::MarkerFailed, error);

    fs::rename(temp, destination, ec);
    if (ec) {
        return failAndClean(SaveError::WriteFailed,
                            "cannot write \"" + narrowPath + "\": " + ec.message());
    }

    result.ok = true;
    result.imageBytes = expected.size();
    return result;
}

}  // namespace quorvel
