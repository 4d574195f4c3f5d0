// One address cannot deny the service: while clients from other loopback
// addresses (127.0.0.2 and on) attack it, a genuine upload from 127.0.0.200
// is verified and the probes are answered. Every attacker loop ends when the
// row is done and waits at most a second per step.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "service/ServiceProcess.h"

namespace {

using servicetest::Connect;
using servicetest::ServiceProcess;

constexpr const char* kGenuineClient = "127.0.0.200";
constexpr int kGenuineUploads = 3;

void Send(int fd, const std::string& bytes) {
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

// Waits up to `milliseconds` for the service to answer or close; true when
// it did.
bool ServiceSpoke(int fd, int milliseconds) {
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, milliseconds) != 0;
}

std::string Announce(std::size_t length) {
    return "POST /verify HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(length) +
           "\r\n\r\n";
}

// One attacker: connects from `from` and behaves, again and again, until
// `stop`.
using Attacker = std::function<void(int port, const char* from, const std::atomic<bool>& stop)>;

// Headers sent a byte every half second.
void SlowHeaders(int port, const char* from, const std::atomic<bool>& stop) {
    while (!stop) {
        const int fd = Connect(port, from);
        const std::string head = "POST /verify HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
        for (std::size_t i = 0; fd >= 0 && !stop && !ServiceSpoke(fd, 500); ++i) {
            Send(fd, head.substr(i % head.size(), 1));
        }
        if (fd >= 0) ::close(fd);
    }
}

// 4 MiB announced, a byte sent every 200 ms.
void SlowBody(int port, const char* from, const std::atomic<bool>& stop) {
    while (!stop) {
        const int fd = Connect(port, from);
        if (fd >= 0) Send(fd, Announce(4 << 20));
        while (fd >= 0 && !stop && !ServiceSpoke(fd, 200)) Send(fd, "x");
        if (fd >= 0) ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// 4 MiB announced, 1 kB sent, the connection closed at once.
void SendAndClose(int port, const char* from, const std::atomic<bool>& stop) {
    while (!stop) {
        const int fd = Connect(port, from);
        if (fd >= 0) {
            Send(fd, Announce(4 << 20) + std::string(1024, 'x'));
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// 25 connections that send nothing.
void Idle(int port, const char* from, const std::atomic<bool>& stop) {
    std::vector<int> fds;
    for (int i = 0; i < 25; ++i) fds.push_back(Connect(port, from));
    while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const int fd : fds) {
        if (fd >= 0) ::close(fd);
    }
}

void AllowManyDescriptors() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 8192);
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(ServiceFairness, GenuineUploadsAndProbesPassDuringAttacks) {
    AllowManyDescriptors();
    struct Row {
        const char* description;
        std::vector<std::string> options;
        int addresses;  // 127.0.0.2 and on
        int attackersPerAddress;
        Attacker attacker;
    };
    const Row rows[] = {
        {"slow headers filling every connection",
         {"--max-connections", "64", "--per-address", "16", "--header-timeout", "2"},
         8,
         16,
         SlowHeaders},
        {"slow 4 MiB bodies from eight addresses", {}, 8, 32, SlowBody},
        {"send and close, with one share for all (as behind an ingress)",
         {"--address-memory", "128"},
         1,
         8,
         SendAndClose},
        {"1,000 idle connections", {}, 40, 1, Idle},
    };
    const std::string upload = servicetest::Post("/verify", servicetest::GenuineSave());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        std::vector<std::string> options = row.options;
        options.insert(options.end(), {"--workers", "1"});
        ServiceProcess service(options);
        ASSERT_NE(service.Port(), 0) << service.Stderr();
        std::atomic<bool> stop{false};
        std::vector<std::string> addresses;
        for (int a = 0; a < row.addresses; ++a)
            addresses.push_back("127.0.0." + std::to_string(2 + a));
        std::vector<std::thread> attackers;
        for (const std::string& address : addresses) {
            for (int i = 0; i < row.attackersPerAddress; ++i) {
                attackers.emplace_back(row.attacker, service.Port(), address.c_str(),
                                       std::cref(stop));
            }
        }
        // The attack under way before the genuine client comes.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        for (int i = 0; i < kGenuineUploads; ++i) {
            const servicetest::Reply probe =
                servicetest::Exchange(service.ProbePort(), servicetest::Get("/healthz"), 10);
            EXPECT_EQ(probe.status, 200);
            const servicetest::Reply reply =
                servicetest::Exchange(service.Port(), upload, 60, kGenuineClient);
            EXPECT_EQ(reply.status, 200) << reply.body;
            EXPECT_NE(reply.body.find("\"genuine\":true"), std::string::npos) << reply.body;
        }
        stop = true;
        for (std::thread& attacker : attackers) attacker.join();
        service.Signal(SIGTERM);
        EXPECT_EQ(service.Wait(), 0) << service.Stderr().substr(0, 4000);
    }
}

}  // namespace
