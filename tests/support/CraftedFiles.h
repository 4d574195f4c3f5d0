#pragma once

#include <cstddef>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

// Files crafted to cost a decoder far more than a photo of their size, as a
// hostile upload would be: made on the fly from a real photo, each of a size
// the audit accepts (or a save's size, for the verifier).
namespace crafted {

enum class Kind {
    ScanBomb,        // a progressive JPEG whose thousands of AC scans each cover every block
    RefinementBomb,  // the same with refinement scans over the whole band
    TextChunkBomb,   // a PNG with zTXt chunks that inflate to megabytes each
    InflateBomb,     // a PNG whose image data inflates far beyond its rows
};

struct File {
    Kind kind;
    const char* name;  // for test rows and the cost tool's table
    std::string bytes;
};

// The photo, at its own size, made into each kind. `budget` is about the
// bytes each file may take (the scans or chunks added), `inflated` what the
// compressed parts of the PNG kinds inflate to beyond the photo.
std::string Crafted(Kind kind, const cv::Mat& photo, std::size_t budget, std::size_t inflated);

// Every kind from one photo.
std::vector<File> AllKinds(const cv::Mat& photo, std::size_t budget, std::size_t inflated);

// The pass marker appended, as a forger would.
std::string WithPassMarker(std::string bytes);

}  // namespace crafted
