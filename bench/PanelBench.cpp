// The result panel composition, as painted at every repaint of an accepted photo.
#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include "core/audit/Verdict.h"
#include "gui/Pictures.h"
#include "gui/ResultPanel.h"

using namespace quorvel::gui;

namespace {

void BM_ComposeResultPanel(benchmark::State& state) {
    const QImage success = loadPicture(screenPicture(quorvel::Verdict::Passed));
    cv::Mat processed(413, 295, CV_8UC3);
    cv::randu(processed, 0, 255);
    for (auto _ : state) {
        cv::Mat composed = composeResultImage(pictureToBgr(success), processed);
        benchmark::DoNotOptimize(bgrToPicture(composed));
    }
}
BENCHMARK(BM_ComposeResultPanel)->Unit(benchmark::kMillisecond);

}  // namespace
