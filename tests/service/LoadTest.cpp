// A bounded load: 400 uploads from 16 clients on 127.0.0.1, every one
// answered, none lost, and the counters agree.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <thread>
#include <vector>

#include "service/ServiceProcess.h"
#include "support/RunAudit.h"
#include "support/TestSupport.h"

namespace {

constexpr int kClients = 16;
constexpr int kRequestsPerClient = 25;

TEST(ServiceLoad, AnswersEveryUploadOfSixteenClients) {
    testsupport::TempDir dir;
    const clitest::RunOutput run =
        clitest::RunAudit({"--color", "3", "--size", "1", "--out", dir.path().string(),
                           testsupport::DataPath("id_white.jpg").string()},
                          dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string request =
        servicetest::Post("/verify", testsupport::ReadBytes(dir / "id_white.jpg"));

    // The queue holds every client's upload: none is refused.
    servicetest::ServiceProcess service({"--workers", "2", "--queue", "32"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    std::atomic<int> genuine{0};
    std::atomic<int> other{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&] {
            for (int i = 0; i < kRequestsPerClient; ++i) {
                const servicetest::Reply reply = servicetest::Exchange(service.Port(), request);
                const bool ok =
                    reply.status == 200 && reply.body.find("\"genuine\":true") != std::string::npos;
                ++(ok ? genuine : other);
            }
        });
    }
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(genuine, kClients * kRequestsPerClient);
    EXPECT_EQ(other, 0);
    const servicetest::Reply metrics =
        servicetest::Exchange(service.Port(), servicetest::Get("/metrics"));
    EXPECT_NE(metrics.body.find("quorvel_verifyd_requests_total{outcome=\"genuine\"} 400\n"),
              std::string::npos)
        << metrics.body;
    service.Signal(SIGTERM);
    EXPECT_EQ(service.Wait(), 0);
}

}  // namespace
