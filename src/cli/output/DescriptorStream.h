#pragma once

#include <ostream>
#include <streambuf>

namespace quorvel::cli {

// An output stream on a file descriptor: the copy of standard error the
// program writes its messages to while libraries' messages are captured
// (LibraryMessages). Flushed after every output, as std::cerr is; a write
// that fails sets the stream's badbit.
class DescriptorStream : public std::ostream {
public:
    explicit DescriptorStream(int fd);

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(int fd);

    protected:
        int_type overflow(int_type c) override;
        int sync() override;

    private:
        bool Drain();
        int m_fd;
        char m_bytes[1024];
    };
    Buffer m_buffer;
};

}  // namespace quorvel::cli
