// Reports the peak resident memory of one audit of a large photo, and of
// decoding plus detection alone, so that the audit's own extra can be read
// off. Run each mode in its own process, the photo made beforehand:
//   quorvel_memory_probe prepare|detect|audit [width height]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchPhotos.h"
#include "audit/AuditChain.h"
#include "audit/FaceDetect.h"
#include "audit/PathText.h"

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "audit";
    const cv::Size size(argc > 3 ? std::atoi(argv[2]) : 3000, argc > 3 ? std::atoi(argv[3]) : 4000);
    const std::string path = benchphotos::JpegFile(benchphotos::Kind::Portrait, size);

    if (mode == "prepare") {
        std::printf("%s\n", path.c_str());
        return 0;
    }

    cv::CascadeClassifier cascade(QUORVEL_SYSTEM_CASCADE);
    int state = -1;
    if (mode == "detect") {
        cv::Mat photo = DecodePhoto(path);
        state = static_cast<int>(FindFaces(cascade, photo).size());
    } else {
        cv::Mat processed;
        state = AuditPhotoFile(cascade, FromUtf8(path), AuditSettings{3, 1}, processed).state;
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
