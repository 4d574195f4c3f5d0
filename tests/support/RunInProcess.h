#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/RunAudit.h"

namespace clitest {

// Runs quorvel-audit's command from its library, in this process, as main()
// does: the command line parsed, then run with standard input holding
// `input` and the output and messages captured. The working directory is
// `cwd` and XDG_DATA_HOME is `dataHome` (by default a folder that does not
// exist) while it runs. For what the command decides before and around its
// audits; signals and the program's own streams need RunAudit.
RunOutput RunInProcess(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                       const std::string& input = {}, const std::filesystem::path& dataHome = {});

}  // namespace clitest
