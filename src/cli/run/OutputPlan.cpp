#include "cli/run/OutputPlan.h"

#include <algorithm>
#include <unordered_map>

#include "cli/output/NameText.h"
#include "core/common/ErrorText.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

fs::path OutputPathFor(const fs::path& outDir, const fs::path& photo,
                       const std::string& extension) {
    fs::path name = photo.stem();
    name += "." + extension;
    return outDir / name;
}

}  // namespace

OutputPlan::OutputPlan(const PhotoList& list, const std::optional<fs::path>& outDir,
                       const std::string& extension)
    : m_refusals(list.photos.size()) {
    FoldedNames names;
    for (std::size_t i = 0; i < list.photos.size(); ++i) {
        const RunFile& photo = m_photos.emplace_back(names.Look(list.photos[i], list.statuses[i]));
        if (photo.status.exists()) m_inputs.push_back(photo.status.identity);
        m_inputNames.push_back(photo.fullName);
    }
    std::sort(m_inputs.begin(), m_inputs.end());
    std::sort(m_inputNames.begin(), m_inputNames.end());
    if (!outDir) return;

    // Output names ignoring case; they all lie in one folder.
    std::vector<std::string> targets;
    std::unordered_map<std::string, std::size_t> uses;
    for (const RunFile& photo : m_photos) {
        const RunFile& output =
            m_outputs.emplace_back(names.Look(OutputPathFor(*outDir, photo.path, extension)));
        targets.push_back(FoldedName(output.path.filename().native()));
        ++uses[targets.back()];
    }
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        const fs::path& target = m_outputs[i].path;
        if (const std::size_t count = uses[targets[i]]; count > 1) {
            m_refusals[i] = Fail(ErrorKind::Refused,
                                 Quoted(target) + " would be written for " + std::to_string(count) +
                                     " photos of this run (names compared ignoring case); none "
                                     "is saved",
                                 0, target);
        } else if (IsInput(m_outputs[i])) {
            m_refusals[i] = Fail(ErrorKind::Refused,
                                 Quoted(target) +
                                     " is one of the photos of this run; it is not "
                                     "replaced",
                                 0, target);
        }
    }
}

bool OutputPlan::IsInput(const RunFile& file) const {
    if (file.status.exists() &&
        std::binary_search(m_inputs.begin(), m_inputs.end(), file.status.identity)) {
        return true;
    }
    return std::binary_search(m_inputNames.begin(), m_inputNames.end(), file.fullName);
}

}  // namespace quorvel::cli
