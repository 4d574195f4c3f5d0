#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/run/PhotoList.h"
#include "cli/run/RunFiles.h"
#include "core/common/Result.h"

namespace quorvel::cli {

// What a run knows of its photos before its first audit, each input and
// each output looked at once: every input (by device and inode, and by its
// name as a case-insensitive file system sees it) and, with --out, the file
// each photo's save would write, over the whole list (every part of a split
// run plans alike), so that it never writes over a photo it was given or
// lets two photos write one file.
class OutputPlan {
public:
    // Takes each photo's status from the list; with outDir, the output of
    // every photo is named and looked at here, the one place that names it:
    // <outDir>/<stem of the photo>.<extension>.
    OutputPlan(const PhotoList& list, const std::optional<std::filesystem::path>& outDir,
               const std::string& extension);

    std::size_t size() const { return m_photos.size(); }

    // The photo at this position as looked at.
    const RunFile& Photo(std::size_t position) const { return m_photos[position]; }

    // With outDir: the file its save would write, as looked at.
    const RunFile& Output(std::size_t position) const { return m_outputs[position]; }

    // The name of that file in the output folder.
    std::filesystem::path OutputName(std::size_t position) const {
        return m_outputs[position].path.filename();
    }

    // Whether the photo at this position may be saved: not when its file
    // would be one of the inputs, or would be written for more than one
    // photo (names compared ignoring case).
    // Refused (the photo is not saved), or nothing to say against the save.
    const Result<void>& SaveAllowed(std::size_t position) const { return m_refusals[position]; }

private:
    bool IsInput(const RunFile& file) const;

    std::vector<RunFile> m_photos;
    std::vector<RunFile> m_outputs;         // empty without outDir
    std::vector<FileIdentity> m_inputs;     // sorted
    std::vector<std::string> m_inputNames;  // folded full names, sorted
    std::vector<Result<void>> m_refusals;
};

}  // namespace quorvel::cli
