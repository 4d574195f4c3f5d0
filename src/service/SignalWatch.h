#pragma once

#include <signal.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "service/LineLog.h"

namespace quorvel::service {

// The signals the service takes, on a thread of its own by sigwait, never by
// a handler: SIGTERM and SIGINT stop it, SIGHUP is logged and changes
// nothing (the settings are read only at start).
class SignalWatch {
public:
    // Blocks SIGTERM, SIGINT and SIGHUP for the calling thread and every
    // thread it starts after this; ignores SIGPIPE. Called first in main.
    static sigset_t Block();

    SignalWatch(sigset_t signals, LineLog& log);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Until this is called a stop signal ends the process at once, with
    // status 0: start-up (loading the cascade, binding) holds nothing to
    // finish, and may take long.
    void Serving();

    // Waits for SIGTERM or SIGINT once serving.
    void WaitForStop();

private:
    void Watch();

    sigset_t m_signals;
    LineLog& m_log;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_serving = false;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace quorvel::service
