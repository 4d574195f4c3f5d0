#pragma once

#include <string>

// Paths are shown and kept as UTF-16 (as the file dialogs hand them over);
// the file system takes bytes, UTF-8 by convention on Linux.

// The narrow path given to the image library and the file system.
std::string ToThreadAnsiPath(const std::wstring& path);

// UTF-8 to wide text; invalid bytes become U+FFFD.
std::wstring FromUtf8(const std::string& text);

// The last component of a path, without its folder.
std::wstring FileNameOf(const std::wstring& path);
