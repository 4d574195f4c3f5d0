#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::cli {

// The photos named on the command line, and the folders that gave none.
struct PhotoList {
    std::vector<std::filesystem::path> photos;
    std::vector<std::string> problems;  // a folder that cannot be read or holds no photos
};

// Files stay as given; a folder stands for the image files inside it (jpg,
// jpeg, png, bmp in either case), sorted by name; with `recursive` its
// sub-folders are searched too. A folder without photos stays in the list as
// it was given, so that it gets its verdict line instead of vanishing.
PhotoList ExpandPhotoArguments(const std::vector<std::filesystem::path>& arguments, bool recursive);

// True for a name ending in .jpg, .jpeg, .png or .bmp, all lower or all upper case.
bool HasPhotoExtension(const std::filesystem::path& name);

}  // namespace quorvel::cli
