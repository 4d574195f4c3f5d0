#pragma once

#include <cstring>
#include <filesystem>
#include <string>

namespace quorvel {

// "\"name\"", the way messages quote a path.
inline std::string Quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

// "what: the system's reason".
inline std::string ErrnoText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

}  // namespace quorvel
