#include "cli/run/OutputPlan.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "cli/output/NameText.h"
#include "cli/run/RunFiles.h"
#include "core/common/ErrorText.h"
#include "core/io/ImageFiles.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

fs::path OutputPathFor(const fs::path& outDir, const fs::path& photo,
                       const std::string& extension) {
    fs::path name = photo.stem();
    name += "." + extension;
    return outDir / name;
}

OutputPlan::OutputPlan(const std::vector<fs::path>& photos, const std::optional<fs::path>& outDir,
                       const std::string& extension)
    : m_refusals(photos.size()) {
    FoldedNames folders;
    for (const fs::path& photo : photos) {
        struct stat status {};
        if (::stat(photo.c_str(), &status) == 0) m_inputs.push_back({status.st_dev, status.st_ino});
        m_inputNames.push_back(folders.FullName(photo));
    }
    std::sort(m_inputs.begin(), m_inputs.end());
    std::sort(m_inputNames.begin(), m_inputNames.end());
    if (!outDir) return;

    // Output names ignoring case; they all lie in one folder.
    std::vector<std::string> targets;
    targets.reserve(photos.size());
    std::unordered_map<std::string, std::size_t> uses;
    for (const fs::path& photo : photos) {
        targets.push_back(FoldedName(OutputPathFor(*outDir, photo, extension).filename().native()));
        ++uses[targets.back()];
    }
    for (std::size_t i = 0; i < photos.size(); ++i) {
        const fs::path target = OutputPathFor(*outDir, photos[i], extension);
        if (const std::size_t count = uses[targets[i]]; count > 1) {
            m_refusals[i] = Fail(ErrorKind::Refused,
                                 Quoted(target) + " would be written for " + std::to_string(count) +
                                     " photos of this run (names compared ignoring case); none "
                                     "is saved",
                                 0, target);
        } else if (IsInputNamed(target, folders.FullName(target))) {
            m_refusals[i] = Fail(ErrorKind::Refused,
                                 Quoted(target) +
                                     " is one of the photos of this run; it is not "
                                     "replaced",
                                 0, target);
        }
    }
}

bool OutputPlan::IsInput(const fs::path& path) const {
    FoldedNames folders;
    return IsInputNamed(path, folders.FullName(path));
}

bool OutputPlan::IsInputNamed(const fs::path& path, const std::string& fullName) const {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 &&
        std::binary_search(m_inputs.begin(), m_inputs.end(),
                           Identity{status.st_dev, status.st_ino})) {
        return true;
    }
    return std::binary_search(m_inputNames.begin(), m_inputNames.end(), fullName);
}

}  // namespace quorvel::cli
