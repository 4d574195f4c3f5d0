#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/audit/Verdict.h"

namespace badinputs {

// One awkward input: how to make it in a folder, and the verdicts it may get.
struct Case {
    std::string description;
    // Creates the input inside `dir` and returns the path to audit.
    std::function<std::filesystem::path(const std::filesystem::path& dir)> make;
    std::vector<quorvel::Verdict> acceptedVerdicts;
};

// The inputs real users feed the tool, made on the fly (nothing large is committed).
const std::vector<Case>& Cases();

}  // namespace badinputs
