#include "core/io/LibraryMessages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "core/common/ErrorText.h"

namespace quorvel {

namespace {

constexpr std::size_t kMaxCapturedBytes = 64 * 1024;

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace

struct LibraryMessages::State {
    std::mutex lock;
    Descriptor capture;
};

LibraryMessages::LibraryMessages(std::unique_ptr<State> state, Descriptor program)
    : m_state(std::move(state)), m_program(std::move(program)) {}

LibraryMessages::LibraryMessages(LibraryMessages&&) noexcept = default;
LibraryMessages& LibraryMessages::operator=(LibraryMessages&&) noexcept = default;
LibraryMessages::~LibraryMessages() = default;

Result<LibraryMessages> LibraryMessages::Open() {
    auto failed = [](const std::string& what) {
        const int code = errno;
        return Fail(ErrorKind::Internal, ErrnoText(what, code), code);
    };
    Descriptor program(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3));
    if (program.get() < 0) return failed("cannot keep a copy of standard error");
    auto state = std::make_unique<State>();
    state->capture = Descriptor(::memfd_create("quorvel-library-messages", MFD_CLOEXEC));
    if (state->capture.get() < 0) return failed("cannot make the file for library messages");
    return LibraryMessages(std::move(state), std::move(program));
}

std::vector<std::string> LibraryMessages::During(const std::function<void()>& work) {
    const std::lock_guard<std::mutex> hold(m_state->lock);
    const int capture = m_state->capture.get();
    if (::ftruncate(capture, 0) != 0 || ::lseek(capture, 0, SEEK_SET) != 0 ||
        ::dup2(capture, STDERR_FILENO) < 0) {
        work();  // without a capture: the messages go where they always went
        return {};
    }
    struct Restore {
        int program;
        ~Restore() {
            std::fflush(stderr);
            ::dup2(program, STDERR_FILENO);
        }
    };
    {
        const Restore restore{m_program.get()};
        work();
    }
    const Result<std::string> bytes =
        ReadUpTo(capture, 0, kMaxCapturedBytes, "cannot read the library messages");
    return bytes ? Lines(*bytes) : std::vector<std::string>{};
}

}  // namespace quorvel
