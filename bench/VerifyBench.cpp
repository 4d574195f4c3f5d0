// Verifying a saved photo against auditing the same file: a 295 x 413 save
// of the blue identity fixture (size mode 1), as JPEG and as PNG.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>

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

void BM_AuditSaved(benchmark::State& state) {
    const std::filesystem::path path = SavedFile(Extension(state));
    Auditor auditor(Cascade(), kSettings);
    for (auto _ : state) benchmark::DoNotOptimize(auditor.Audit(path));
}
BENCHMARK(BM_AuditSaved)->Arg(0)->Arg(1)->ArgName("png")->Unit(benchmark::kMillisecond);

}  // namespace
