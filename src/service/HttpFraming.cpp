#include "service/HttpFraming.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace quorvel::service {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Digits as a number; saturates at the largest 64-bit value.
std::optional<std::uint64_t> Digits(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

struct Counted {
    int count = 0;
    std::string value;  // of the first
};

}  // namespace

std::variant<BodyFraming, Refusal> ReadFraming(const HeaderFields& fields,
                                               std::string_view version) {
    Counted length, coding, host;
    for (const auto& [name, value] : fields) {
        if (name.empty() || name.find_first_of(" \t") != std::string::npos) {
            return Refusal{400, "a header field name is empty or holds white space"};
        }
        for (auto [wanted, counted] :
             {std::pair{"Content-Length", &length}, std::pair{"Transfer-Encoding", &coding},
              std::pair{"Host", &host}}) {
            if (!SameName(name, wanted)) continue;
            if (counted->count++ == 0) counted->value = value;
        }
    }
    if (length.count > 1) return Refusal{400, "more than one Content-Length"};
    if (coding.count > 1) return Refusal{400, "more than one Transfer-Encoding"};
    if (length.count > 0 && coding.count > 0) {
        return Refusal{400, "both Content-Length and Transfer-Encoding"};
    }
    if (version == "HTTP/1.1" && host.count != 1) {
        return Refusal{400, "an HTTP/1.1 request needs one Host header"};
    }
    BodyFraming framing;
    if (coding.count > 0) {
        if (!SameName(coding.value, "chunked")) {
            return Refusal{501, "only the chunked transfer coding is accepted"};
        }
        framing.chunked = true;
    }
    if (length.count > 0) {
        framing.length = Digits(length.value);
        if (!framing.length) return Refusal{400, "Content-Length is not a number"};
    }
    return framing;
}

}  // namespace quorvel::service
