// The success screen with the processed photo in its result frame, as painted
// at every repaint of an accepted photo, at device pixel ratios 1 and 2.
#include <benchmark/benchmark.h>

#include <QPainter>
#include <opencv2/imgproc.hpp>

#include "core/audit/Verdict.h"
#include "gui/Pictures.h"
#include "gui/ResultPanel.h"

using namespace quorvel::gui;

namespace {

void BM_PaintResultPanel(benchmark::State& state) {
    const int ratio = static_cast<int>(state.range(0));
    const QImage success = loadPicture(screenPicture(quorvel::Verdict::Passed), ratio);
    cv::Mat processed(413, 295, CV_8UC3);
    cv::randu(processed, 0, 255);
    QImage window(800 * ratio, 600 * ratio, QImage::Format_RGB32);
    window.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        QPainter painter(&window);
        drawPicture(painter, QPoint(0, 0), success);
        paintResultPhoto(painter, processed);
    }
    benchmark::DoNotOptimize(window.constBits());
}
BENCHMARK(BM_PaintResultPanel)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
