#include "core/analysis/FrameCut.h"

#include <opencv2/imgproc.hpp>

#include "core/analysis/HeadCrop.h"
#include "core/rules/Rules.h"

namespace quorvel {

cv::Mat CutFrameAgain(const cv::Mat& photo, const cv::Rect& frame, cv::Size output) {
    const bool inside = (frame & cv::Rect(0, 0, photo.cols, photo.rows)) == frame;
    if (photo.empty() || frame.width <= 0 || !inside || output.width <= 0 || output.height <= 0) {
        return {};
    }
    FrameSearch search;
    search.frame.left = frame.x;
    search.frame.top = frame.y;
    search.frame.right = frame.x + frame.width;
    search.outputWidth = output.width;
    search.scale = static_cast<double>(output.width) / frame.width;
    // The plan's height is trunc(width * aspect): an aspect half a pixel
    // above the recorded height gives that height exactly.
    const double aspect = (output.height + 0.5) / output.width;
    const ExtractionPlan plan = PlanExtraction(search, aspect, photo.size());
    // A frame that fitted the photo is never enlarged beyond the limit and
    // lacks at most the pixel truncation loses: anything else is not a crop
    // this photo had.
    constexpr int kMostPadding = 2;
    if (search.scale >= rules::kMaxEnlargement || plan.padColumns > kMostPadding ||
        plan.padRows > kMostPadding) {
        return {};
    }
    try {
        cv::Mat scaled;
        cv::resize(photo, scaled, plan.scaled, 0, 0, cv::INTER_AREA);
        if (plan.padColumns > 0 || plan.padRows > 0) {
            cv::copyMakeBorder(scaled, scaled, 0, plan.padRows, 0, plan.padColumns,
                               cv::BORDER_REPLICATE);
        }
        if ((plan.rect & cv::Rect(0, 0, scaled.cols, scaled.rows)) != plan.rect) return {};
        cv::Mat cut;
        scaled(plan.rect).copyTo(cut);
        return cut;
    } catch (const cv::Exception&) {
        return {};
    }
}

}  // namespace quorvel
