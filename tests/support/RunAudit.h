#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace clitest {

// The settings most runs audit with, given on the command line.
inline const std::vector<std::string> kSettings = {"--color", "3", "--size", "1"};

// `args` followed by `more`.
inline std::vector<std::string> With(std::vector<std::string> args,
                                     const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

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

// Starts quorvel-audit in `cwd`, standard output to `cwd`/out.jsonl and
// standard error to `cwd`/err.txt; returns its process id.
pid_t StartAudit(const std::vector<std::string>& args, const std::filesystem::path& cwd);

// Interrupts (SIGINT) a started run once `ready` holds (looked at every
// 20 ms, for at most a minute) and returns its exit status (-1 when it did
// not exit normally).
int InterruptWhen(pid_t pid, const std::function<bool()>& ready);

}  // namespace clitest
