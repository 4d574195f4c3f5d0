#pragma once

#include <string>

// The two settings of "./cfg.ini", section "set".
struct QuorvelSettings {
    int parseError = 0;  // INIReader::ParseError(): -1 when the file cannot be opened
                         // or is not a regular file
    int color = 3;       // key "color": BackgroundColor, default 3 (any)
    int size = 1;        // key "size": size mode, default 1

    bool Opened() const { return parseError != -1; }
};

inline constexpr const char* kDefaultConfigPath = "./cfg.ini";

// Reads the settings the way the window does at start-up.
QuorvelSettings ReadSettings(const std::string& path = kDefaultConfigPath);
