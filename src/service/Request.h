#pragma once

#include <microhttpd.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/config/Settings.h"
#include "service/VerifyPool.h"

namespace quorvel::service {

using Clock = std::chrono::steady_clock;

// Where a connection is, for the deadlines the service keeps itself.
enum class Phase : std::uint8_t {
    Waiting,    // for (the rest of) a request's headers
    Receiving,  // the headers came; the body is arriving
    Working,    // the upload is queued or verified; the connection is suspended
    Answering,  // an answer is queued; the library sends it
    Cut,        // shut down by the service; the library closes it
};

struct Request;

// One client connection, from its acceptance to its close. Only the HTTP
// loop's thread touches it.
struct Connection {
    MHD_Connection* handle = nullptr;
    int fd = -1;
    std::string address;                     // the client's address; an IPv6 one by its /64 network
    Clock::time_point since = Clock::now();  // accepted, or its last request ended
    Phase phase = Phase::Waiting;
    Request* request = nullptr;  // the one under way, if any
};

// One request on a connection, from its request line to its end.
struct Request {
    MHD_Connection* connection = nullptr;
    Connection* owner = nullptr;  // its connection, until that closes
    Clock::time_point start = Clock::now();
    std::string method;
    std::string path;  // as shown in the log: without the query, bytes escaped
    bool routed = false;
    bool answered = false;
    Settings settings;  // of this verification
    std::string body;
    std::string address;        // the key of the address's share, once reserved
    std::size_t held = 0;       // bytes counted against the body memory and the address's share
    std::size_t discarded = 0;  // bytes of an overlong chunked body dropped so far
    unsigned refusal = 0;       // the answer to that body: 413
    // Set by the worker (or the closing queue) before it resumes the
    // connection.
    std::optional<JobOutcome> outcome;
    bool busy = false;  // refused by the pool
    int genuine = -1;   // 1 or 0 once verified
};

// The path of a request line's target for the log: up to the query, at most
// 200 bytes, each byte outside printable ASCII (and '%') as %XX.
std::string LoggedPath(std::string_view uri);

// A query value of ?color= or ?size=: one digit within the allowed values,
// else nothing.
std::optional<int> DigitIn(const char* text, int lowest, int highest);

}  // namespace quorvel::service
