// Verifying a saved photo against auditing the same file: a 295 x 413 save
// of the blue identity fixture (size mode 1), as JPEG and as PNG; and a
// file of a few hundred bytes whose header claims 20000 x 20000 pixels.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "core/audit/Auditor.h"
#include "core/save/SavePhoto.h"
#include "core/session/Session.h"
#include "core/verify/GenuinePhoto.h"

using namespace quorvel;

namespace {

const Settings kSettings{BackgroundColor::Any, SizeMode::Mode1};

cv::CascadeClassifier& Cascade() {
    static cv::CascadeClassifier cascade(SystemCascadePath().string());
    return cascade;
}

// The fixture audited and saved once per extension.
std::filesystem::path SavedFile(const char* extension) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / (std::string("quorvel-bench-verify.") + extension);
    Auditor auditor(Cascade(), kSettings);
    const AuditReport report = auditor.Audit(std::string(QUORVEL_BENCH_DATA_DIR) + "/id_blue.jpg");
    if (!SaveProcessedPhoto(report.processedPhoto, path)) return {};
    return path;
}

const char* Extension(const benchmark::State& state) { return state.range(0) == 0 ? "jpg" : "png"; }

void BM_VerifySaved(benchmark::State& state) {
    const std::filesystem::path path = SavedFile(Extension(state));
    bool genuine = false;
    for (auto _ : state) genuine = CheckGenuinePhotoFile(path, Cascade(), kSettings).genuine;
    state.SetLabel(genuine ? "genuine" : "NOT GENUINE");
}
BENCHMARK(BM_VerifySaved)->Arg(0)->Arg(1)->ArgName("png")->Unit(benchmark::kMillisecond);

// The JPEG save's header with its frame claiming 20000 x 20000 pixels, a few
// scan bytes, the end of image and the pass marker: 642 bytes.
std::filesystem::path HeaderBomb() {
    const std::filesystem::path saved = SavedFile("jpg");
    std::ifstream in(saved, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto marker = MakePassMarker();
    bytes = bytes.substr(0, 642 - 2 - marker.size()) + "\xFF\xD9" +
            std::string(marker.begin(), marker.end());
    bytes.replace(bytes.find("\xFF\xC0") + 5, 4, std::string("\x4E\x20\x4E\x20", 4));
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "quorvel-bench-bomb.jpg";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void BM_VerifyHeaderBomb(benchmark::State& state) {
    const std::filesystem::path path = HeaderBomb();
    bool genuine = true;
    for (auto _ : state) genuine = CheckGenuinePhotoFile(path, Cascade(), kSettings).genuine;
    state.SetLabel(genuine ? "NOT REFUSED" : "refused");
}
BENCHMARK(BM_VerifyHeaderBomb)->Unit(benchmark::kMillisecond);

void BM_AuditSaved(benchmark::State& state) {
    const std::filesystem::path path = SavedFile(Extension(state));
    Auditor auditor(Cascade(), kSettings);
    for (auto _ : state) benchmark::DoNotOptimize(auditor.Audit(path));
}
BENCHMARK(BM_AuditSaved)->Arg(0)->Arg(1)->ArgName("png")->Unit(benchmark::kMillisecond);

}  // namespace
