#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace specialfiles {

// A path that is not a regular file, made in a folder.
struct Kind {
    std::string description;
    bool isFifo;  // reading it waits for a writer
    std::filesystem::path (*make)(const std::filesystem::path& dir);
};

// A FIFO, a character device, a socket, and links to a FIFO and a device.
const std::vector<Kind>& Kinds();

// Makes a FIFO at `path`; throws when it cannot.
void MakeFifo(const std::filesystem::path& path);

// Guards against a reader that blocks on a FIFO: after `grace` it keeps
// opening the FIFOs for writing and closing them, which releases a blocked
// reader with end of file, and records that it had to.
class FifoRescuer {
public:
    FifoRescuer(std::vector<std::filesystem::path> fifos, std::chrono::seconds grace);
    ~FifoRescuer();
    FifoRescuer(const FifoRescuer&) = delete;
    FifoRescuer& operator=(const FifoRescuer&) = delete;

    // Stops the guard; true when a reader had been blocked on a FIFO.
    bool Stop();

private:
    void Watch();

    std::vector<std::filesystem::path> m_fifos;
    std::chrono::seconds m_grace;
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stop = false;
    std::atomic<bool> m_rescued{false};
    std::thread m_thread;
};

}  // namespace specialfiles
