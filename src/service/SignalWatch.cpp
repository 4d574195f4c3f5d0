#include "service/SignalWatch.h"

#include <pthread.h>

#include <csignal>
#include <cstdlib>

namespace quorvel::service {

sigset_t SignalWatch::Block() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return set;
}

SignalWatch::SignalWatch(sigset_t signals, LineLog& log)
    : m_signals(signals), m_log(log), m_thread(&SignalWatch::Watch, this) {}

SignalWatch::~SignalWatch() {
    // The watching thread ends with the first stop signal; without one it is
    // left to the process's end.
    if (m_thread.joinable()) {
        std::lock_guard lock(m_mutex);
        if (m_stop) {
            m_thread.join();
        } else {
            m_thread.detach();
        }
    }
}

void SignalWatch::Serving() {
    std::lock_guard lock(m_mutex);
    m_serving = true;
}

void SignalWatch::WaitForStop() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stop; });
}

void SignalWatch::Watch() {
    while (true) {
        int signal = 0;
        if (sigwait(&m_signals, &signal) != 0) continue;
        if (signal == SIGHUP) {
            m_log.Write(
                "quorvel-verifyd: SIGHUP ignored: the settings are read only at start; restart "
                "the service to change them");
            continue;
        }
        std::lock_guard lock(m_mutex);
        if (!m_serving) {
            m_log.Write("quorvel-verifyd: stopped during start-up");
            std::_Exit(0);
        }
        m_stop = true;
        m_changed.notify_all();
        return;
    }
}

}  // namespace quorvel::service
