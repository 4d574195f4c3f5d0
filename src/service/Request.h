#pragma once

#include <microhttpd.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/config/Settings.h"
#include "service/VerifyPool.h"

namespace quorvel::service {

// One request on a connection, from its request line to its end.
struct Request {
    MHD_Connection* connection = nullptr;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::string method;
    std::string path;  // as shown in the log: without the query, bytes escaped
    bool routed = false;
    bool verifying = false;  // POST /verify: the body is the file
    bool answered = false;
    Settings settings;  // of this verification
    std::string body;
    std::size_t held = 0;       // bytes counted against the service's body memory
    std::size_t discarded = 0;  // bytes of a refused body without a stated length dropped so far
    unsigned refusal = 0;       // the answer to that body: 413 or 503
    // Set by the worker before it resumes the connection.
    std::optional<VerifyOutcome> outcome;
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
