#include "core/verify/SaveEncoding.h"

#include <algorithm>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "core/rules/Rules.h"
#include "core/save/SavePhoto.h"

namespace quorvel {

namespace {

std::string Offset(std::uint64_t offset) { return "offset " + std::to_string(offset); }

// PNG's Paeth predictor: of a, b and c, the one nearest to a + b - c.
int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// The predictor of PNG filter type F for one byte from the byte to its left
// (a), above (b) and above-left (c).
template <int F>
int Predicted(int a, int b, int c) {
    if constexpr (F == 0) return 0;
    if constexpr (F == 1) return a;
    if constexpr (F == 2) return b;
    if constexpr (F == 3) return (a + b) / 2;
    return Paeth(a, b, c);
}

// One row of 8-bit RGB pixels filtered with type F undone, from its filtered
// bytes and the row above (already blue-green-red; none for the first row),
// and written blue-green-red as the image library gives pixels.
template <int F>
void UnfilterRow(const std::uint8_t* in, const std::uint8_t* above, std::uint8_t* out, int width) {
    for (int c = 0; c < 3; ++c) {
        int left = 0, upLeft = 0;
        for (int x = 0; x < width; ++x) {
            const int up = above != nullptr ? above[3 * x + 2 - c] : 0;
            left = static_cast<std::uint8_t>(in[3 * x + c] + Predicted<F>(left, up, upLeft));
            out[3 * x + 2 - c] = static_cast<std::uint8_t>(left);
            upLeft = up;
        }
    }
}

// PNG's five filters (none, sub, up, average, Paeth); false for another type.
bool Unfilter(int filter, const std::uint8_t* in, const std::uint8_t* above, std::uint8_t* out,
              int width) {
    switch (filter) {
        case 0:
            UnfilterRow<0>(in, above, out, width);
            return true;
        case 1:
            UnfilterRow<1>(in, above, out, width);
            return true;
        case 2:
            UnfilterRow<2>(in, above, out, width);
            return true;
        case 3:
            UnfilterRow<3>(in, above, out, width);
            return true;
        case 4:
            UnfilterRow<4>(in, above, out, width);
            return true;
        default:
            return false;
    }
}

// 8-bit RGB rows, each a filter byte and its filtered bytes, undone.
SavedPixels Unfiltered(const std::string& rows, cv::Size size) {
    SavedPixels read;
    const auto stride = static_cast<std::size_t>(size.width) * 3;
    const std::size_t expected = (stride + 1) * static_cast<std::size_t>(size.height);
    if (rows.size() != expected) {
        read.damage = "its image data holds " + std::to_string(rows.size()) +
                      " bytes of rows, not the " + std::to_string(expected) +
                      " its header asks for";
        return read;
    }
    cv::Mat photo(size, CV_8UC3);
    for (int y = 0; y < size.height; ++y) {
        const auto* in = reinterpret_cast<const std::uint8_t*>(rows.data()) + y * (stride + 1);
        const std::uint8_t* above = y > 0 ? photo.ptr<std::uint8_t>(y - 1) : nullptr;
        if (!Unfilter(in[0], in + 1, above, photo.ptr<std::uint8_t>(y), size.width)) {
            read.damage = "row " + std::to_string(y) + " has filter type " + std::to_string(in[0]) +
                          ", which PNG does not define";
            return read;
        }
    }
    read.photo = photo;
    return read;
}

// What the walk found wrong with a PNG's image data, if anything.
std::optional<std::string> ImageDataDamage(const PngImageData& data) {
    if (!data.damage.empty()) return "zlib reports \"" + data.damage + "\" in its image data";
    if (!data.streamEnded) return "its image data's compressed stream does not end";
    if (data.inflatedBytes > data.rowBytes) {
        return "its image data inflates " + std::to_string(data.inflatedBytes - data.rowBytes) +
               " bytes beyond its rows";
    }
    if (data.bytesAfterStream > 0) {
        return std::to_string(data.bytesAfterStream) +
               " compressed bytes follow the end of its image data's stream";
    }
    return std::nullopt;
}

SavedPixels ReadPng(std::string_view data, const ImageStructure& walk, cv::Size size) {
    // A walk made by the caller may not have kept the rows.
    std::optional<ImageStructure> again;
    const ImageStructure* kept = &walk;
    if (walk.imageData && walk.imageData->rows.empty()) {
        kept = &again.emplace(WalkForVerification(data));
    }
    if (!kept->imageData) return {{}, "its header's rows cannot be read", std::nullopt};
    if (std::optional<std::string> damage = ImageDataDamage(*kept->imageData)) {
        return {{}, std::move(damage), std::nullopt};
    }
    return Unfiltered(kept->imageData->rows, size);
}

// Where `data` first differs from what the encoder wrote, named by its PNG
// chunk when it has one.
std::string Difference(std::string_view data, std::string_view encoded,
                       const ImageStructure& walk) {
    const auto at = static_cast<std::uint64_t>(
        std::mismatch(data.begin(), data.begin() + std::min(data.size(), encoded.size()),
                      encoded.begin())
            .first -
        data.begin());
    std::string where = "from " + Offset(at);
    for (const PngChunk& chunk : walk.chunks) {
        if (at >= chunk.offset && at < chunk.end()) {
            where += ", in its " + chunk.type + " chunk at " + Offset(chunk.offset);
            break;
        }
    }
    return "its bytes differ " + where + " (the encoder writes " + std::to_string(encoded.size()) +
           " bytes, the data holds " + std::to_string(data.size()) + ")";
}

}  // namespace

std::uint64_t LargestSavedPngRows() {
    std::uint64_t largest = 0;
    for (const rules::SizeModeParams& mode : {rules::kMode1, rules::kMode2}) {
        const auto width = static_cast<std::uint64_t>(mode.wideWidth);
        const auto height = static_cast<std::uint64_t>(mode.wideWidth * mode.aspect);
        largest = std::max(largest, height * (1 + 3 * width));
    }
    return largest;
}

ImageStructure WalkForVerification(std::string_view image) {
    return WalkImage(image, LargestSavedPngRows());
}

SavedPixels ReadSavedPixels(std::string_view data, const ImageStructure& walk, cv::Size size) {
    SavedPixels read;
    const char* name = walk.format == ImageFormat::Png ? "saved.png" : "saved.bmp";
    if (walk.format == ImageFormat::Png) {
        read = ReadPng(data, walk, size);
    } else {
        try {
            const cv::Mat raw(1, static_cast<int>(data.size()), CV_8UC1,
                              const_cast<char*>(data.data()));
            read.photo = cv::imdecode(raw, cv::IMREAD_COLOR);
        } catch (const cv::Exception&) {
            read.photo.release();
        }
    }
    if (read.photo.empty() || read.photo.size() != size) return read;
    const Result<std::vector<uchar>> encoded = EncodeForSave(read.photo, name);
    if (!encoded) {
        read.difference = "the save's encoder wrote nothing: " + encoded.error().message;
        return read;
    }
    const std::string_view again(reinterpret_cast<const char*>(encoded->data()), encoded->size());
    if (again != data) read.difference = Difference(data, again, walk);
    return read;
}

}  // namespace quorvel
