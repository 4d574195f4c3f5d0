#pragma once

#include <microhttpd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/Result.h"
#include "service/HttpReply.h"
#include "service/LineLog.h"

namespace quorvel::service {

// The probe listener: a second, small HTTP server on a port of its own with
// a thread of its own, for the health and metrics probes, so that no load on
// the upload port can make a probe fail. It answers GET and HEAD of the
// paths its handler knows, 405 and 404 (JSON) otherwise; requests are not
// logged (probes come every few seconds).
class ProbeServer {
public:
    // The answer for a path, or nothing for an unknown one; called on the
    // probe server's thread.
    using Handler = std::function<std::optional<Reply>(std::string_view url)>;

    static Result<std::unique_ptr<ProbeServer>> Start(const std::string& host, int port,
                                                      Handler handler, LineLog& log);
    ~ProbeServer();
    ProbeServer(const ProbeServer&) = delete;
    ProbeServer& operator=(const ProbeServer&) = delete;

    int Port() const { return m_port; }

private:
    ProbeServer(Handler handler, LineLog& log) : m_handler(std::move(handler)), m_log(log) {}
    static MHD_Result OnRequest(void* self, MHD_Connection* connection, const char* url,
                                const char* method, const char* version, const char* upload,
                                size_t* uploadSize, void** state);

    Handler m_handler;
    LineLog& m_log;
    MHD_Daemon* m_daemon = nullptr;
    int m_listenFd = -1;
    int m_port = 0;
};

// A listening TCP socket on a numeric address, or why there is none.
Result<int> ListenOn(const std::string& host, int port);

// The port a listening socket is bound to.
int BoundPort(int fd);

// Writes the library's messages (va_list text) to the log, one line each.
void LogLibraryMessage(LineLog& log, const char* format, va_list arguments);

}  // namespace quorvel::service
