#pragma once

#include <functional>
#include <optional>
#include <string>

namespace testsupport {

// The user and group "nobody": tests run as root, which ignores permissions.
inline constexpr unsigned kNobodyId = 65534;

// True when the process may drop to another user (it runs as root).
bool CanDropPrivileges();

// Runs `body` in a forked child that has become the user and group nobody,
// and returns the text it returned; nothing when the child could not drop its
// privileges or did not end normally. `body` must not use test assertions.
std::optional<std::string> RunAsNobody(const std::function<std::string()>& body);

}  // namespace testsupport
