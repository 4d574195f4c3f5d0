#pragma once

#include <microhttpd.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "core/common/Result.h"
#include "service/HttpFraming.h"
#include "service/HttpReply.h"
#include "service/LineLog.h"
#include "service/Metrics.h"
#include "service/ProbeServer.h"
#include "service/Request.h"
#include "service/ServiceOptions.h"
#include "service/VerifyPool.h"

namespace quorvel::service {

// The HTTP side of the service, on GNU libmicrohttpd, run by a loop of its
// own: one thread polls every connection, keeps the deadlines the library
// lacks (the headers', the whole request's) and notices a client that closes
// in the middle of its body. A complete upload is handed to the pool and its
// connection suspended until a worker has the answer, so that neither slow
// clients nor queued uploads hold a worker. Body memory is reserved at the
// headers, within the service's total and the client address's share.
//
//   POST /verify    the body is the file; 200 and the JSON object of a
//                   --verify line (without the file's name); ?color=&size=
//   GET  /healthz   200 while serving, 503 once stopping
//   GET  /metrics   Prometheus text
// The probe listener (--probe-listen) answers the last two only.
class HttpServer {
public:
    // Listens on the options' addresses and starts answering. Each request
    // on the upload port ends with one line on `log`.
    static Result<std::unique_ptr<HttpServer>> Start(const ServiceOptions& options,
                                                     VerifyPool& pool, LineLog& log);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The ports listened on (the ones the system chose for port 0); the
    // probe port is 0 without a probe listener.
    int Port() const { return m_port; }
    int ProbePort() const { return m_probe ? m_probe->Port() : 0; }

    // Closes the upload port's listening socket; answers from now on close
    // their connection, uploads are taken only by a free worker, and
    // /healthz says 503.
    void StopAccepting();

    // Waits until no request is in flight, at most `limit`; true when none is.
    bool WaitIdle(std::chrono::milliseconds limit) const;

    // Ends the loop and the probe listener: nothing is read or answered any
    // more (the connections close with the server), and the pool is no longer
    // used.
    void StopLoop();

private:
    HttpServer(const ServiceOptions& options, VerifyPool& pool, LineLog& log)
        : m_options(options), m_pool(pool), m_log(log) {}

    static void LibraryMessage(void* self, const char* format, va_list arguments);
    static void OnConnection(void* self, MHD_Connection* connection, void** socketContext,
                             MHD_ConnectionNotificationCode code);
    static void* OnRequestLine(void* self, const char* uri, MHD_Connection* connection);
    static MHD_Result OnRequest(void* self, MHD_Connection* connection, const char* url,
                                const char* method, const char* version, const char* upload,
                                size_t* uploadSize, void** state);
    static void OnCompleted(void* self, MHD_Connection* connection, void** state,
                            MHD_RequestTerminationCode code);

    // The loop and the deadlines (HttpServer.cpp).
    void Run();
    void Wake();  // from any thread: the loop takes its next turn now
    void NoticeClosedUploads();
    void Sweep(Clock::time_point now);
    void Cut(Connection& connection, CutReason reason);

    // The requests (HttpRequests.cpp).
    MHD_Result Route(Request& request, const std::string& url, const char* version);
    MHD_Result RouteUpload(Request& request, const BodyFraming& body);
    MHD_Result Receive(Request& request, const char* upload, size_t* uploadSize);
    MHD_Result AnswerOutcome(Request& request);
    MHD_Result Verify(Request& request);
    MHD_Result Answer(Request& request, const Reply& reply);
    // /healthz and /metrics, for both listeners; nothing for other paths.
    std::optional<Reply> ProbeAnswer(std::string_view url) const;
    // Reserves `bytes` of body memory for the request, within the total and
    // its address's share; the refusal when they do not fit.
    std::optional<Reply> Reserve(Request& request, std::size_t bytes);
    void Release(Request& request);
    void LogLine(const Request& request, unsigned status, double milliseconds);

    ServiceOptions m_options;
    VerifyPool& m_pool;
    LineLog& m_log;
    Metrics m_metrics;
    MHD_Daemon* m_daemon = nullptr;
    std::unique_ptr<ProbeServer> m_probe;
    int m_listenFd = -1;
    int m_port = 0;
    int m_wakeFd = -1;  // an eventfd that wakes the loop
    std::thread m_loop;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_endLoop{false};
    // The loop's own state.
    std::unordered_set<Connection*> m_connections;
    std::unordered_map<std::string, std::size_t> m_addressBytes;  // body bytes by address
    std::size_t m_bodyBytes = 0;                                  // of every request
    Clock::time_point m_lastSweep = Clock::now();
};

}  // namespace quorvel::service
