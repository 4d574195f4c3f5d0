#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel {

// The extensions of the image files the front ends offer and pick up: the
// command's folder expansion, the window's drop and its open dialog.
inline constexpr std::array<std::string_view, 4> kImageExtensions = {"jpg", "jpeg", "png", "bmp"};

// How the letters of an extension may be written.
enum class ExtensionCase {
    LowerOrUpper,  // "jpg" or "JPG", not "Jpg"
    Any,           // any mix of cases
};

// True when the name ends in "." and one of kImageExtensions.
inline bool HasImageExtension(const std::filesystem::path& name,
                              ExtensionCase letters = ExtensionCase::LowerOrUpper) {
    const std::string extension = name.extension().string();
    if (extension.size() < 2) return false;
    const std::string_view given = std::string_view(extension).substr(1);
    auto lowered = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    auto raised = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string lower = lowered(std::string(given));
    return std::any_of(kImageExtensions.begin(), kImageExtensions.end(),
                       [&](std::string_view known) {
                           if (lower != known) return false;
                           return letters == ExtensionCase::Any || given == known ||
                                  given == raised(std::string(known));
                       });
}

}  // namespace quorvel
