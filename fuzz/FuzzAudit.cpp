// The whole audit chain on arbitrary encoded image bytes, for both size
// modes and every colour setting.
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>

#include "FuzzSupport.h"
#include "audit/AuditChain.h"
#include "audit/PathText.h"

namespace {

cv::CascadeClassifier& Cascade() {
    static cv::CascadeClassifier cascade(QUORVEL_FUZZ_CASCADE);
    return cascade;
}

// Face detection on huge images only costs time, not coverage.
constexpr double kMaxPixels = 1.5e6;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int size_mode = 1 + (data[0] & 1);
    const int color = (data[0] >> 1) % 5;  // 0..3 and one value outside
    const std::vector<std::uint8_t> encoded(data + 1, data + size);

    cv::Mat photo;
    try {
        photo = cv::imdecode(encoded, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        return 0;
    }
    if (static_cast<double>(photo.total()) > kMaxPixels) return 0;

    const std::string& path = ScratchPath(".img");
    WriteScratch(path, data + 1, size - 1);
    cv::Mat processed;
    AuditResult result =
        RunAudit(Cascade(), photo, FromUtf8(path), AuditSettings{color, size_mode}, processed);
    if (result.state < AUDIT_PASSED || result.state > AUDIT_TOO_SMALL) std::abort();
    if (result.state == AUDIT_PASSED) {
        const int low = size_mode == 1 ? 215 : 295;
        const int high = size_mode == 1 ? 295 : 413;
        const double aspect = size_mode == 1 ? 1.4 : 1.5;
        if (processed.cols < low || processed.cols > high ||
            processed.rows != static_cast<int>(processed.cols * aspect)) {
            std::abort();
        }
    }
    return 0;
}
