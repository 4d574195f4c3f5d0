#pragma once

#include <microhttpd.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "core/common/Result.h"
#include "service/Metrics.h"
#include "service/ServiceOptions.h"
#include "service/VerifyPool.h"

namespace quorvel::service {

struct Request;

// The HTTP side of the service, on GNU libmicrohttpd: one thread polls every
// connection; a complete upload is handed to the pool and its connection
// suspended until a worker has the answer, so that neither slow clients nor
// queued uploads hold a worker.
//
//   POST /verify    the body is the file; 200 and the JSON object of a
//                   --verify line (without the file's name); ?color=&size=
//   GET  /healthz   200 while serving, 503 once stopping
//   GET  /metrics   Prometheus text
class HttpServer {
public:
    // Listens on the options' address and starts answering. Each request
    // ends with one line on `log`.
    static Result<std::unique_ptr<HttpServer>> Start(const ServiceOptions& options,
                                                     VerifyPool& pool, std::ostream& log);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port listened on (the one the system chose for port 0).
    int Port() const { return m_port; }

    // Closes the listening socket; answers from now on close their
    // connection, and /healthz says 503.
    void StopAccepting();

    // Writes one line to the log, whole.
    void Log(const std::string& line);

    // Waits until no request is in flight, at most `limit`; true when none is.
    bool WaitIdle(std::chrono::milliseconds limit) const;

private:
    HttpServer(const ServiceOptions& options, VerifyPool& pool, std::ostream& log)
        : m_options(options), m_pool(pool), m_log(log) {}

    static void LibraryMessage(void* self, const char* format, va_list arguments);
    static void* OnRequestLine(void* self, const char* uri, MHD_Connection* connection);
    static MHD_Result OnRequest(void* self, MHD_Connection* connection, const char* url,
                                const char* method, const char* version, const char* upload,
                                size_t* uploadSize, void** state);
    static void OnCompleted(void* self, MHD_Connection* connection, void** state,
                            MHD_RequestTerminationCode code);

    MHD_Result Route(Request& request, const std::string& url);
    MHD_Result Receive(Request& request, const char* upload, size_t* uploadSize);
    MHD_Result Verify(Request& request);
    MHD_Result Answer(Request& request, unsigned status, const std::string& body, const char* type,
                      const char* header = nullptr, const char* value = nullptr);
    MHD_Result Refuse(Request& request, unsigned status, const std::string& message,
                      const char* header = nullptr, const char* value = nullptr);
    void LogLine(const Request& request, unsigned status, double milliseconds);
    // Counts `bytes` more of the request's body against the body memory;
    // false when they do not fit.
    bool Hold(Request& request, std::size_t bytes);

    ServiceOptions m_options;
    VerifyPool& m_pool;
    std::ostream& m_log;
    std::mutex m_logMutex;
    Metrics m_metrics;
    MHD_Daemon* m_daemon = nullptr;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    // Bytes of bodies held (stated lengths, else bytes received), until each
    // request ends; only the polling thread changes it.
    std::size_t m_bodyBytes = 0;
};

}  // namespace quorvel::service
