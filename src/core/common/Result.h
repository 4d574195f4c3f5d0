#pragma once

#include <filesystem>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace quorvel {

// What kind of failure an operation met. Front ends choose their words by
// the kind (and the system's errno), not by the English message.
enum class ErrorKind {
    NotFound,           // the file or folder does not exist
    NotAFile,           // a device, FIFO or socket where a regular file is needed
    IsFolder,           // a folder where a file is needed
    NotReadable,        // exists but cannot be read
    BadContent,         // read, but not what it should be (not a cascade, not a photo)
    TooLarge,           // larger than anything this operation reads
    NoPhoto,            // nothing to save
    NoEncoder,          // the extension names no image format the library writes
    NotWritable,        // an existing file that may not be replaced
    FolderNotWritable,  // an existing, writable file whose folder cannot be written
    WriteFailed,        // the folder cannot be written, or a write failed
    Incomplete,         // the data did not reach the disk whole (disk full)
    MarkerFailed,       // the pass marker could not be appended or flushed
    Refused,            // the operation would harm a file it must not touch
    OutOfMemory,
    CascadeUnusable,  // the face cascade cannot be loaded, or copied into the per-user folder
    ConfigUnusable,   // a configuration file cannot be read (a session's, or a default one)
    Usage,            // the caller asked for something that cannot be done (options, arguments)
    Internal,         // the operation itself broke: a library it uses failed (threw)
};

// A failure: its kind, an English message for people and logs, the
// system's errno of the step that failed (0 when there is none) and the file
// it concerns, when there is one.
struct Error {
    ErrorKind kind = ErrorKind::WriteFailed;
    std::string message;
    int systemError = 0;
    std::filesystem::path path;
};

// Either a value or an Error. `if (result)` tells which; value() and error()
// give it.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}      // NOLINT
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}  // NOLINT

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

// Success without a value, or an Error.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)), m_failed(true) {}  // NOLINT

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return m_error; }

private:
    Error m_error;
    bool m_failed = false;
};

// Builds an Error; `Fail(kind, message, errno)` reads as what it returns.
inline Error Fail(ErrorKind kind, std::string message, int systemError = 0,
                  std::filesystem::path path = {}) {
    return Error{kind, std::move(message), systemError, std::move(path)};
}

}  // namespace quorvel
