#include "service/ProbeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quorvel::service {

namespace {

// Probes are few and small: a handful of connections, each answered at once.
constexpr unsigned kProbeConnections = 64;
constexpr unsigned kProbeConnectionsPerAddress = 16;
constexpr unsigned kProbeIdleSeconds = 5;
constexpr std::size_t kProbeMemory = 16 * 1024;

void ProbeMessage(void* log, const char* format, va_list arguments) {
    LogLibraryMessage(*static_cast<LineLog*>(log), format, arguments);
}

}  // namespace

Result<int> ListenOn(const std::string& host, int port) {
    sockaddr_storage address{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof(sockaddr_in6);
    } else {
        return Fail(ErrorKind::BadContent, "not a numeric address: " + host);
    }
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        return Fail(
            ErrorKind::WriteFailed,
            "cannot listen on " + host + ":" + std::to_string(port) + ": " + std::strerror(error),
            error);
    }
    return fd;
}

int BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

void LogLibraryMessage(LineLog& log, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    log.Write("quorvel-verifyd: http: " + line);
}

Result<std::unique_ptr<ProbeServer>> ProbeServer::Start(const std::string& host, int port,
                                                        Handler handler, LineLog& log) {
    Result<int> fd = ListenOn(host, port);
    if (!fd) return fd.error();
    std::unique_ptr<ProbeServer> server(new ProbeServer(std::move(handler), log));
    server->m_listenFd = *fd;
    server->m_port = BoundPort(*fd);
    server->m_daemon = MHD_start_daemon(
        MHD_USE_POLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG, 0, nullptr, nullptr,
        &ProbeServer::OnRequest, server.get(), MHD_OPTION_EXTERNAL_LOGGER, &ProbeMessage, &log,
        MHD_OPTION_LISTEN_SOCKET, *fd, MHD_OPTION_CONNECTION_LIMIT, kProbeConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, kProbeConnectionsPerAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, kProbeIdleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        kProbeMemory, MHD_OPTION_END);
    if (server->m_daemon == nullptr) {
        return Fail(ErrorKind::WriteFailed, "the probe listener could not start");
    }
    return server;
}

ProbeServer::~ProbeServer() {
    if (m_daemon != nullptr) MHD_stop_daemon(m_daemon);
    if (m_listenFd >= 0) ::close(m_listenFd);
}

MHD_Result ProbeServer::OnRequest(void* self, MHD_Connection* connection, const char* url,
                                  const char* method, const char*, const char*, size_t* uploadSize,
                                  void** state) {
    // Answered at the headers; a body, if any, is never read (the library
    // then closes the connection).
    if (*state == nullptr) {
        *state = self;
    } else {
        *uploadSize = 0;
        return MHD_YES;
    }
    auto* server = static_cast<ProbeServer*>(self);
    const std::string_view verb = method != nullptr ? method : "";
    std::optional<Reply> reply = server->m_handler(url != nullptr ? url : "");
    if (!reply) {
        reply = JsonError(MHD_HTTP_NOT_FOUND, "the probe port serves /healthz and /metrics");
    } else if (verb != "GET" && verb != "HEAD") {
        reply = JsonError(MHD_HTTP_METHOD_NOT_ALLOWED, "use GET", "Allow", "GET, HEAD");
    }
    return QueueReply(connection, *reply, false);
}

}  // namespace quorvel::service
