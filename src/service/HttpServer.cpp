#include "service/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "service/Request.h"

namespace quorvel::service {

namespace {

// A listening TCP socket on a numeric address, or why there is none.
Result<int> Listen(const std::string& host, int port) {
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

}  // namespace

void HttpServer::LibraryMessage(void* self, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    static_cast<HttpServer*>(self)->Log("quorvel-verifyd: http: " + line);
}

Result<std::unique_ptr<HttpServer>> HttpServer::Start(const ServiceOptions& options,
                                                      VerifyPool& pool, std::ostream& log) {
    Result<int> fd = Listen(options.host, options.port);
    if (!fd) return fd.error();
    std::unique_ptr<HttpServer> server(new HttpServer(options, pool, log));
    server->m_listenFd = *fd;
    server->m_port = BoundPort(*fd);
    // The connection's memory pool holds the request line and headers (our
    // own check answers 431 beyond kMaxHeaderBytes; the library beyond the
    // pool) and the read buffer; bodies are copied out as they arrive.
    const size_t memoryLimit = 4 * kMaxHeaderBytes;
    server->m_daemon = MHD_start_daemon(
        MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG, 0, nullptr,
        nullptr, &HttpServer::OnRequest, server.get(), MHD_OPTION_EXTERNAL_LOGGER,
        &HttpServer::LibraryMessage, server.get(), MHD_OPTION_LISTEN_SOCKET, *fd,
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(options.maxConnections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(options.perAddressConnections),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(options.idleTimeout),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, memoryLimit, MHD_OPTION_URI_LOG_CALLBACK,
        &HttpServer::OnRequestLine, server.get(), MHD_OPTION_NOTIFY_COMPLETED,
        &HttpServer::OnCompleted, server.get(), MHD_OPTION_END);
    // (The server's destructor closes the socket.)
    if (server->m_daemon == nullptr)
        return Fail(ErrorKind::WriteFailed, "the HTTP server could not start");
    return server;
}

HttpServer::~HttpServer() {
    if (m_daemon != nullptr) MHD_stop_daemon(m_daemon);
    if (m_listenFd >= 0) ::close(m_listenFd);
}

void HttpServer::StopAccepting() {
    m_stopping = true;
    const MHD_socket fd = MHD_quiesce_daemon(m_daemon);
    if (fd != MHD_INVALID_SOCKET) ::close(fd);
    m_listenFd = -1;
}

bool HttpServer::WaitIdle(std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (m_metrics.InFlight() > 0 || m_pool.Pending() > 0) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void* HttpServer::OnRequestLine(void* self, const char* uri, MHD_Connection* connection) {
    auto* server = static_cast<HttpServer*>(self);
    auto* request = new Request;
    request->connection = connection;
    request->path = LoggedPath(uri != nullptr ? uri : "");
    server->m_metrics.Started();
    return request;
}

MHD_Result HttpServer::OnRequest(void* self, MHD_Connection* connection, const char* url,
                                 const char* method, const char*, const char* upload,
                                 size_t* uploadSize, void** state) {
    auto* server = static_cast<HttpServer*>(self);
    if (*state == nullptr) *state = OnRequestLine(self, url, connection);
    Request& request = *static_cast<Request*>(*state);
    if (!request.routed) {
        request.routed = true;
        request.method = LoggedPath(method);
        return server->Route(request, url);
    }
    if (request.answered) return MHD_YES;
    return server->Receive(request, upload, uploadSize);
}

void HttpServer::OnCompleted(void* self, MHD_Connection* connection, void** state,
                             MHD_RequestTerminationCode code) {
    auto* server = static_cast<HttpServer*>(self);
    auto* request = static_cast<Request*>(*state);
    if (request == nullptr) return;
    *state = nullptr;
    // The status of the answer sent, ours or the library's (a request it
    // refused itself); none when the connection ended first.
    unsigned status = 0;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_HTTP_STATUS);
    if (info != nullptr && (code == MHD_REQUEST_TERMINATED_COMPLETED_OK || request->answered ||
                            code == MHD_REQUEST_TERMINATED_WITH_ERROR)) {
        status = info->http_status;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - request->start).count();
    server->m_bodyBytes -= request->held;
    server->m_metrics.Finished(OutcomeOf(status, request->genuine), seconds);
    server->LogLine(*request, status, seconds * 1000);
    delete request;
}

void HttpServer::LogLine(const Request& request, unsigned status, double milliseconds) {
    const char* genuine = request.genuine > 0 ? "true" : request.genuine == 0 ? "false" : "-";
    char line[512];
    std::snprintf(line, sizeof line, "%s %s %s %.0f ms genuine=%s",
                  request.method.empty() ? "-" : request.method.c_str(), request.path.c_str(),
                  status == 0 ? "-" : std::to_string(status).c_str(), milliseconds, genuine);
    Log(line);
}

void HttpServer::Log(const std::string& line) {
    // One write per line, so that lines of several threads never mix.
    const std::string whole = line + "\n";
    std::lock_guard lock(m_logMutex);
    m_log.write(whole.data(), static_cast<std::streamsize>(whole.size()));
    m_log.flush();
}

}  // namespace quorvel::service
