#pragma once

#include <mutex>
#include <ostream>
#include <string>

namespace quorvel::service {

// The service's log (standard error: the journal under systemd). Each line
// is written whole, in one write, so that lines of several threads never mix.
class LineLog {
public:
    explicit LineLog(std::ostream& out) : m_out(out) {}

    void Write(const std::string& line) {
        const std::string whole = line + "\n";
        std::lock_guard lock(m_mutex);
        m_out.write(whole.data(), static_cast<std::streamsize>(whole.size()));
        m_out.flush();
    }

private:
    std::mutex m_mutex;
    std::ostream& m_out;
};

}  // namespace quorvel::service
