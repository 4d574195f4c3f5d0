// quorvel-verifyd run as a program on 127.0.0.1: its answers, its limits and
// its stop.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "core/save/SavePhoto.h"
#include "service/ServiceProcess.h"
#include "support/RunAudit.h"
#include "support/SpecialFiles.h"
#include "support/TestSupport.h"
#include "support/Unprivileged.h"

namespace {

using servicetest::Exchange;
using servicetest::Get;
using servicetest::Post;
using servicetest::ServiceProcess;

constexpr std::size_t kMiB = 1024 * 1024;

using servicetest::GenuineSave;

std::string WithMarker(std::string bytes) {
    for (const std::uint8_t byte : quorvel::MakePassMarker()) bytes += static_cast<char>(byte);
    return bytes;
}

TEST(Service, AnswersWhatVerifyPrintsForTheFile) {
    struct Row {
        const char* description;
        std::string bytes;
        std::string query;
        std::vector<std::string> settings;  // quorvel-audit's for the same check
        bool chunked = false;               // sent without a stated length
    };
    const std::string original = testsupport::ReadBytes(testsupport::DataPath("id_blue.jpg"));
    const Row rows[] = {
        {"a genuine save", GenuineSave(), "", {"--color", "3", "--size", "1"}},
        {"the photo before the audit", original, "", {"--color", "3", "--size", "1"}},
        {"another photo with the pass marker appended",
         WithMarker(testsupport::ReadBytes(testsupport::DataPath("id_red.jpg"))),
         "",
         {"--color", "3", "--size", "1"}},
        {"a genuine blue save checked for red",
         GenuineSave(),
         "?color=1",
         {"--color", "1", "--size", "1"}},
        {"a size-1 save checked for size 2",
         GenuineSave(),
         "?size=2&color=2",
         {"--color", "2", "--size", "2"}},
        {"an empty body", "", "", {"--color", "3", "--size", "1"}},
        {"a genuine save sent chunked", GenuineSave(), "", {"--color", "3", "--size", "1"}, true},
    };
    ServiceProcess service({"--workers", "2", "--color", "3", "--size", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    testsupport::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const std::string target = "/verify" + row.query;
        const servicetest::Reply reply =
            Exchange(service.Port(), row.chunked ? servicetest::PostChunked(target, row.bytes)
                                                 : Post(target, row.bytes));
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.headers.at("content-type"), "application/json");

        testsupport::WriteBytes(dir / "upload", row.bytes);
        std::vector<std::string> args = row.settings;
        args.insert(args.end(), {"--verify", "upload"});
        const clitest::RunOutput cli = clitest::RunAudit(args, dir.path());
        nlohmann::ordered_json line = nlohmann::ordered_json::parse(cli.out, nullptr, false);
        ASSERT_TRUE(line.is_object()) << cli.out << cli.err;
        line.erase("file");
        EXPECT_EQ(nlohmann::ordered_json::parse(reply.body, nullptr, false), line)
            << reply.body << "\n"
            << cli.out;
    }
}

std::string Head(const std::string& fields) {
    return "POST /verify HTTP/1.1\r\nHost: 127.0.0.1\r\n" + fields + "\r\n";
}

TEST(Service, RefusesRequestsOutsideItsLimits) {
    struct Row {
        const char* description;
        std::string request;
        int status;
        bool libraryAnswer = false;  // made by libmicrohttpd itself: not JSON
    };
    const std::string bigHead =
        "POST /verify HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(5 * kMiB) +
        "\r\n\r\n";
    std::string chunked =
        "POST /verify HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
        "Transfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 5; ++i) chunked += "100000\r\n" + std::string(kMiB, 'a') + "\r\n";
    chunked += "0\r\n\r\n";
    const Row rows[] = {
        {"a stated length over 4 MiB, answered before the body is sent", bigHead, 413},
        {"a chunked body that grows over 4 MiB", chunked, 413},
        {"headers over 8 kB",
         "GET /healthz HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(9000, 'a') + "\r\n\r\n", 431},
        {"a line that is not HTTP", "HELLO THERE\r\n\r\n", 400, true},
        {"a length of 20 digits, before 100 Continue",
         Head("Content-Length: 18446744073709551615\r\nExpect: 100-continue\r\n"), 413},
        {"a length beyond 64 bits", Head("Content-Length: 99999999999999999999999\r\n"), 413, true},
        {"two different lengths", Head("Content-Length: 3\r\nContent-Length: 40\r\n") + "abc", 400},
        {"white space before the colon", Head("Content-Length : 3\r\n") + "abc", 400},
        {"a length and chunked",
         Head("Content-Length: 3\r\nTransfer-Encoding: chunked\r\n") + "3\r\nabc\r\n0\r\n\r\n",
         400},
        {"a length that is not a number", Head("Content-Length: 3a\r\n") + "abc", 400, true},
        {"HTTP/1.1 without Host", "POST /verify HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", 400},
        {"a coding other than chunked", Head("Transfer-Encoding: gzip\r\n") + "abc", 501},
        {"neither a length nor chunked", Head(""), 411},
        {"a colour outside 0 to 3", Post("/verify?color=4", "x"), 400},
        {"a size that is not a number", Post("/verify?size=x", "x"), 400},
        {"size 3", Post("/verify?size=3", "x"), 400},
        {"an unknown path", Get("/etc/passwd"), 404},
        {"GET of /verify", Get("/verify"), 405},
        {"POST of /healthz", Post("/healthz", ""), 405},
    };
    ServiceProcess service({"--workers", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const servicetest::Reply reply = Exchange(service.Port(), row.request, 20);
        EXPECT_EQ(reply.status, row.status);
        if (row.libraryAnswer) continue;
        EXPECT_EQ(reply.headers.count("content-type") ? reply.headers.at("content-type") : "",
                  "application/json");
        const auto body = nlohmann::json::parse(reply.body, nullptr, false);
        EXPECT_TRUE(body.is_object() && body.contains("error")) << reply.body;
    }
    // Still serving.
    EXPECT_EQ(Exchange(service.Port(), Get("/healthz")).status, 200);
}

TEST(Service, SlowClientsHoldNoWorkerAndAreCut) {
    ServiceProcess service({"--workers", "1", "--timeout", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    // One stops inside its headers, the other inside its body.
    const int headers = servicetest::Connect(service.Port());
    const int body = servicetest::Connect(service.Port());
    ASSERT_GE(headers, 0);
    ASSERT_GE(body, 0);
    const std::string partialHeaders = "POST /verify HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Le";
    const std::string partialBody = Post("/verify", GenuineSave()).substr(0, 300);
    ::send(headers, partialHeaders.data(), partialHeaders.size(), MSG_NOSIGNAL);
    ::send(body, partialBody.data(), partialBody.size(), MSG_NOSIGNAL);

    const servicetest::Reply reply = Exchange(service.Port(), Post("/verify", GenuineSave()));
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("\"genuine\":true"), std::string::npos) << reply.body;

    for (const int fd : {headers, body}) {
        timeval wait{30, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char byte = 0;
        EXPECT_EQ(::recv(fd, &byte, 1, 0), 0) << "the idle connection was not closed";
        ::close(fd);
    }
}

// Sends a byte every 300 ms (so that the connection is never silent) until
// the service closes it; true when it did within 30 s.
bool TrickledUntilCut(int fd, const std::string& bytes) {
    for (std::size_t i = 0; i < 100; ++i) {
        ::send(fd, bytes.data() + i % bytes.size(), 1, MSG_NOSIGNAL);
        pollfd watched{fd, POLLIN, 0};
        if (::poll(&watched, 1, 300) == 0) continue;
        char byte = 0;
        return ::recv(fd, &byte, 1, 0) <= 0;
    }
    return false;
}

TEST(Service, CutsClientsThatTrickleAtTheirDeadlines) {
    struct Row {
        const char* description;
        std::string before;    // sent at once
        std::string trickled;  // then a byte at a time
        const char* reason;    // the cut's label in the metrics
    };
    const Row rows[] = {
        {"headers", "POST /verify HTTP/1.1\r\n", "X-Slow: aaaaaaaa", "header_time"},
        {"a body", Post("/verify", std::string(4096, 'a')).substr(0, 200), "a", "request_time"},
    };
    ServiceProcess service(
        {"--workers", "1", "--timeout", "5", "--header-timeout", "2", "--request-timeout", "3"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const int fd = servicetest::Connect(service.Port());
        ASSERT_GE(fd, 0);
        ::send(fd, row.before.data(), row.before.size(), MSG_NOSIGNAL);
        EXPECT_TRUE(TrickledUntilCut(fd, row.trickled));
        ::close(fd);
        const std::string metrics = Exchange(service.ProbePort(), Get("/metrics")).body;
        EXPECT_NE(metrics.find("quorvel_verifyd_connections_cut_total{reason=\"" +
                               std::string(row.reason) + "\"} 1\n"),
                  std::string::npos)
            << metrics;
    }
}

TEST(Service, AnswersAClientThatClosedItsSendingSide) {
    ServiceProcess service({"--workers", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    const int fd = servicetest::Connect(service.Port());
    ASSERT_GE(fd, 0);
    const std::string request = Post("/verify", GenuineSave());
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    ::shutdown(fd, SHUT_WR);
    const servicetest::Reply reply = servicetest::ParseReply(servicetest::ReadAll(fd, 30));
    ::close(fd);
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("\"genuine\":true"), std::string::npos) << reply.body;
}

TEST(Service, UploadsShareABoundedBodyMemory) {
    ServiceProcess service({"--workers", "1", "--body-memory", "4"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    // An upload that announces 4 MiB and sends little holds the whole budget.
    const int announced = servicetest::Connect(service.Port());
    ASSERT_GE(announced, 0);
    const std::string head =
        "POST /verify HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(4 * kMiB) +
        "\r\n\r\nabc";
    ::send(announced, head.data(), head.size(), MSG_NOSIGNAL);
    usleep(200 * 1000);
    const servicetest::Reply refused = Exchange(service.Port(), Post("/verify", GenuineSave()));
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.headers.count("retry-after"), 1u);
    // Its end gives the memory back.
    ::close(announced);
    int status = 0;
    for (int attempt = 0; attempt < 50 && status != 200; ++attempt) {
        usleep(100 * 1000);
        status = Exchange(service.Port(), Post("/verify", GenuineSave())).status;
    }
    EXPECT_EQ(status, 200);
}

TEST(Service, SigtermFinishesTheRequestInFlightAndExitsZero) {
    ServiceProcess service({"--workers", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    const servicetest::HalfSent upload =
        servicetest::SendHalf(service.Port(), Post("/verify", GenuineSave()));
    const int fd = upload.fd;
    ASSERT_GE(fd, 0);
    // The first half must have been read before the stop begins.
    usleep(300 * 1000);
    service.Signal(SIGTERM);
    usleep(300 * 1000);
    EXPECT_EQ(servicetest::Connect(service.Port()), -1) << "still accepting after SIGTERM";
    ASSERT_TRUE(servicetest::SendAll(fd, upload.rest));
    std::string received;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) received.append(buffer, n);
    ::close(fd);
    const servicetest::Reply reply = servicetest::ParseReply(received);
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("\"genuine\":true"), std::string::npos) << received;
    EXPECT_EQ(service.Wait(), 0) << service.Stderr();
}

TEST(Service, ReportsHealthMetricsAndOneLogLinePerRequest) {
    ServiceProcess service({"--workers", "1"});
    ASSERT_NE(service.Port(), 0) << service.Stderr();
    const servicetest::Reply health = Exchange(service.Port(), Get("/healthz"));
    EXPECT_EQ(health.status, 200);
    EXPECT_EQ(Exchange(service.Port(), Post("/verify", GenuineSave())).status, 200);
    EXPECT_EQ(Exchange(service.Port(), Post("/verify?color=9", "x")).status, 400);

    const servicetest::Reply metrics = Exchange(service.Port(), Get("/metrics"));
    EXPECT_EQ(metrics.status, 200);
    for (const char* line : {"quorvel_verifyd_requests_total{outcome=\"genuine\"} 1\n",
                             "quorvel_verifyd_requests_total{outcome=\"bad_request\"} 1\n",
                             "quorvel_verifyd_requests_total{outcome=\"answered\"} 1\n",
                             "quorvel_verifyd_request_duration_seconds_count 3\n",
                             "quorvel_verifyd_request_duration_seconds_bucket{le=\"+Inf\"} 3\n",
                             "quorvel_verifyd_requests_in_flight 1\n"}) {
        EXPECT_NE(metrics.body.find(line), std::string::npos) << line << metrics.body;
    }
    // The probe listener answers the probes only, and logs nothing.
    const int probe = service.ProbePort();
    EXPECT_EQ(Exchange(probe, Get("/healthz")).body, "ok\n");
    EXPECT_NE(Exchange(probe, Get("/metrics")).body.find("quorvel_verifyd_workers 1\n"),
              std::string::npos);
    EXPECT_EQ(Exchange(probe, Post("/verify", GenuineSave())).status, 404);
    EXPECT_EQ(Exchange(probe, Post("/healthz", "")).status, 405);
    service.Signal(SIGTERM);
    EXPECT_EQ(service.Wait(), 0);
    const std::string log = service.Stderr();
    const std::regex requestLine("\n(GET|POST) ");
    EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), requestLine),
                            std::sregex_iterator()),
              4)
        << log;
    for (const char* pattern :
         {"\nGET /healthz 200 [0-9]+ ms genuine=-\n", "\nPOST /verify 200 [0-9]+ ms genuine=true\n",
          "\nPOST /verify 400 [0-9]+ ms genuine=-\n", "\nGET /metrics 200 [0-9]+ ms genuine=-\n"}) {
        EXPECT_TRUE(std::regex_search(log, std::regex(pattern))) << pattern << "\n" << log;
    }
}

TEST(Service, RefusesToStartWithSettingsOutOfRange) {
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir / "bad.ini", "[set]\ncolor=7\nsize=1\n");
    specialfiles::MakeFifo(dir / "cascade.fifo");
    // A copy nobody may read (the service then runs as nobody: root reads it).
    testsupport::WriteBytes(dir / "locked.xml", testsupport::ReadBytes(QUORVEL_TEST_CASCADE));
    std::filesystem::permissions(dir / "locked.xml", std::filesystem::perms::none);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    struct Row {
        const char* description;
        std::vector<std::string> args;
        const char* message;
        bool asNobody = false;
    };
    const Row rows[] = {
        {"colour 4", {"--color", "4"}, "--color must be 0, 1, 2 or 3"},
        {"size 0", {"--size", "0"}, "--size must be 1 or 2"},
        {"no workers", {"--workers", "0"}, "--workers"},
        {"a configuration with colour 7", {"--config", (dir / "bad.ini").string()}, "color 7"},
        {"a missing configuration", {"--config", (dir / "none.ini").string()}, "none.ini"},
        {"a file that is no cascade",
         {"--cascade", (dir / "bad.ini").string()},
         "cannot load the face cascade"},
        {"a FIFO as the cascade, which could block for ever",
         {"--cascade", (dir / "cascade.fifo").string()},
         "cascade.fifo\": not a regular file"},
        {"a folder as the cascade", {"--cascade", dir.path().string()}, "not a regular file"},
        {"a cascade its user may not read",
         {"--cascade", (dir / "locked.xml").string()},
         "Permission denied",
         true},
        {"a host name", {"--listen", "localhost:8080"}, "numeric"},
        {"a port out of range", {"--listen", "127.0.0.1:70000"}, "0 to 65535"},
        {"a probe port out of range", {"--probe-listen", "127.0.0.1:70000"}, "--probe-listen"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        if (row.asNobody && !testsupport::CanDropPrivileges()) continue;
        ServiceProcess service(row.args, row.asNobody);
        EXPECT_EQ(service.Port(), 0);
        EXPECT_EQ(service.Wait(), 2);
        EXPECT_NE(service.Stderr().find(row.message), std::string::npos) << service.Stderr();
    }
}

}  // namespace
