// Time of each stage of an audit, on synthetic and real-portrait photos of
// three sizes, and of the start-up work.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "BenchPhotos.h"
#include "core/analysis/Background.h"
#include "core/analysis/HeadCrop.h"
#include "core/audit/Auditor.h"
#include "core/audit/FaceDetect.h"
#include "core/audit/PhotoRules.h"
#include "core/config/Settings.h"
#include "core/save/SavePhoto.h"
#include "core/session/Session.h"

using benchphotos::Kind;
using namespace quorvel;

namespace {

cv::CascadeClassifier& Cascade() {
    static cv::CascadeClassifier cascade(quorvel::SystemCascadePath().string());
    return cascade;
}

const cv::Size kSizes[] = {{480, 640}, {1200, 1600}, {3000, 4000}};

void SizeArgs(benchmark::internal::Benchmark* b) {
    for (int kind = 0; kind < 2; ++kind) {
        for (int i = 0; i < 3; ++i) b->Args({kind, i});
    }
    b->ArgNames({"portrait", "size"});
    b->Unit(benchmark::kMillisecond);
}

Kind KindOf(const benchmark::State& state) {
    return state.range(0) ? Kind::Portrait : Kind::Synthetic;
}
cv::Size SizeOf(const benchmark::State& state) { return kSizes[state.range(1)]; }

void BM_Decode(benchmark::State& state) {
    const std::string path = benchphotos::JpegFile(KindOf(state), SizeOf(state));
    for (auto _ : state) benchmark::DoNotOptimize(DecodePhoto(path));
}
BENCHMARK(BM_Decode)->Apply(SizeArgs);

// Grey conversion, equalisation and detectMultiScale.
void BM_FaceDetection(benchmark::State& state) {
    const cv::Mat photo = benchphotos::Make(KindOf(state), SizeOf(state));
    for (auto _ : state) benchmark::DoNotOptimize(FindFaces(Cascade(), photo));
}
BENCHMARK(BM_FaceDetection)->Apply(SizeArgs)->Iterations(3);

// The detector's preparation alone: the part of detection that is ours.
void BM_DetectionPreparation(benchmark::State& state) {
    const cv::Mat photo = benchphotos::Make(KindOf(state), SizeOf(state));
    for (auto _ : state) {
        cv::Mat grey;
        cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY, 0);
        cv::equalizeHist(grey, grey);
        benchmark::DoNotOptimize(grey.data);
    }
}
BENCHMARK(BM_DetectionPreparation)->Apply(SizeArgs);

void BM_BackgroundCheck(benchmark::State& state) {
    const cv::Mat photo = benchphotos::Make(KindOf(state), SizeOf(state));
    cv::RNG rng;
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckBackground(photo, BackgroundColor::Any, rng));
}
BENCHMARK(BM_BackgroundCheck)->Apply(SizeArgs);

void BM_HeadTopAndCrop(benchmark::State& state) {
    const cv::Mat photo = benchphotos::Make(KindOf(state), SizeOf(state));
    const cv::Rect face = benchphotos::FaceOf(KindOf(state), SizeOf(state));
    cv::RNG rng;
    for (auto _ : state) benchmark::DoNotOptimize(FramePhoto(face, photo, SizeMode::Mode1, rng));
}
BENCHMARK(BM_HeadTopAndCrop)->Apply(SizeArgs);

// Decoding, detection and every rule, as one audit of a file.
void BM_WholeAudit(benchmark::State& state) {
    const std::filesystem::path path = benchphotos::JpegFile(KindOf(state), SizeOf(state));
    Auditor auditor(Cascade(), Settings{BackgroundColor::Any, SizeMode::Mode1});
    for (auto _ : state) benchmark::DoNotOptimize(auditor.Audit(path));
}
BENCHMARK(BM_WholeAudit)->Apply(SizeArgs)->Iterations(3);

void BM_Save(benchmark::State& state) {
    // The processed photo of the blue identity fixture, as the window saves it.
    const cv::Mat photo = cv::imread(std::string(QUORVEL_BENCH_DATA_DIR) + "/id_blue.jpg");
    cv::RNG rng;
    const cv::Mat processed =
        FramePhoto(benchphotos::FaceOf(Kind::Portrait, photo.size()), photo, SizeMode::Mode1, rng)
            .photo;
    const std::string path =
        (std::filesystem::temp_directory_path() / "quorvel-bench-save.jpg").string();
    for (auto _ : state) benchmark::DoNotOptimize(SaveProcessedPhoto(processed, path));
    std::filesystem::remove(path);
    state.SetLabel(std::to_string(processed.cols) + "x" + std::to_string(processed.rows));
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

void BM_StartupCascadeLoad(benchmark::State& state) {
    for (auto _ : state) {
        cv::CascadeClassifier cascade;
        benchmark::DoNotOptimize(cascade.load(quorvel::SystemCascadePath().string()));
    }
}
BENCHMARK(BM_StartupCascadeLoad)->Unit(benchmark::kMillisecond);

void BM_StartupConfiguration(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "quorvel-bench.ini").string();
    std::ofstream(path) << "[set]\ncolor=3\nsize=1\n";
    for (auto _ : state) benchmark::DoNotOptimize(ReadSettings(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_StartupConfiguration)->Unit(benchmark::kMicrosecond);

}  // namespace
