#include "service/ServiceProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <regex>

#include "support/RunAudit.h"
#include "support/TestSupport.h"

namespace servicetest {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

ServiceProcess::ServiceProcess(const std::vector<std::string>& extraArgs, bool asNobody) {
    std::vector<std::string> args = {QUORVEL_VERIFYD_EXE};
    for (const auto& [option, value] :
         {std::pair{"--listen", "127.0.0.1:0"}, std::pair{"--probe-listen", "127.0.0.1:0"},
          std::pair{"--cascade", QUORVEL_TEST_CASCADE}}) {
        if (std::find(extraArgs.begin(), extraArgs.end(), option) == extraArgs.end()) {
            args.insert(args.end(), {option, value});
        }
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(pipeFds[1], 2);
        if (asNobody &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(126);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    m_reader = std::thread(&ServiceProcess::Collect, this, pipeFds[0]);
    const std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
    const std::regex probes("probes on 127\\.0\\.0\\.1:([0-9]+)");
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(60), [&] {
        if (m_closed) return true;
        std::smatch port, probePort;
        if (!std::regex_search(m_stderr, port, listening) ||
            !std::regex_search(m_stderr, probePort, probes)) {
            return false;
        }
        m_port = std::stoi(port[1]);
        m_probePort = std::stoi(probePort[1]);
        return true;
    });
}

ServiceProcess::~ServiceProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_reader.joinable()) m_reader.join();
}

void ServiceProcess::Collect(int fd) {
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        std::lock_guard lock(m_mutex);
        m_stderr.append(buffer, static_cast<std::size_t>(got));
        m_changed.notify_all();
    }
    ::close(fd);
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
}

void ServiceProcess::Signal(int signal) const {
    if (m_pid > 0) ::kill(m_pid, signal);
}

int ServiceProcess::Wait(int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            if (m_reader.joinable()) m_reader.join();
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() > end) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

std::string ServiceProcess::Stderr() const {
    std::lock_guard lock(m_mutex);
    return m_stderr;
}

const std::string& GenuineSave() {
    static const std::string bytes = [] {
        testsupport::TempDir dir;
        const clitest::RunOutput run =
            clitest::RunAudit({"--color", "3", "--size", "1", "--out", dir.path().string(),
                               testsupport::DataPath("id_blue.jpg").string()},
                              dir.path());
        EXPECT_EQ(run.status, 0) << run.err;
        return testsupport::ReadBytes(dir / "id_blue.jpg");
    }();
    return bytes;
}

int Connect(int port, const char* from) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &source.sin_addr);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        return fd;
    }
    if (fd >= 0) ::close(fd);
    return -1;
}

bool SendAll(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

HalfSent SendHalf(int port, const std::string& request) {
    const std::size_t half = request.size() / 2;
    HalfSent sent{Connect(port), request.substr(half)};
    if (sent.fd >= 0 && !SendAll(sent.fd, request.substr(0, half))) {
        ::close(sent.fd);
        sent.fd = -1;
    }
    return sent;
}

Reply ParseReply(const std::string& bytes) {
    Reply reply;
    const std::size_t end = bytes.find("\r\n\r\n");
    std::smatch match;
    const std::string head = bytes.substr(0, end);
    if (std::regex_search(head, match, std::regex("^HTTP/1\\.[01] ([0-9]{3})"))) {
        reply.status = std::stoi(match[1]);
    }
    const std::regex line("\r\n([^:\r\n]+):[ \t]*([^\r\n]*)");
    for (auto it = std::sregex_iterator(head.begin(), head.end(), line);
         it != std::sregex_iterator(); ++it) {
        reply.headers[Lower((*it)[1])] = (*it)[2];
    }
    if (end != std::string::npos) reply.body = bytes.substr(end + 4);
    return reply;
}

std::string ReadAll(int fd, int seconds) {
    std::string received;
    char buffer[65536];
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    pollfd wait{fd, POLLIN, 0};
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

Reply Exchange(int port, const std::string& bytes, int seconds, const char* from) {
    const int fd = Connect(port, from);
    if (fd < 0) return {};
    // Sends what it can; a service that answers early (413) may close first.
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    const std::string received = ReadAll(fd, seconds);
    ::close(fd);
    return ParseReply(received);
}

std::string Post(const std::string& target, const std::string& body) {
    return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           "Content-Type: application/octet-stream\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string PostChunked(const std::string& target, const std::string& body, std::size_t piece) {
    std::string request = "POST " + target +
                          " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                          "Transfer-Encoding: chunked\r\n\r\n";
    char size[32];
    for (std::size_t at = 0; at < body.size(); at += piece) {
        const std::size_t length = std::min(piece, body.size() - at);
        std::snprintf(size, sizeof size, "%zx\r\n", length);
        request += size + body.substr(at, length) + "\r\n";
    }
    return request + "0\r\n\r\n";
}

std::string Get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

}  // namespace servicetest
