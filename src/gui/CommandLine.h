#pragma once

#include <optional>
#include <ostream>

namespace quorvel::gui {

// --help (-h) and --version as the first argument: prints the usage or the
// version on `out` and gives the exit status (0). Nothing else has happened
// yet then: no window, no per-user folder, no log. Other arguments: none.
std::optional<int> HandleInfoOption(int argc, char** argv, std::ostream& out);

// Whether Qt can be expected to find a display: a platform that needs none
// (offscreen, minimal, ...) chosen by QT_QPA_PLATFORM or -platform, or
// DISPLAY or WAYLAND_DISPLAY set. false: `err` has been told in one line.
bool DisplayAvailable(int argc, char** argv, std::ostream& err);

// While the application object is made: a display Qt cannot connect to ends
// the program with one line on standard error and exit status 1, instead of
// Qt's abort; Qt's other messages of that time are passed on afterwards.
class PlatformStartGuard {
public:
    PlatformStartGuard();
    ~PlatformStartGuard();
    PlatformStartGuard(const PlatformStartGuard&) = delete;
    PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
};

}  // namespace quorvel::gui
