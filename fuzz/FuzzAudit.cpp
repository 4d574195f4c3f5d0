// The whole audit chain on arbitrary encoded image bytes, for both size
// modes and every colour setting.
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>

#include "FuzzSupport.h"
#include "core/audit/Auditor.h"

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
    const quorvel::Settings settings{static_cast<quorvel::BackgroundColor>(color),
                                     static_cast<quorvel::SizeMode>(size_mode)};
    const std::vector<std::uint8_t> encoded(data + 1, data + size);

    cv::Mat photo;
    try {
        photo = cv::imdecode(encoded, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        return 0;
    }
    if (static_cast<double>(photo.total()) > kMaxPixels) return 0;

    quorvel::Auditor auditor(Cascade(), settings);
    const quorvel::AuditReport report = auditor.AuditDecoded({photo, std::uintmax_t{size - 1}});
    if (report.verdict == quorvel::Verdict::Initial) std::abort();
    if (report.verdict != quorvel::Verdict::Passed && !report.processedPhoto.empty()) std::abort();
    if (report.verdict == quorvel::Verdict::Passed) {
        const cv::Mat& processed = report.processedPhoto;
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
