#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

// A per-process scratch file that receives each input's bytes.
inline const std::string& ScratchPath(const char* suffix) {
    static const std::string path = "/tmp/quorvel-fuzz-" + std::to_string(::getpid()) + suffix;
    return path;
}

inline void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}
