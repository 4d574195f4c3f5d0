#include "service/CpuBudget.h"

#include <sched.h>

#include <algorithm>
#include <sstream>

#include "core/io/RegularFile.h"

namespace quorvel::service {

namespace {

// The kernel's small text files (procfs and cgroupfs report no length):
// empty when one cannot be read.
constexpr std::uintmax_t kMaxSystemFileBytes = 1024 * 1024;

std::string ReadText(const std::filesystem::path& path) {
    Result<RegularFile> file = RegularFile::Open(path);
    if (!file) return {};
    Result<std::string> text = file->ReadAll(kMaxSystemFileBytes);
    return text ? std::move(*text) : std::string();
}

int AffinityCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) != 0) return 1;
    return std::max(1, CPU_COUNT(&set));
}

// A positive whole number of at most 15 digits.
std::optional<long long> Positive(const std::string& text) {
    if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    const long long value = std::stoll(text);
    if (value <= 0) return std::nullopt;
    return value;
}

int CpusOf(long long quota, long long period) {
    return static_cast<int>(std::max<long long>(1, (quota + period - 1) / period));
}

// Whether a comma-separated list of controllers holds "cpu".
bool HasCpu(const std::string& list) {
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');) {
        if (item == "cpu") return true;
    }
    return false;
}

// The folder `relative` names below `top`.
std::filesystem::path Below(const std::filesystem::path& top, const std::string& relative) {
    const std::filesystem::path rest = std::filesystem::path(relative).relative_path();
    return rest.empty() ? top : top / rest;
}

// Walks from `folder` up to `top`, keeping the lowest quota found.
template <class QuotaOf>
std::optional<int> LowestUpTo(const std::filesystem::path& top, std::filesystem::path folder,
                              QuotaOf quotaOf) {
    std::optional<int> lowest;
    while (true) {
        const std::optional<int> cpus = quotaOf(folder);
        if (cpus && (!lowest || *cpus < *lowest)) lowest = cpus;
        if (folder == top || !folder.has_relative_path() || folder.parent_path() == folder) break;
        folder = folder.parent_path();
    }
    return lowest;
}

}  // namespace

std::optional<int> CpusOfCpuMax(const std::string& line) {
    std::istringstream in(line);
    std::string quota;
    std::string period;
    if (!(in >> quota >> period)) return std::nullopt;
    const std::optional<long long> microseconds = Positive(quota);
    const std::optional<long long> per = Positive(period);
    if (!microseconds || !per) return std::nullopt;
    return CpusOf(*microseconds, *per);
}

std::optional<std::string> CgroupPathOf(const std::string& procSelfCgroup) {
    std::istringstream in(procSelfCgroup);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("0::", 0) == 0) return line.substr(3);
    }
    return std::nullopt;
}

std::optional<int> CgroupCpuQuota(const std::filesystem::path& root, const std::string& leaf) {
    return LowestUpTo(root, Below(root, leaf), [](const std::filesystem::path& folder) {
        return CpusOfCpuMax(ReadText(folder / "cpu.max"));
    });
}

std::optional<CgroupV1Cpu> CgroupV1CpuOf(const std::string& mountInfo,
                                         const std::string& procSelfCgroup) {
    std::optional<std::string> path;
    std::istringstream cgroups(procSelfCgroup);
    for (std::string line; std::getline(cgroups, line);) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == line.npos || second == line.npos) continue;
        if (HasCpu(line.substr(first + 1, second - first - 1))) path = line.substr(second + 1);
    }
    if (!path) return std::nullopt;
    // "36 25 0:31 /root /mount opts shared:15 - cgroup cgroup rw,cpu,cpuacct"
    std::istringstream mounts(mountInfo);
    for (std::string line; std::getline(mounts, line);) {
        const std::size_t dash = line.find(" - ");
        if (dash == line.npos) continue;
        std::istringstream head(line.substr(0, dash));
        std::istringstream tail(line.substr(dash + 3));
        std::string id, parent, device, root, mountPoint, type, source, options;
        if (!(head >> id >> parent >> device >> root >> mountPoint) ||
            !(tail >> type >> source >> options) || type != "cgroup" || !HasCpu(options)) {
            continue;
        }
        std::string relative = *path;
        if (root != "/" && relative.rfind(root, 0) == 0) relative = relative.substr(root.size());
        return CgroupV1Cpu{mountPoint, Below(mountPoint, relative)};
    }
    return std::nullopt;
}

std::optional<int> CgroupV1CpuQuota(const CgroupV1Cpu& cgroup) {
    return LowestUpTo(cgroup.mountPoint, cgroup.folder, [](const std::filesystem::path& folder) {
        std::istringstream quota(ReadText(folder / "cpu.cfs_quota_us"));
        std::istringstream period(ReadText(folder / "cpu.cfs_period_us"));
        std::string microseconds, per;
        if (!(quota >> microseconds) || !(period >> per)) return std::optional<int>();
        return CpusOfCpuMax(microseconds + " " + per);
    });
}

int UsableCpus() {
    int cpus = AffinityCpus();
    const std::string cgroups = ReadText("/proc/self/cgroup");
    std::optional<int> quota;
    if (const std::optional<std::string> leaf = CgroupPathOf(cgroups)) {
        quota = CgroupCpuQuota("/sys/fs/cgroup", *leaf);
    }
    if (!quota) {
        if (const auto v1 = CgroupV1CpuOf(ReadText("/proc/self/mountinfo"), cgroups)) {
            quota = CgroupV1CpuQuota(*v1);
        }
    }
    if (quota) cpus = std::min(cpus, *quota);
    return std::max(1, cpus);
}

}  // namespace quorvel::service
