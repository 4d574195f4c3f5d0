#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace clitest {

// What one run of quorvel-audit left behind.
struct RunOutput {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;

    // Standard output parsed line by line; a line that is not JSON fails the test.
    std::vector<nlohmann::json> Lines() const;
};

// Runs quorvel-audit with `args` in the folder `cwd`; standard input holds
// `input` (empty by default). XDG_DATA_HOME is `dataHome`, by default a
// folder that does not exist.
RunOutput RunAudit(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                   const std::string& input = {}, const std::filesystem::path& dataHome = {});

}  // namespace clitest
