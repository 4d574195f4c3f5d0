#include "support/RunAudit.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <sstream>
#include <thread>

#include "support/TestSupport.h"

namespace clitest {

std::vector<nlohmann::json> RunOutput::Lines() const {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << "not JSON: " << line;
        lines.push_back(std::move(parsed));
    }
    return lines;
}

RunOutput RunAudit(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                   const std::string& input, const std::filesystem::path& dataHome) {
    testsupport::TempDir capture;
    const std::string inPath = (capture / "in").string();
    testsupport::WriteBytes(inPath, input);
    const std::string outPath = (capture / "out").string();
    const std::string errPath = (capture / "err").string();

    std::vector<char*> argv;
    std::string exe = QUORVEL_AUDIT_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);

    // The per-user folder is the given one, else one that does not exist, so
    // that no settings of the person running the tests are read.
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::string(*variable).rfind("XDG_DATA_HOME=", 0) != 0) variables.push_back(*variable);
    }
    variables.push_back("XDG_DATA_HOME=" +
                        (dataHome.empty() ? (capture / "no-user-data") : dataHome).string());
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid == 0) {
        int in = ::open(inPath.c_str(), O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0 || ::chdir(cwd.c_str()) != 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }

    RunOutput result;
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = testsupport::ReadBytes(errPath);
    result.out = testsupport::ReadBytes(outPath);
    return result;
}

pid_t StartAudit(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
    std::vector<std::string> copies = {QUORVEL_AUDIT_EXE};
    copies.insert(copies.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open((cwd / "out.jsonl").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((cwd / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(cwd.c_str()) != 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int InterruptWhen(pid_t pid, const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!ready() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace clitest
