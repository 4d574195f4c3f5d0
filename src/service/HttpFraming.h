#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quorvel::service {

// A request's header fields as the library parsed them, in their order.
using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// How a request's body is delimited.
struct BodyFraming {
    std::optional<std::uint64_t> length;  // Content-Length (digits beyond 2^64 - 1 saturate)
    bool chunked = false;                 // Transfer-Encoding: chunked
};

// An answer that refuses a request: its status and the message of its JSON
// error.
struct Refusal {
    unsigned status = 400;
    std::string message;
};

// The framing the header fields state, or the refusal of a request that a
// server and a proxy could read two ways (so that no bytes of its body are
// ever taken for another request):
//   400  a field name that is empty or holds white space ("Content-Length :"),
//        more than one Content-Length, one that is not digits, both
//        Content-Length and Transfer-Encoding, more than one Transfer-Encoding,
//        HTTP/1.1 without exactly one Host;
//   501  a transfer coding other than chunked.
std::variant<BodyFraming, Refusal> ReadFraming(const HeaderFields& fields,
                                               std::string_view version);

}  // namespace quorvel::service
