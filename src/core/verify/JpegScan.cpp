#include "core/verify/JpegScan.h"

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <string>

#include "core/rules/Rules.h"
#include "core/verify/SaveStructure.h"

namespace quorvel {

namespace {

// libjpeg's error manager with a way back from a fatal error and the first
// message kept instead of printed.
struct ScanErrors {
    jpeg_error_mgr manager;
    std::jmp_buf fatal;
    bool failed = false;
    char message[JMSG_LENGTH_MAX] = {};
};

ScanErrors& ErrorsOf(j_common_ptr info) { return *reinterpret_cast<ScanErrors*>(info->err); }

void KeepFirst(j_common_ptr info) {
    ScanErrors& errors = ErrorsOf(info);
    if (errors.failed) return;
    errors.failed = true;
    (*info->err->format_message)(info, errors.message);
}

void OnFatal(j_common_ptr info) {
    KeepFirst(info);
    std::longjmp(ErrorsOf(info).fatal, 1);
}

// Level -1 is a warning; higher levels are trace messages, which are ignored.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0) KeepFirst(info);
}

void Silent(j_common_ptr) {}

// The orthonormal 8 x 8 inverse DCT's basis: kBasis[x][u].
const std::array<std::array<double, 8>, 8>& Basis() {
    static const auto basis = [] {
        std::array<std::array<double, 8>, 8> b{};
        for (int x = 0; x < 8; ++x) {
            for (int u = 0; u < 8; ++u) {
                const double scale = u == 0 ? std::sqrt(1.0 / 8) : 0.5;
                b[x][u] = scale * std::cos((2 * x + 1) * u * M_PI / 16);
            }
        }
        return b;
    }();
    return basis;
}

// How far the unclamped pixels of one block lie outside 0..255, exactly when
// that can exceed the limit (else a bound no greater than it). No basis
// product of an AC coefficient exceeds 1/4, so most blocks of a photo are
// settled by the sum of their coefficients; rows of zeros are skipped.
double BlockOvershoot(const JCOEF* block, const UINT16* quantisation) {
    const auto& t = Basis();
    double rows[8][8];  // rows[v][x]: the horizontal transform of frequency row v
    bool used[8] = {};
    double acSum = 0;
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            const int k = 8 * v + u;
            if (block[k] == 0) continue;
            used[v] = true;
            if (k > 0) acSum += std::abs(block[k] * quantisation[k]);
        }
    }
    const double dc = block[0] * quantisation[0] / 8.0 + 128;
    const double bound = std::max({0.0, acSum / 4 - dc, dc + acSum / 4 - 255});
    if (bound <= rules::kMaxJpegBlockOvershoot) return bound;
    for (int v = 0; v < 8; ++v) {
        if (!used[v]) continue;
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int u = 0; u < 8; ++u) {
                if (block[8 * v + u] != 0)
                    sum += block[8 * v + u] * quantisation[8 * v + u] * t[x][u];
            }
            rows[v][x] = sum;
        }
    }
    double worst = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            double pixel = 128;
            for (int v = 0; v < 8; ++v) {
                if (used[v]) pixel += t[y][v] * rows[v][x];
            }
            worst = std::max({worst, -pixel, pixel - 255});
        }
    }
    return worst;
}

// The largest overshoot of any block of any component.
double WorstOvershoot(jpeg_decompress_struct& in, jvirt_barray_ptr* coefficients) {
    double worst = 0;
    for (int c = 0; c < in.num_components; ++c) {
        const jpeg_component_info& component = in.comp_info[c];
        const UINT16* quantisation = component.quant_table->quantval;
        for (JDIMENSION by = 0; by < component.height_in_blocks; ++by) {
            JBLOCKARRAY row = (*in.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&in),
                                                            coefficients[c], by, 1, FALSE);
            for (JDIMENSION bx = 0; bx < component.width_in_blocks; ++bx) {
                worst = std::max(worst, BlockOvershoot(row[0][bx], quantisation));
            }
        }
    }
    return worst;
}

// Reads every coefficient, and writes them again as the save's encoder
// would (its tables, standard Huffman codes) into `encoded`. Kept apart from
// any C++ object with a destructor: longjmp skips them.
bool ReadAndEncodeAgain(jpeg_decompress_struct& in, jpeg_compress_struct& out, ScanErrors& errors,
                        std::string_view jpeg, unsigned char** encoded, unsigned long* encodedSize,
                        double* overshoot) {
    if (setjmp(errors.fatal) != 0) return false;
    jpeg_create_decompress(&in);
    jpeg_create_compress(&out);
    jpeg_mem_src(&in, reinterpret_cast<const unsigned char*>(jpeg.data()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&in, TRUE);
    if (errors.failed) return false;
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
    if (errors.failed) return false;
    *overshoot = WorstOvershoot(in, coefficients);
    jpeg_mem_dest(&out, encoded, encodedSize);
    jpeg_copy_critical_parameters(&in, &out);
    jpeg_write_coefficients(&out, coefficients);
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&in);
    return !errors.failed;
}

}  // namespace

std::optional<std::string> JpegDataProblem(std::string_view jpeg, const ImageStructure& walk) {
    jpeg_decompress_struct in{};
    jpeg_compress_struct out{};
    ScanErrors errors;
    in.err = jpeg_std_error(&errors.manager);
    out.err = &errors.manager;
    errors.manager.error_exit = OnFatal;
    errors.manager.emit_message = OnMessage;
    errors.manager.output_message = Silent;
    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    double overshoot = 0;
    const bool clean =
        ReadAndEncodeAgain(in, out, errors, jpeg, &encoded, &encodedSize, &overshoot);
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    const std::string again(reinterpret_cast<const char*>(encoded), encoded ? encodedSize : 0);
    std::free(encoded);
    if (!clean) {
        return std::string(errors.message[0] != '\0' ? errors.message : "libjpeg stopped reading");
    }
    // Data changed inside the scan can still read without a warning: it then
    // is no longer what the encoder writes for the coefficients it yields, or
    // those give blocks no photo gives.
    const std::uint64_t scan = JpegScanStart(walk, jpeg.size());
    const std::uint64_t scanAgain = JpegScanStart(WalkImage(again), again.size());
    if (jpeg.substr(static_cast<std::size_t>(std::min<std::uint64_t>(scan, jpeg.size()))) !=
        std::string_view(again).substr(
            static_cast<std::size_t>(std::min<std::uint64_t>(scanAgain, again.size())))) {
        return std::string(
            "Corrupt JPEG data: the scan is not the encoding of the coefficients read from it");
    }
    if (overshoot > rules::kMaxJpegBlockOvershoot) {
        return "Corrupt JPEG data: a block's pixels lie " + std::to_string(std::lround(overshoot)) +
               " levels outside 0 to 255, a save's at most " +
               std::to_string(std::lround(rules::kMaxJpegBlockOvershoot));
    }
    return std::nullopt;
}

}  // namespace quorvel
