#include "core/verify/JpegScan.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>

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

// Reads every coefficient, and writes them again as the save's encoder
// would (its tables, standard Huffman codes) into `encoded`. Kept apart from
// any C++ object with a destructor: longjmp skips them.
bool ReadAndEncodeAgain(jpeg_decompress_struct& in, jpeg_compress_struct& out, ScanErrors& errors,
                        std::string_view jpeg, unsigned char** encoded,
                        unsigned long* encodedSize) {
    if (setjmp(errors.fatal) != 0) return false;
    jpeg_create_decompress(&in);
    jpeg_create_compress(&out);
    jpeg_mem_src(&in, reinterpret_cast<const unsigned char*>(jpeg.data()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&in, TRUE);
    if (errors.failed) return false;
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
    if (errors.failed) return false;
    jpeg_mem_dest(&out, encoded, encodedSize);
    jpeg_copy_critical_parameters(&in, &out);
    jpeg_write_coefficients(&out, coefficients);
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&in);
    return !errors.failed;
}

}  // namespace

std::optional<std::string> JpegDataProblem(std::string_view jpeg) {
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
    const bool clean = ReadAndEncodeAgain(in, out, errors, jpeg, &encoded, &encodedSize);
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    const std::string again(reinterpret_cast<const char*>(encoded), encoded ? encodedSize : 0);
    std::free(encoded);
    if (!clean) {
        return std::string(errors.message[0] != '\0' ? errors.message : "libjpeg stopped reading");
    }
    // Data changed inside the scan can still read without a warning; it then
    // no longer is what the encoder writes for the coefficients it yields.
    const std::size_t scan = JpegScanStart(jpeg);
    const std::size_t scanAgain = JpegScanStart(again);
    if (jpeg.substr(std::min(scan, jpeg.size())) !=
        std::string_view(again).substr(std::min(scanAgain, again.size()))) {
        return std::string(
            "Corrupt JPEG data: the scan is not the encoding of the coefficients read from it");
    }
    return std::nullopt;
}

}  // namespace quorvel
