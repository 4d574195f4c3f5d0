#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/common/Result.h"

namespace quorvel::cli {

// Where a passed photo is saved: <outDir>/<stem of the photo>.<extension>.
std::filesystem::path OutputPathFor(const std::filesystem::path& outDir,
                                    const std::filesystem::path& photo,
                                    const std::string& extension);

// What a run knows before its first audit, so that it never writes over a
// photo it was given or lets two photos write one file: every input (by
// device and inode, and by its name as a case-insensitive file system sees
// it) and every name the run could write, over the whole list (every part
// of a split run plans alike).
class OutputPlan {
public:
    // With outDir, the output name of every photo is planned; without it
    // only the inputs are recorded (for the report's check).
    OutputPlan(const std::vector<std::filesystem::path>& photos,
               const std::optional<std::filesystem::path>& outDir, const std::string& extension);

    // Whether the photo at this position may be saved: not when its file
    // would be one of the inputs, or would be written for more than one
    // photo (names compared ignoring case).
    // Refused (the photo is not saved), or nothing to say against the save.
    const Result<void>& SaveAllowed(std::size_t position) const { return m_refusals[position]; }

    // True when the path names one of the inputs (the same file, or the same
    // name ignoring case).
    bool IsInput(const std::filesystem::path& path) const;

private:
    bool IsInputNamed(const std::filesystem::path& path, const std::string& fullName) const;

    struct Identity {
        dev_t device;
        ino_t inode;
        bool operator<(const Identity& other) const {
            return device != other.device ? device < other.device : inode < other.inode;
        }
    };
    std::vector<Identity> m_inputs;         // sorted
    std::vector<std::string> m_inputNames;  // folded full names, sorted
    std::vector<Result<void>> m_refusals;
};

}  // namespace quorvel::cli
