#pragma once

#include <string>
#include <vector>

namespace quorvel::cli {

// The photos named on the command line: files stay as given, a folder stands
// for the image files inside it (jpg, jpeg, png, bmp in either case), sorted
// by name; with `recursive` its sub-folders are searched too. Folders that
// cannot be read, or that hold no photos, are told in `problems` and stay in
// the list as they were given.
std::vector<std::string> ExpandPhotoArguments(const std::vector<std::string>& arguments,
                                              bool recursive, std::vector<std::string>& problems);

// True for a name ending in .jpg, .jpeg, .png or .bmp, all lower or all upper case.
bool HasPhotoExtension(const std::string& name);

}  // namespace quorvel::cli
