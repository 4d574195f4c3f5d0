// quorvel-verifyd's signals: SIGTERM with uploads waiting, SIGHUP.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "service/ServiceProcess.h"

namespace {

using servicetest::Exchange;
using servicetest::GenuineSave;
using servicetest::Get;
using servicetest::Post;
using servicetest::ServiceProcess;

// A counter or gauge of the probe listener's metrics; -1 when missing.
int Metric(const ServiceProcess& service, const std::string& name) {
    const std::string text = Exchange(service.ProbePort(), Get("/metrics"), 10).body;
    const std::size_t at = text.find("\n" + name + " ");
    if (at == std::string::npos) return -1;
    return std::atoi(text.c_str() + at + name.size() + 2);
}

// Waits (at most `seconds`) until the service's standard error holds `text`.
bool LogShows(const ServiceProcess& service, const std::string& text, int seconds = 30) {
    for (int i = 0; i < seconds * 50; ++i) {
        if (service.Stderr().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(ServiceStop, SigtermAnswersTheWaitingUploadsAndExits) {
    constexpr int kUploads = 12;
    ServiceProcess service({"--workers", "1", "--queue", "16", "--drain", "5"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    std::vector<int> clients;
    for (int i = 0; i < kUploads; ++i) {
        const int fd = servicetest::Connect(service.Port());
        ASSERT_GE(fd, 0);
        const std::string request = Post("/verify", GenuineSave());
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
        clients.push_back(fd);
    }
    // Every upload received: one being verified, most of the others waiting
    // for the worker.
    int pending = 0;
    int running = 0;
    for (int attempt = 0; attempt < 500; ++attempt) {
        pending = Metric(service, "quorvel_verifyd_verifications_pending");
        running = Metric(service, "quorvel_verifyd_verifications_running");
        const int done = Metric(service, "quorvel_verifyd_requests_total{outcome=\"genuine\"}");
        if (pending + done >= kUploads && running == 1) break;
    }
    ASSERT_EQ(running, 1);
    ASSERT_GE(pending, 3);
    service.Signal(SIGTERM);

    int verified = 0;
    int refused = 0;
    for (const int fd : clients) {
        const servicetest::Reply reply = servicetest::ParseReply(servicetest::ReadAll(fd, 30));
        ::close(fd);
        if (reply.status == 200 && reply.body.find("\"genuine\":true") != std::string::npos) {
            ++verified;
        } else if (reply.status == 503 &&
                   reply.body == "{\"error\":\"the service is stopping\"}\n") {
            ++refused;
        } else {
            ADD_FAILURE() << reply.status << " " << reply.body;
        }
    }
    EXPECT_GE(verified, 1);  // the one in work finished
    EXPECT_GE(refused, 1);   // the waiting ones were answered at once
    EXPECT_EQ(verified + refused, kUploads);
    EXPECT_EQ(service.Wait(30), 0) << service.Stderr();
    EXPECT_NE(service.Stderr().find("\nquorvel-verifyd: stopped\n"), std::string::npos)
        << service.Stderr();
}

TEST(ServiceStop, SighupEndsNothing) {
    ServiceProcess service({"--workers", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    // An upload is in flight when the signal comes.
    const servicetest::HalfSent upload =
        servicetest::SendHalf(service.Port(), Post("/verify", GenuineSave()));
    const int fd = upload.fd;
    ASSERT_GE(fd, 0);
    service.Signal(SIGHUP);
    ASSERT_TRUE(LogShows(service, "SIGHUP ignored")) << service.Stderr();
    ASSERT_TRUE(servicetest::SendAll(fd, upload.rest));
    const servicetest::Reply reply = servicetest::ParseReply(servicetest::ReadAll(fd, 30));
    ::close(fd);
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("\"genuine\":true"), std::string::npos) << reply.body;
    EXPECT_EQ(Exchange(service.ProbePort(), Get("/healthz")).status, 200);
    service.Signal(SIGTERM);
    EXPECT_EQ(service.Wait(), 0) << service.Stderr();
}

}  // namespace
