#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quorvel::service {

// How many CPUs this process may keep busy: the CPUs of its affinity mask,
// lowered by the cgroup v2 quota (cpu.max) of its own cgroup and of each
// cgroup above it, as a container's CPU limit sets it. At least 1.
int UsableCpus();

// The CPUs a cpu.max line grants ("200000 100000" is 2, "150000 100000"
// rounds up to 2); nothing for "max ..." (no quota) or a line that cannot
// be read.
std::optional<int> CpusOfCpuMax(const std::string& line);

// The cgroup v2 path of a /proc/self/cgroup text ("0::/system.slice/x");
// nothing on a cgroup v1 system.
std::optional<std::string> CgroupPathOf(const std::string& procSelfCgroup);

// The lowest quota of cpu.max files from `leaf` up to `root` (the cgroup
// file system's mount point), if any of them sets one.
std::optional<int> CgroupCpuQuota(const std::filesystem::path& root, const std::string& leaf);

}  // namespace quorvel::service
