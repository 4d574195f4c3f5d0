// What the service answers to each request (the routes and the upload).
#include <cstdio>
#include <cstring>

#include "json/VerifyJson.h"
#include "service/HttpServer.h"
#include "service/Request.h"

namespace quorvel::service {

namespace {

constexpr const char* kJson = "application/json";
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kPrometheus = "text/plain; version=0.0.4; charset=utf-8";
constexpr std::size_t kMaxLoggedPath = 200;
// Most of an overlong body without a stated length that is read and dropped
// so that it can be answered with 413.
constexpr std::size_t kMaxDiscardedBytes = 4 * kMaxBodyBytes;

MHD_Result AddHeaderBytes(void* total, MHD_ValueKind, const char* key, const char* value) {
    // Each header line: name, ": ", value, CR LF.
    *static_cast<std::size_t*>(total) +=
        std::strlen(key) + 2 + (value != nullptr ? std::strlen(value) : 0) + 2;
    return MHD_YES;
}

std::size_t HeaderBytes(MHD_Connection* connection) {
    std::size_t total = 0;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &AddHeaderBytes, &total);
    return total;
}

// The stated length of the body, if any and if it is a number.
std::optional<unsigned long long> ContentLength(MHD_Connection* connection) {
    const char* text =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (text == nullptr || *text == '\0' || std::strspn(text, "0123456789") != std::strlen(text) ||
        std::strlen(text) > 18) {
        return std::nullopt;
    }
    return std::stoull(text);
}

}  // namespace

std::string LoggedPath(std::string_view uri) {
    std::string path;
    for (const char c : uri.substr(0, uri.find('?'))) {
        if (path.size() >= kMaxLoggedPath) {
            path += "...";
            break;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7f && byte != '%') {
            path += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            path += escaped;
        }
    }
    return path.empty() ? "-" : path;
}

std::optional<int> DigitIn(const char* text, int lowest, int highest) {
    if (text == nullptr || std::strlen(text) != 1 || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    const int value = text[0] - '0';
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

MHD_Result HttpServer::Answer(Request& request, unsigned status, const std::string& body,
                              const char* type, const char* header, const char* value) {
    request.answered = true;
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    if (header != nullptr) MHD_add_response_header(response, header, value);
    if (m_stopping) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(request.connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result HttpServer::Refuse(Request& request, unsigned status, const std::string& message,
                              const char* header, const char* value) {
    return Answer(request, status, JsonLine(JsonObject{{"error", message}}) + "\n", kJson, header,
                  value);
}

MHD_Result HttpServer::Route(Request& request, const std::string& url) {
    if (HeaderBytes(request.connection) > kMaxHeaderBytes) {
        return Refuse(request, MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE,
                      "the request's headers exceed " + std::to_string(kMaxHeaderBytes) + " bytes");
    }
    const bool read = request.method == "GET" || request.method == "HEAD";
    if (url == "/healthz" || url == "/metrics") {
        if (!read)
            return Refuse(request, MHD_HTTP_METHOD_NOT_ALLOWED, "use GET", "Allow", "GET, HEAD");
        if (url == "/metrics") {
            return Answer(request, MHD_HTTP_OK, m_metrics.Text(m_options.workers, m_pool.Pending()),
                          kPrometheus);
        }
        if (m_stopping) return Answer(request, MHD_HTTP_SERVICE_UNAVAILABLE, "stopping\n", kText);
        return Answer(request, MHD_HTTP_OK, "ok\n", kText);
    }
    if (url != "/verify")
        return Refuse(request, MHD_HTTP_NOT_FOUND, "no such path: " + request.path);
    if (request.method != "POST") {
        return Refuse(request, MHD_HTTP_METHOD_NOT_ALLOWED, "POST the file's bytes", "Allow",
                      "POST");
    }
    if (m_stopping) {
        return Refuse(request, MHD_HTTP_SERVICE_UNAVAILABLE, "the service is stopping",
                      MHD_HTTP_HEADER_RETRY_AFTER, "1");
    }
    const std::optional<unsigned long long> length = ContentLength(request.connection);
    if (length && *length > kMaxBodyBytes) {
        // Answered at once: the rest of the body is never read.
        return Refuse(request, MHD_HTTP_CONTENT_TOO_LARGE,
                      "the file is " + std::to_string(*length) + " bytes long, more than " +
                          std::to_string(kMaxBodyBytes));
    }
    request.settings = m_options.settings;
    const char* color =
        MHD_lookup_connection_value(request.connection, MHD_GET_ARGUMENT_KIND, "color");
    const char* size =
        MHD_lookup_connection_value(request.connection, MHD_GET_ARGUMENT_KIND, "size");
    if (color != nullptr) {
        const std::optional<int> value = DigitIn(color, 0, 3);
        if (!value) return Refuse(request, MHD_HTTP_BAD_REQUEST, "color must be 0, 1, 2 or 3");
        request.settings.color = static_cast<BackgroundColor>(*value);
    }
    if (size != nullptr) {
        const std::optional<int> value = DigitIn(size, 1, 2);
        if (!value) return Refuse(request, MHD_HTTP_BAD_REQUEST, "size must be 1 or 2");
        request.settings.size = static_cast<SizeMode>(*value);
    }
    // A stated length is held before the body comes, so that clients that
    // announce large bodies and send them slowly cannot fill the memory.
    if (length && !Hold(request, static_cast<std::size_t>(*length))) {
        return Refuse(request, MHD_HTTP_SERVICE_UNAVAILABLE, "too many uploads at once; try again",
                      MHD_HTTP_HEADER_RETRY_AFTER, "1");
    }
    request.verifying = true;
    if (length) request.body.reserve(static_cast<std::size_t>(*length));
    return MHD_YES;
}

bool HttpServer::Hold(Request& request, std::size_t bytes) {
    const std::size_t budget = static_cast<std::size_t>(m_options.bodyMemory) * 1024 * 1024;
    if (m_bodyBytes + bytes > budget) return false;
    m_bodyBytes += bytes;
    request.held += bytes;
    return true;
}

MHD_Result HttpServer::Receive(Request& request, const char* upload, size_t* uploadSize) {
    if (*uploadSize > 0) {
        // A body without a stated length that grows too long or finds the
        // body memory full: the library lets an answer be queued only once
        // the request is complete, so the rest is read and dropped, up to a
        // bound beyond which the connection is cut.
        const std::size_t grown = request.body.size() + *uploadSize;
        if (request.refusal == 0 && grown > kMaxBodyBytes) {
            request.refusal = MHD_HTTP_CONTENT_TOO_LARGE;
        }
        if (request.refusal == 0 && grown > request.held && !Hold(request, grown - request.held)) {
            request.refusal = MHD_HTTP_SERVICE_UNAVAILABLE;
        }
        if (request.refusal != 0) {
            request.discarded += grown;
            request.body = std::string();
            *uploadSize = 0;
            return request.discarded > kMaxDiscardedBytes ? MHD_NO : MHD_YES;
        }
        request.body.append(upload, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    if (request.refusal == MHD_HTTP_CONTENT_TOO_LARGE) {
        return Refuse(request, MHD_HTTP_CONTENT_TOO_LARGE,
                      "the file is longer than " + std::to_string(kMaxBodyBytes) + " bytes");
    }
    if (request.refusal == MHD_HTTP_SERVICE_UNAVAILABLE) {
        return Refuse(request, MHD_HTTP_SERVICE_UNAVAILABLE, "too many uploads at once; try again",
                      MHD_HTTP_HEADER_RETRY_AFTER, "1");
    }
    if (request.outcome) {
        const VerifyOutcome& outcome = *request.outcome;
        if (!outcome) {
            const std::string error = JsonLine(JsonObject{{"error", outcome.error().message}});
            return Answer(request, MHD_HTTP_INTERNAL_SERVER_ERROR, error + "\n", kJson);
        }
        request.genuine = outcome->genuine ? 1 : 0;
        return Answer(request, MHD_HTTP_OK, outcome->json + "\n", kJson);
    }
    if (request.busy) {
        return Refuse(request, MHD_HTTP_SERVICE_UNAVAILABLE, "every worker is busy; try again",
                      MHD_HTTP_HEADER_RETRY_AFTER, "1");
    }
    return Verify(request);
}

MHD_Result HttpServer::Verify(Request& request) {
    // Suspended before the job is handed over, so that the worker's resume
    // always follows it.
    MHD_suspend_connection(request.connection);
    VerifyJob job{std::move(request.body), request.settings, [&request](VerifyOutcome outcome) {
                      request.outcome = std::move(outcome);
                      MHD_resume_connection(request.connection);
                  }};
    if (!m_pool.Submit(job)) {
        request.busy = true;
        MHD_resume_connection(request.connection);
    }
    return MHD_YES;
}

}  // namespace quorvel::service
