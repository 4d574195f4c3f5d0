// What the service answers to each request (the routes and the upload).
#include <poll.h>

#include <cstdio>
#include <cstring>

#include "service/HttpFraming.h"
#include "service/HttpServer.h"
#include "service/Request.h"

namespace quorvel::service {

namespace {

constexpr std::size_t kMaxLoggedPath = 200;
// Most of an overlong chunked body that is read and dropped so that it can
// be answered with 413 (the library lets an answer be queued only before the
// body or after it); beyond it the connection is cut.
constexpr std::size_t kMaxDiscardedBytes = 4 * kMaxBodyBytes;

MHD_Result AddField(void* fields, MHD_ValueKind, const char* key, const char* value) {
    static_cast<HeaderFields*>(fields)->emplace_back(key != nullptr ? key : "",
                                                     value != nullptr ? value : "");
    return MHD_YES;
}

HeaderFields FieldsOf(MHD_Connection* connection) {
    HeaderFields fields;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &AddField, &fields);
    return fields;
}

std::size_t HeaderBytes(const HeaderFields& fields) {
    // Each header line: name, ": ", value, CR LF.
    std::size_t total = 0;
    for (const auto& [name, value] : fields) total += name.size() + 2 + value.size() + 2;
    return total;
}

// Whether the client reset its connection (an end of stream alone is a
// half-close: the client may still read the answer).
bool ConnectionReset(int fd) {
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
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

std::optional<int> DigitIn(const char* text, const SettingValues& values) {
    if (text == nullptr || std::strlen(text) != 1 || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    const int value = text[0] - '0';
    if (!values.Holds(value)) return std::nullopt;
    return value;
}

// "color must be 0, 1, 2 or 3": the answer to a query value out of range.
std::string MustBe(const SettingValues& values) {
    return std::string(values.name) + " must be " + ListValues(values);
}

MHD_Result HttpServer::Answer(Request& request, const Reply& reply) {
    request.answered = true;
    if (request.owner != nullptr && request.owner->phase != Phase::Cut) {
        request.owner->phase = Phase::Answering;
    }
    return QueueReply(request.connection, reply, m_stopping);
}

std::optional<Reply> HttpServer::ProbeAnswer(std::string_view url) const {
    if (url == "/metrics") {
        return Reply{MHD_HTTP_OK,
                     m_metrics.Text(m_options.workers, m_pool.Pending(), m_pool.Running()),
                     kPrometheusType};
    }
    if (url != "/healthz") return std::nullopt;
    if (m_stopping) return Reply{MHD_HTTP_SERVICE_UNAVAILABLE, "stopping\n", kTextType};
    return Reply{MHD_HTTP_OK, "ok\n", kTextType};
}

MHD_Result HttpServer::Route(Request& request, const std::string& url, const char* version) {
    const HeaderFields fields = FieldsOf(request.connection);
    if (HeaderBytes(fields) > kMaxHeaderBytes) {
        return Answer(request, JsonError(MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE,
                                         "the request's headers exceed " +
                                             std::to_string(kMaxHeaderBytes) + " bytes"));
    }
    const auto framing = ReadFraming(fields, version != nullptr ? version : "");
    if (const auto* refusal = std::get_if<Refusal>(&framing)) {
        return Answer(request, JsonError(refusal->status, refusal->message));
    }
    const bool read = request.method == "GET" || request.method == "HEAD";
    if (const std::optional<Reply> probe = ProbeAnswer(url)) {
        if (!read) {
            return Answer(request,
                          JsonError(MHD_HTTP_METHOD_NOT_ALLOWED, "use GET", "Allow", "GET, HEAD"));
        }
        return Answer(request, *probe);
    }
    if (url != "/verify") {
        return Answer(request, JsonError(MHD_HTTP_NOT_FOUND, "no such path: " + request.path));
    }
    if (request.method != "POST") {
        return Answer(request, JsonError(MHD_HTTP_METHOD_NOT_ALLOWED, "POST the file's bytes",
                                         "Allow", "POST"));
    }
    if (m_stopping) return Answer(request, TryAgain("the service is stopping"));
    const BodyFraming& body = std::get<BodyFraming>(framing);
    if (!body.length && !body.chunked) {
        return Answer(request, JsonError(MHD_HTTP_LENGTH_REQUIRED,
                                         "state the file's length (Content-Length) or send it "
                                         "chunked"));
    }
    if (body.length && *body.length > kMaxBodyBytes) {
        // Answered at once: the body is never read.
        return Answer(request,
                      JsonError(MHD_HTTP_CONTENT_TOO_LARGE,
                                "the file is " + std::to_string(*body.length) +
                                    " bytes long, more than " + std::to_string(kMaxBodyBytes)));
    }
    return RouteUpload(request, body);
}

MHD_Result HttpServer::RouteUpload(Request& request, const BodyFraming& body) {
    request.settings = m_options.settings;
    const char* color =
        MHD_lookup_connection_value(request.connection, MHD_GET_ARGUMENT_KIND, "color");
    const char* size =
        MHD_lookup_connection_value(request.connection, MHD_GET_ARGUMENT_KIND, "size");
    if (color != nullptr) {
        const std::optional<int> value = DigitIn(color, kColorValues);
        if (!value) return Answer(request, JsonError(MHD_HTTP_BAD_REQUEST, MustBe(kColorValues)));
        request.settings.color = static_cast<BackgroundColor>(*value);
    }
    if (size != nullptr) {
        const std::optional<int> value = DigitIn(size, kSizeValues);
        if (!value) return Answer(request, JsonError(MHD_HTTP_BAD_REQUEST, MustBe(kSizeValues)));
        request.settings.size = static_cast<SizeMode>(*value);
    }
    // The body's memory is held from the headers on (a chunked body may grow
    // to the limit), so that clients that announce large bodies and send them
    // slowly cannot take more than their share.
    const std::size_t bytes = body.length ? static_cast<std::size_t>(*body.length) : kMaxBodyBytes;
    if (std::optional<Reply> refusal = Reserve(request, bytes)) return Answer(request, *refusal);
    if (body.length) request.body.reserve(bytes);
    return MHD_YES;
}

std::optional<Reply> HttpServer::Reserve(Request& request, std::size_t bytes) {
    constexpr std::size_t kMiB = 1024 * 1024;
    const std::size_t total = static_cast<std::size_t>(m_options.bodyMemory) * kMiB;
    const std::size_t share = static_cast<std::size_t>(m_options.addressMemory) * kMiB;
    const std::string& address = request.owner != nullptr ? request.owner->address : "-";
    std::size_t& ofAddress = m_addressBytes[address];
    if (ofAddress + bytes > share) {
        if (ofAddress == 0) m_addressBytes.erase(address);
        return TryAgain("too many uploads from this address at once; try again");
    }
    if (m_bodyBytes + bytes > total) {
        if (ofAddress == 0) m_addressBytes.erase(address);
        return TryAgain("too many uploads at once; try again");
    }
    ofAddress += bytes;
    m_bodyBytes += bytes;
    request.address = address;
    request.held = bytes;
    m_metrics.SetBodyBytes(m_bodyBytes);
    return std::nullopt;
}

void HttpServer::Release(Request& request) {
    if (request.held == 0) return;
    const auto held = m_addressBytes.find(request.address);
    if (held != m_addressBytes.end()) {
        held->second -= std::min(held->second, request.held);
        if (held->second == 0) m_addressBytes.erase(held);
    }
    m_bodyBytes -= std::min(m_bodyBytes, request.held);
    request.held = 0;
    m_metrics.SetBodyBytes(m_bodyBytes);
}

MHD_Result HttpServer::Receive(Request& request, const char* upload, size_t* uploadSize) {
    if (*uploadSize > 0) {
        // Only a chunked body can grow past the limit (a stated length over
        // it was refused): the rest is read and dropped, up to a bound
        // beyond which the connection is cut.
        const std::size_t grown = request.body.size() + *uploadSize;
        if (request.refusal == 0 && grown > kMaxBodyBytes)
            request.refusal = MHD_HTTP_CONTENT_TOO_LARGE;
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
        return Answer(request, JsonError(MHD_HTTP_CONTENT_TOO_LARGE,
                                         "the file is longer than " +
                                             std::to_string(kMaxBodyBytes) + " bytes"));
    }
    if (request.outcome) return AnswerOutcome(request);
    if (request.busy) {
        return Answer(request, TryAgain(m_stopping ? "the service is stopping"
                                                   : "every worker is busy; try again"));
    }
    return Verify(request);
}

MHD_Result HttpServer::AnswerOutcome(Request& request) {
    if (const auto* verification = std::get_if<Verification>(&*request.outcome)) {
        request.genuine = verification->genuine ? 1 : 0;
        return Answer(request, Reply{MHD_HTTP_OK, verification->json + "\n"});
    }
    if (const auto* error = std::get_if<Error>(&*request.outcome)) {
        return Answer(request, JsonError(MHD_HTTP_INTERNAL_SERVER_ERROR, error->message));
    }
    const Dropped why = std::get<Dropped>(*request.outcome);
    m_metrics.VerificationDropped(why);
    switch (why) {
        case Dropped::ClientGone:
            return MHD_NO;  // nobody to answer: the library closes the connection
        case Dropped::OutOfTime:
            return Answer(request, TryAgain("the verification took longer than " +
                                            std::to_string(m_options.workTimeout) + " s"));
        case Dropped::Stopping:
            break;
    }
    return Answer(request, TryAgain("the service is stopping"));
}

MHD_Result HttpServer::Verify(Request& request) {
    if (request.owner != nullptr) request.owner->phase = Phase::Working;
    // Suspended before the job is handed over, so that the worker's resume
    // always follows it. While suspended the library leaves the socket
    // alone, so the worker may look at it.
    MHD_suspend_connection(request.connection);
    const int fd = request.owner != nullptr ? request.owner->fd : -1;
    VerifyJob job{std::move(request.body), request.settings,
                  [fd] { return fd >= 0 && ConnectionReset(fd); },
                  [this, &request](JobOutcome outcome) {
                      request.outcome = std::move(outcome);
                      MHD_resume_connection(request.connection);
                      Wake();
                  }};
    if (!m_pool.Submit(job)) {
        request.busy = true;
        MHD_resume_connection(request.connection);
    }
    return MHD_YES;
}

}  // namespace quorvel::service
