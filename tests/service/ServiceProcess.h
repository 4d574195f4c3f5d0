#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace servicetest {

// quorvel-verifyd started on 127.0.0.1 port 0, with a probe listener on
// another free port, for one test; its standard error is collected, and the
// ports read back from its start-up lines.
class ServiceProcess {
public:
    // `asNobody`: the service runs as the user nobody (tests run as root).
    explicit ServiceProcess(const std::vector<std::string>& extraArgs = {}, bool asNobody = false);
    ~ServiceProcess();  // kills it if still running
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    int Port() const { return m_port; }            // 0 when it did not start
    int ProbePort() const { return m_probePort; }  // 0 when it did not start
    void Signal(int signal) const;
    // Waits for the exit; the exit status, or -1 after a signal or a timeout.
    int Wait(int seconds = 60);
    std::string Stderr() const;

private:
    void Collect(int fd);

    pid_t m_pid = -1;
    int m_port = 0;
    int m_probePort = 0;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;  // more of its standard error came
    std::string m_stderr;
    bool m_closed = false;  // its standard error reached its end
};

// A save of a passed audit of tests/data/id_blue.jpg, made by quorvel-audit
// once per test program.
const std::string& GenuineSave();

// One HTTP exchange as the client saw it.
struct Reply {
    int status = 0;                              // 0: no status line came back
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

// Sends `bytes` on a new connection to 127.0.0.1:port (from the loopback
// address `from`) and reads until the service closes it (at most `seconds`).
Reply Exchange(int port, const std::string& bytes, int seconds = 60,
               const char* from = "127.0.0.1");

// Reads what comes on `fd` until the service closes it (at most `seconds`).
std::string ReadAll(int fd, int seconds = 60);

// A request with "Connection: close" and, for a body, its length.
std::string Post(const std::string& target, const std::string& body);
std::string Get(const std::string& target);

// Parses a reply's bytes.
Reply ParseReply(const std::string& bytes);

// A socket connected to 127.0.0.1:port from the loopback address `from`
// (127.0.0.2 and so on stand for other clients), or -1.
int Connect(int port, const char* from = "127.0.0.1");

// A request of which the first half has been sent on a new connection: the
// rest is still to send. `fd` is -1 when connecting or sending failed.
struct HalfSent {
    int fd = -1;
    std::string rest;
};
HalfSent SendHalf(int port, const std::string& request);

// Sends all of `bytes` on `fd`; false when it could not.
bool SendAll(int fd, const std::string& bytes);

// The same body sent chunked, in pieces of at most `piece` bytes.
std::string PostChunked(const std::string& target, const std::string& body,
                        std::size_t piece = 16384);

}  // namespace servicetest
