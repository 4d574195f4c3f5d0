// The parts of quorvel-verifyd that decide its capacity: the CPUs it sizes
// its workers by, the bounded queue in front of them, and the bound on each
// job.
#include <gtest/gtest.h>

#include <future>

#include "core/audit/FaceDetect.h"
#include "service/CpuBudget.h"
#include "service/ServiceProcess.h"
#include "service/VerifyPool.h"
#include "support/TestSupport.h"

namespace {

using quorvel::service::CgroupCpuQuota;
using quorvel::service::CgroupPathOf;
using quorvel::service::CgroupV1CpuOf;
using quorvel::service::CgroupV1CpuQuota;
using quorvel::service::CpusOfCpuMax;
using quorvel::service::Dropped;
using quorvel::service::JobOutcome;

TEST(CpuBudget, ReadsTheCgroupQuota) {
    struct Row {
        const char* description;
        const char* cpuMax;
        std::optional<int> cpus;
    };
    const Row rows[] = {
        {"no quota", "max 100000\n", std::nullopt},
        {"two CPUs", "200000 100000\n", 2},
        {"one and a half round up", "150000 100000\n", 2},
        {"half a CPU is one worker", "50000 100000\n", 1},
        {"a line that is not a quota", "a b\n", std::nullopt},
        {"an empty file", "", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        EXPECT_EQ(CpusOfCpuMax(row.cpuMax), row.cpus);
    }
    EXPECT_EQ(CgroupPathOf("1:cpu:/\n0::/kubepods/pod1/c1\n"), "/kubepods/pod1/c1");
    EXPECT_EQ(CgroupPathOf("4:memory:/x\n1:cpu:/\n"), std::nullopt);
}

TEST(CpuBudget, TakesTheLowestQuotaAboveTheProcess) {
    testsupport::TempDir root;
    std::filesystem::create_directories(root / "pod/container");
    testsupport::WriteBytes(root / "cpu.max", "max 100000\n");
    testsupport::WriteBytes(root / "pod/cpu.max", "300000 100000\n");
    testsupport::WriteBytes(root / "pod/container/cpu.max", "max 100000\n");
    EXPECT_EQ(CgroupCpuQuota(root.path(), "/pod/container"), 3);
    testsupport::WriteBytes(root / "pod/container/cpu.max", "100000 100000\n");
    EXPECT_EQ(CgroupCpuQuota(root.path(), "/pod/container"), 1);
    EXPECT_EQ(CgroupCpuQuota(root.path(), "/"), std::nullopt);
}

TEST(CpuBudget, ReadsTheCgroupV1Quota) {
    testsupport::TempDir root;
    const std::string mounts =
        "25 1 0:22 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
        "26 1 0:23 /kubepods " +
        (root / "cpu").string() + " rw,nosuid shared:9 - cgroup cgroup rw,cpu,cpuacct\n";
    const std::string cgroups = "4:memory:/kubepods/pod1/c1\n3:cpu,cpuacct:/kubepods/pod1/c1\n";
    const auto cgroup = CgroupV1CpuOf(mounts, cgroups);
    ASSERT_TRUE(cgroup);
    // The mount's own root (/kubepods) is taken off the process's path.
    EXPECT_EQ(cgroup->folder, root / "cpu/pod1/c1");
    std::filesystem::create_directories(root / "cpu/pod1/c1");
    for (const char* folder : {"cpu", "cpu/pod1", "cpu/pod1/c1"}) {
        testsupport::WriteBytes(root / folder / "cpu.cfs_quota_us", "-1\n");
        testsupport::WriteBytes(root / folder / "cpu.cfs_period_us", "100000\n");
    }
    EXPECT_EQ(CgroupV1CpuQuota(*cgroup), std::nullopt);
    testsupport::WriteBytes(root / "cpu/pod1/cpu.cfs_quota_us", "250000\n");
    EXPECT_EQ(CgroupV1CpuQuota(*cgroup), 3);
    testsupport::WriteBytes(root / "cpu/pod1/c1/cpu.cfs_quota_us", "100000\n");
    EXPECT_EQ(CgroupV1CpuQuota(*cgroup), 1);
    EXPECT_EQ(CgroupV1CpuOf(mounts, "0::/system.slice/x\n"), std::nullopt);
}

TEST(VerifyPool, DropsAJobWhoseClientWentOrWhoseTimeRanOut) {
    struct Row {
        const char* description;
        int goneAfterQuestions;  // the client is gone from this question on; -1: never
        std::chrono::milliseconds workTime;
        bool abandoned;
        std::optional<Dropped> dropped;
    };
    const Row rows[] = {
        {"an upload verified whole", -1, std::chrono::seconds(60), false, std::nullopt},
        {"a client gone while the upload waited", 0, std::chrono::seconds(60), false,
         Dropped::ClientGone},
        {"a client gone during the work", 1, std::chrono::seconds(60), false, Dropped::ClientGone},
        {"no time to work", -1, std::chrono::milliseconds(0), false, Dropped::OutOfTime},
        {"a service that stops", -1, std::chrono::seconds(60), true, Dropped::Stopping},
    };
    auto cascade = quorvel::LoadFaceCascade(QUORVEL_TEST_CASCADE);
    ASSERT_TRUE(cascade) << cascade.error().message;
    const std::string& save = servicetest::GenuineSave();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        int questions = 0;
        quorvel::service::VerifyJob job{
            save,
            {},
            [&] { return row.goneAfterQuestions >= 0 && questions++ >= row.goneAfterQuestions; },
            {}};
        const std::atomic<bool> abandoned{row.abandoned};
        const JobOutcome outcome = quorvel::service::RunJob(job, *cascade, row.workTime, abandoned);
        if (row.dropped) {
            ASSERT_TRUE(std::holds_alternative<Dropped>(outcome));
            EXPECT_EQ(std::get<Dropped>(outcome), *row.dropped);
        } else {
            ASSERT_TRUE(std::holds_alternative<quorvel::service::Verification>(outcome));
            EXPECT_TRUE(std::get<quorvel::service::Verification>(outcome).genuine);
        }
    }
}

TEST(VerifyPool, RefusesWhenEveryWorkerIsBusyAndTheQueueFull) {
    for (const std::size_t queue : {0u, 2u}) {
        SCOPED_TRACE("queue " + std::to_string(queue));
        auto pool = quorvel::service::VerifyPool::Start(QUORVEL_TEST_CASCADE, 1, queue,
                                                        std::chrono::seconds(60));
        ASSERT_TRUE(pool) << pool.error().message;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<int> answered{0};
        auto job = [&] {
            return quorvel::service::VerifyJob{"", {}, {}, [&, released](auto) {
                                                   released.wait();
                                                   ++answered;
                                               }};
        };
        std::size_t accepted = 0;
        for (int i = 0; i < 6; ++i) {
            auto next = job();
            if ((*pool)->Submit(next)) ++accepted;
        }
        EXPECT_EQ(accepted, 1 + queue);
        release.set_value();
        pool->reset();
        EXPECT_EQ(answered, static_cast<int>(accepted));
    }
}

}  // namespace
