#include "service/CpuBudget.h"

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace quorvel::service {

namespace {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int AffinityCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) != 0) return 1;
    return std::max(1, CPU_COUNT(&set));
}

}  // namespace

std::optional<int> CpusOfCpuMax(const std::string& line) {
    std::istringstream in(line);
    std::string quota;
    long long period = 0;
    if (!(in >> quota >> period) || quota == "max" || period <= 0) return std::nullopt;
    if (quota.find_first_not_of("0123456789") != std::string::npos || quota.size() > 15) {
        return std::nullopt;
    }
    const long long microseconds = std::stoll(quota);
    if (microseconds <= 0) return std::nullopt;
    return static_cast<int>(std::max<long long>(1, (microseconds + period - 1) / period));
}

std::optional<std::string> CgroupPathOf(const std::string& procSelfCgroup) {
    std::istringstream in(procSelfCgroup);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("0::", 0) == 0) return line.substr(3);
    }
    return std::nullopt;
}

std::optional<int> CgroupCpuQuota(const std::filesystem::path& root, const std::string& leaf) {
    std::optional<int> lowest;
    std::filesystem::path relative = std::filesystem::path(leaf).relative_path();
    while (true) {
        const std::optional<int> cpus = CpusOfCpuMax(ReadText(root / relative / "cpu.max"));
        if (cpus && (!lowest || *cpus < *lowest)) lowest = cpus;
        if (relative.empty()) break;
        relative = relative.parent_path();
    }
    return lowest;
}

int UsableCpus() {
    int cpus = AffinityCpus();
    if (const std::optional<std::string> leaf = CgroupPathOf(ReadText("/proc/self/cgroup"))) {
        if (const std::optional<int> quota = CgroupCpuQuota("/sys/fs/cgroup", *leaf)) {
            cpus = std::min(cpus, *quota);
        }
    }
    return std::max(1, cpus);
}

}  // namespace quorvel::service
