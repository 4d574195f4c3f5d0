#pragma once

#include <microhttpd.h>

#include <string>

namespace quorvel::service {

inline constexpr const char* kJsonType = "application/json";
inline constexpr const char* kTextType = "text/plain; charset=utf-8";
inline constexpr const char* kPrometheusType = "text/plain; version=0.0.4; charset=utf-8";

// An answer before it is queued.
struct Reply {
    unsigned status = MHD_HTTP_OK;
    std::string body;
    const char* type = kJsonType;
    const char* header = nullptr;  // one more header (Allow, Retry-After), if any
    const char* value = nullptr;
};

// {"error": message} and a newline.
Reply JsonError(unsigned status, const std::string& message, const char* header = nullptr,
                const char* value = nullptr);

// 503 with Retry-After: 1.
Reply TryAgain(const std::string& message);

// Queues the reply (never cached); `close` ends the connection after it.
MHD_Result QueueReply(MHD_Connection* connection, const Reply& reply, bool close);

}  // namespace quorvel::service
