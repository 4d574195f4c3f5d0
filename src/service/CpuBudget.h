#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quorvel::service {

// How many CPUs this process may keep busy: the CPUs of its affinity mask,
// lowered by the CPU quota of its own cgroup and of each cgroup above it, as
// a container's CPU limit sets it: cgroup v2's cpu.max, or cgroup v1's
// cpu.cfs_quota_us over cpu.cfs_period_us. At least 1.
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

// Where cgroup v1's cpu controller is: the folder of this process's cgroup
// and the mount point above which the walk stops.
struct CgroupV1Cpu {
    std::filesystem::path mountPoint;
    std::filesystem::path folder;
};

// Finds the cpu controller's mount in a /proc/self/mountinfo text and this
// process's cpu cgroup in a /proc/self/cgroup text ("4:cpu,cpuacct:/x"); the
// mount's own root (a container sees its cgroup mounted as "/") is taken off
// the path. Nothing without a cgroup v1 cpu controller.
std::optional<CgroupV1Cpu> CgroupV1CpuOf(const std::string& mountInfo,
                                         const std::string& procSelfCgroup);

// The lowest quota of cpu.cfs_quota_us / cpu.cfs_period_us from the folder
// up to the mount point (a quota of -1 is none).
std::optional<int> CgroupV1CpuQuota(const CgroupV1Cpu& cgroup);

}  // namespace quorvel::service
