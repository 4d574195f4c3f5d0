#include "support/SpecialFiles.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace specialfiles {

namespace fs = std::filesystem;

void MakeFifo(const fs::path& path) {
    if (::mkfifo(path.c_str(), 0666) != 0) {
        throw std::runtime_error("cannot make a FIFO at " + path.string());
    }
}

namespace {

// /dev/zero, which never ends; a link to it where device nodes cannot be made.
fs::path MakeZeroDevice(const fs::path& path) {
    if (::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 5)) != 0) {
        fs::create_symlink("/dev/zero", path);
    }
    return path;
}

fs::path MakeSocket(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.string().size() >= sizeof(address.sun_path)) {
        throw std::runtime_error("socket path too long: " + path.string());
    }
    std::strcpy(address.sun_path, path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        throw std::runtime_error("cannot make a socket at " + path.string());
    }
    ::close(fd);  // the socket file stays
    return path;
}

}  // namespace

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = {
        {"FIFO that nobody writes to", true,
         [](const fs::path& d) {
             MakeFifo(d / "fifo.jpg");
             return d / "fifo.jpg";
         }},
        {"link to a FIFO", true,
         [](const fs::path& d) {
             MakeFifo(d / "target-fifo");
             fs::create_symlink("target-fifo", d / "fifo-link.jpg");
             return d / "fifo-link.jpg";
         }},
        {"character device that never ends", false,
         [](const fs::path& d) { return MakeZeroDevice(d / "zero.jpg"); }},
        {"link to a device", false,
         [](const fs::path& d) {
             fs::create_symlink("/dev/urandom", d / "random.jpg");
             return d / "random.jpg";
         }},
        {"socket", false, [](const fs::path& d) { return MakeSocket(d / "socket.jpg"); }},
    };
    return kinds;
}

FifoRescuer::FifoRescuer(std::vector<fs::path> fifos, std::chrono::seconds grace)
    : m_fifos(std::move(fifos)), m_grace(grace), m_thread([this] { Watch(); }) {}

FifoRescuer::~FifoRescuer() { Stop(); }

bool FifoRescuer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_stopped.notify_all();
    if (m_thread.joinable()) m_thread.join();
    return m_rescued;
}

void FifoRescuer::Watch() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_stopped.wait_for(lock, m_grace, [this] { return m_stop; })) return;
    while (!m_stop) {
        for (const fs::path& fifo : m_fifos) {
            // Succeeds only while a reader has the FIFO open.
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                m_rescued = true;
                ::close(fd);
            }
        }
        m_stopped.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_stop; });
    }
}

}  // namespace specialfiles
