#include "service/HttpServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "service/Request.h"

namespace quorvel::service {

namespace {

// How often the deadlines are looked at.
constexpr std::chrono::milliseconds kSweepInterval{100};

// The key of a client address for its share of the body memory: IPv4 as it
// is (also when mapped into IPv6), IPv6 by its /64 network, since one
// machine is commonly given a whole /64.
std::string AddressKey(const sockaddr* address) {
    if (address == nullptr) return "-";
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return std::string(reinterpret_cast<const char*>(&v4->sin_addr), 4);
    }
    if (address->sa_family == AF_INET6) {
        const auto* bytes = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr)) {
            return std::string(reinterpret_cast<const char*>(bytes + 12), 4);
        }
        return std::string(reinterpret_cast<const char*>(bytes), 8) + "/64";
    }
    return "-";
}

Connection* ConnectionOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info != nullptr ? static_cast<Connection*>(info->socket_context) : nullptr;
}

}  // namespace

void HttpServer::LibraryMessage(void* self, const char* format, va_list arguments) {
    LogLibraryMessage(static_cast<HttpServer*>(self)->m_log, format, arguments);
}

Result<std::unique_ptr<HttpServer>> HttpServer::Start(const ServiceOptions& options,
                                                      VerifyPool& pool, LineLog& log) {
    Result<int> fd = ListenOn(options.host, options.port);
    if (!fd) return fd.error();
    std::unique_ptr<HttpServer> server(new HttpServer(options, pool, log));
    server->m_listenFd = *fd;
    server->m_port = BoundPort(*fd);
    server->m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (options.probePort) {
        auto probe = ProbeServer::Start(
            options.probeHost, *options.probePort,
            [raw = server.get()](std::string_view url) { return raw->ProbeAnswer(url); }, log);
        if (!probe) return probe.error();
        server->m_probe = std::move(*probe);
    }
    // The connection's memory pool holds the request line and headers (our
    // own check answers 431 beyond kMaxHeaderBytes; the library beyond the
    // pool) and the read buffer; bodies are copied out as they arrive. The
    // loop is ours (epoll, run by Run()), so that the deadlines are kept on
    // the thread that owns the connections.
    const size_t memoryLimit = 4 * kMaxHeaderBytes;
    server->m_daemon = MHD_start_daemon(
        MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG, 0, nullptr, nullptr,
        &HttpServer::OnRequest, server.get(), MHD_OPTION_EXTERNAL_LOGGER,
        &HttpServer::LibraryMessage, server.get(), MHD_OPTION_LISTEN_SOCKET, *fd,
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(options.maxConnections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(options.perAddressConnections),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(options.idleTimeout),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, memoryLimit, MHD_OPTION_SIGPIPE_HANDLED_BY_APP, 1,
        MHD_OPTION_URI_LOG_CALLBACK, &HttpServer::OnRequestLine, server.get(),
        MHD_OPTION_NOTIFY_COMPLETED, &HttpServer::OnCompleted, server.get(),
        MHD_OPTION_NOTIFY_CONNECTION, &HttpServer::OnConnection, server.get(), MHD_OPTION_END);
    // (The server's destructor closes the socket.)
    if (server->m_daemon == nullptr || server->m_wakeFd < 0) {
        return Fail(ErrorKind::WriteFailed, "the HTTP server could not start");
    }
    server->m_loop = std::thread(&HttpServer::Run, server.get());
    return server;
}

HttpServer::~HttpServer() {
    StopLoop();
    if (m_daemon != nullptr) MHD_stop_daemon(m_daemon);
    if (m_listenFd >= 0) ::close(m_listenFd);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void HttpServer::StopAccepting() {
    m_stopping = true;
    Wake();
}

void HttpServer::Wake() {
    const std::uint64_t one = 1;
    if (::write(m_wakeFd, &one, sizeof one) < 0) {
        // The counter is full: the loop is due to wake anyway.
    }
}

void HttpServer::StopLoop() {
    m_endLoop = true;
    StopAccepting();
    if (m_loop.joinable()) m_loop.join();
    // The probes read the pool, which may go before the server.
    m_probe.reset();
}

bool HttpServer::WaitIdle(std::chrono::milliseconds limit) const {
    const auto end = Clock::now() + limit;
    while (m_metrics.InFlight() > 0 || m_pool.Pending() > 0) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void HttpServer::Run() {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD);
    pollfd watched[2] = {{info->epoll_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    while (!m_endLoop) {
        MHD_UNSIGNED_LONG_LONG libraryWait = 0;
        auto wait = static_cast<MHD_UNSIGNED_LONG_LONG>(kSweepInterval.count());
        if (MHD_get_timeout(m_daemon, &libraryWait) == MHD_YES) {
            wait = std::min(wait, libraryWait);
        }
        ::poll(watched, 2, static_cast<int>(wait));
        std::uint64_t count = 0;
        if ((watched[1].revents & POLLIN) != 0 && ::read(m_wakeFd, &count, sizeof count) < 0) {
            count = 0;
        }
        if (m_stopping && m_listenFd >= 0) {
            const MHD_socket fd = MHD_quiesce_daemon(m_daemon);
            if (fd != MHD_INVALID_SOCKET) ::close(fd);
            m_listenFd = -1;
        }
        MHD_run(m_daemon);
        NoticeClosedUploads();
        const Clock::time_point now = Clock::now();
        if (now - m_lastSweep >= kSweepInterval) {
            m_lastSweep = now;
            Sweep(now);
        }
    }
}

void HttpServer::NoticeClosedUploads() {
    // The library does not see a client's end of stream in the middle of a
    // body: a client that sends a part of it and closes would hold its
    // reservation until the silence timeout. A body still arriving whose
    // socket has reached its end, with nothing left unread, can never
    // complete.
    std::vector<pollfd> watched;
    std::vector<Connection*> owners;
    for (Connection* connection : m_connections) {
        if (connection->phase != Phase::Receiving) continue;
        watched.push_back({connection->fd, POLLRDHUP, 0});
        owners.push_back(connection);
    }
    if (watched.empty() || ::poll(watched.data(), watched.size(), 0) <= 0) return;
    for (std::size_t i = 0; i < watched.size(); ++i) {
        if ((watched[i].revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0) continue;
        int unread = 0;
        if (::ioctl(watched[i].fd, FIONREAD, &unread) == 0 && unread > 0) continue;
        Cut(*owners[i], CutReason::Closed);
    }
}

void HttpServer::Sweep(Clock::time_point now) {
    const auto headerTime = std::chrono::seconds(m_options.headerTimeout);
    const auto requestTime = std::chrono::seconds(m_options.requestTimeout);
    for (Connection* connection : m_connections) {
        const auto age = now - connection->since;
        if (connection->phase == Phase::Waiting && age > headerTime) {
            Cut(*connection, CutReason::HeaderTime);
        } else if ((connection->phase == Phase::Waiting || connection->phase == Phase::Receiving) &&
                   age > requestTime) {
            Cut(*connection, CutReason::RequestTime);
        }
    }
}

void HttpServer::Cut(Connection& connection, CutReason reason) {
    // Counted first: the client sees the cut at once and may read the
    // metrics before this thread runs again.
    m_metrics.ConnectionCut(reason);
    connection.phase = Phase::Cut;
    // Shut down, not closed: the library owns the descriptor, sees its end
    // at its next turn and closes the connection (and ends its request).
    ::shutdown(connection.fd, SHUT_RDWR);
}

void HttpServer::OnConnection(void* self, MHD_Connection* connection, void** socketContext,
                              MHD_ConnectionNotificationCode code) {
    auto* server = static_cast<HttpServer*>(self);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto* tracked = new Connection;
        tracked->handle = connection;
        const MHD_ConnectionInfo* fd =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        tracked->fd = fd != nullptr ? fd->connect_fd : -1;
        const MHD_ConnectionInfo* address =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        tracked->address = AddressKey(address != nullptr ? address->client_addr : nullptr);
        *socketContext = tracked;
        server->m_connections.insert(tracked);
        return;
    }
    auto* tracked = static_cast<Connection*>(*socketContext);
    if (tracked == nullptr) return;
    if (tracked->request != nullptr) tracked->request->owner = nullptr;
    server->m_connections.erase(tracked);
    delete tracked;
    *socketContext = nullptr;
}

void* HttpServer::OnRequestLine(void* self, const char* uri, MHD_Connection* connection) {
    auto* server = static_cast<HttpServer*>(self);
    auto* request = new Request;
    request->connection = connection;
    request->owner = ConnectionOf(connection);
    if (request->owner != nullptr) request->owner->request = request;
    request->path = LoggedPath(uri != nullptr ? uri : "");
    server->m_metrics.Started();
    return request;
}

MHD_Result HttpServer::OnRequest(void* self, MHD_Connection* connection, const char* url,
                                 const char* method, const char* version, const char* upload,
                                 size_t* uploadSize, void** state) {
    auto* server = static_cast<HttpServer*>(self);
    if (*state == nullptr) *state = OnRequestLine(self, url, connection);
    Request& request = *static_cast<Request*>(*state);
    if (!request.routed) {
        request.routed = true;
        request.method = LoggedPath(method);
        if (request.owner != nullptr) request.owner->phase = Phase::Receiving;
        return server->Route(request, url, version);
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
    const double seconds = std::chrono::duration<double>(Clock::now() - request->start).count();
    server->Release(*request);
    server->m_metrics.Finished(OutcomeOf(status, request->genuine), seconds);
    server->LogLine(*request, status, seconds * 1000);
    // A connection kept open waits for its next request from now on.
    if (request->owner != nullptr) {
        request->owner->request = nullptr;
        if (request->owner->phase != Phase::Cut) {
            request->owner->phase = Phase::Waiting;
            request->owner->since = Clock::now();
        }
    }
    delete request;
}

void HttpServer::LogLine(const Request& request, unsigned status, double milliseconds) {
    const char* genuine = request.genuine > 0 ? "true" : request.genuine == 0 ? "false" : "-";
    char line[512];
    std::snprintf(line, sizeof line, "%s %s %s %.0f ms genuine=%s",
                  request.method.empty() ? "-" : request.method.c_str(), request.path.c_str(),
                  status == 0 ? "-" : std::to_string(status).c_str(), milliseconds, genuine);
    m_log.Write(line);
}

}  // namespace quorvel::service
