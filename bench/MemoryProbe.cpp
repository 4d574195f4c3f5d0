// Reports the peak resident memory of one audit of a large photo, and of
// decoding plus detection alone, so that the audit's own extra can be read
// off. Run each mode in its own process, the photo made beforehand:
//   quorvel_memory_probe prepare|detect|audit [width height]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchPhotos.h"
#include "core/audit/Auditor.h"
#include "core/audit/FaceDetect.h"
#include "core/audit/PhotoRules.h"
#include "core/session/Session.h"

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "audit";
    const cv::Size size(argc > 3 ? std::atoi(argv[2]) : 3000, argc > 3 ? std::atoi(argv[3]) : 4000);
    const std::string path = benchphotos::JpegFile(benchphotos::Kind::Portrait, size);

    if (mode == "prepare") {
        std::printf("%s\n", path.c_str());
        return 0;
    }

    cv::CascadeClassifier cascade(quorvel::SystemCascadePath().string());
    int state = -1;
    if (mode == "detect") {
        cv::Mat photo = quorvel::DecodePhoto(path).image;
        state = static_cast<int>(quorvel::FindFaces(cascade, photo).size());
    } else {
        quorvel::Auditor auditor(cascade,
                                 {quorvel::BackgroundColor::Any, quorvel::SizeMode::Mode1});
        state = quorvel::VerdictNumber(auditor.Audit(path).verdict);
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    std::printf(
        "{\"mode\": \"%s\", \"width\": %d, \"height\": %d, \"result\": %d, "
        "\"decoded_mib\": %.1f, \"peak_rss_mib\": %.1f}\n",
        mode.c_str(), size.width, size.height, state, size.area() * 3.0 / (1024.0 * 1024.0),
        after.ru_maxrss / 1024.0);
    return 0;
}
