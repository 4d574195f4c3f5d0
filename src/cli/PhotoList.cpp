#include "cli/PhotoList.h"

#include <algorithm>
#include <filesystem>

namespace quorvel::cli {

namespace fs = std::filesystem;

bool HasPhotoExtension(const fs::path& name) {
    const std::string extension = name.extension().string();
    for (const char* known : {".jpg", ".jpeg", ".png", ".bmp", ".JPG", ".JPEG", ".PNG", ".BMP"}) {
        if (extension == known) return true;
    }
    return false;
}

namespace {

// The photos of one folder, sorted by their path below it.
std::vector<fs::path> PhotosIn(const fs::path& folder, bool recursive, std::string& problem) {
    std::vector<fs::path> found;
    std::error_code ec;
    auto consider = [&](const fs::directory_entry& entry) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && HasPhotoExtension(entry.path().filename())) {
            found.push_back(entry.path());
        }
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) consider(*it);
    } else {
        fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) consider(*it);
    }
    if (ec) {
        problem = "cannot read the folder \"" + folder.string() + "\": " + ec.message();
        return {};
    }
    std::sort(found.begin(), found.end(), [&](const fs::path& a, const fs::path& b) {
        return a.lexically_relative(folder).generic_string() <
               b.lexically_relative(folder).generic_string();
    });
    if (found.empty()) {
        problem = "the folder \"" + folder.string() + "\" holds no jpg, jpeg, png or bmp files";
    }
    return found;
}

}  // namespace

PhotoList ExpandPhotoArguments(const std::vector<fs::path>& arguments, bool recursive) {
    PhotoList list;
    for (const fs::path& argument : arguments) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            list.photos.push_back(argument);
            continue;
        }
        std::string problem;
        std::vector<fs::path> inside = PhotosIn(argument, recursive, problem);
        if (inside.empty()) list.photos.push_back(argument);
        for (fs::path& file : inside) list.photos.push_back(std::move(file));
        if (!problem.empty()) list.problems.push_back(problem);
    }
    return list;
}

}  // namespace quorvel::cli
