#include "support/RunInProcess.h"

#include <cstdlib>
#include <opencv2/core/utils/logger.hpp>
#include <optional>
#include <sstream>

#include "cli/modes/Command.h"
#include "cli/output/Messages.h"
#include "support/TestSupport.h"

namespace clitest {

namespace {

// Sets an environment variable for the lifetime of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace

RunOutput RunInProcess(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                       const std::string& input, const std::filesystem::path& dataHome) {
    using namespace quorvel::cli;
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    testsupport::TempDir scratch;
    const ScopedVariable userData(
        "XDG_DATA_HOME", (dataHome.empty() ? scratch / "no-user-data" : dataHome).string());
    const testsupport::ScopedCwd here(cwd);

    std::vector<const char*> argv = {kProgramName};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const ParsedCommand parsed =
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    int status = parsed.exitStatus;
    if (parsed.options) {
        const ProgressStyle progress =
            parsed.options->progress ? ProgressStyle::Lines : ProgressStyle::None;
        status =
            RunCommand(*parsed.options, CommandStreams{in, out, err, progress, nullptr, nullptr});
    }
    return {status, out.str(), err.str()};
}

}  // namespace clitest
