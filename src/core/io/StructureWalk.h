#pragma once

// The parts of the structure walk, one a format (ImageStructure.cpp,
// JpegStructure.cpp, PngStructure.cpp).

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/io/ByteSource.h"
#include "core/io/ImageStructure.h"

namespace quorvel::structure_walk {

// Each list of a walk (segments, scans, chunks) keeps at most this many
// elements; the walk counts on past them. A file that has more is no photo
// (a save has about a hundred), and its lists cannot grow with the file.
inline constexpr std::size_t kMaxListed = 65536;

inline std::string Offset(std::uint64_t offset) { return "offset " + std::to_string(offset); }

// Records the first irregularity only.
inline void NoteProblem(ImageStructure& walk, const std::string& problem) {
    if (walk.problem.empty()) walk.problem = problem;
}

// From just past the signature.
void WalkJpeg(ByteSource& source, ImageStructure& walk);
// The PNG walk keeps the inflated image data when its rows take at most
// `keepRowsUpTo` bytes.
void WalkPng(ByteSource& source, ImageStructure& walk, std::uint64_t keepRowsUpTo);

}  // namespace quorvel::structure_walk
