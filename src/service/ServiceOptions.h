#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "core/common/Result.h"
#include "core/config/Settings.h"

namespace quorvel::service {

// Limits of what the service accepts; the defaults are documented in
// docs/service.md.
inline constexpr std::size_t kMaxBodyBytes = 4 * 1024 * 1024;  // larger: 413
inline constexpr std::size_t kMaxHeaderBytes = 8 * 1024;       // larger: 431
inline constexpr int kDefaultPort = 8080;
inline constexpr int kMaxWorkers = 256;

// quorvel-verifyd's settings, all given explicitly: nothing is read from the
// working folder.
struct ServiceOptions {
    std::string host = "127.0.0.1";  // numeric IPv4 or IPv6 address
    int port = kDefaultPort;         // 0: any free port (printed at start)
    std::string probeHost;           // --probe-listen: the probe listener's address
    std::optional<int> probePort;    // none: no probe listener
    Settings settings;               // --color / --size, else --config, else 3 and 1
    std::filesystem::path cascade;   // --cascade, else Debian's copy
    int workers = 1;                 // verifications at once, one detector each
    int queue = 0;                   // verifications waiting for a worker; beyond: 503
    int maxConnections = 1024;       // open connections in all
    int perAddressConnections = 32;  // open connections from one client address
    int idleTimeout = 10;            // seconds a connection may stay silent
    int headerTimeout = 10;          // seconds from a connection's start to its headers' end
    int requestTimeout = 30;         // seconds from a connection's start to its body's end
    int workTimeout = 10;            // seconds a verification may run
    int drainTimeout = 30;           // seconds SIGTERM waits for requests in flight
    int bodyMemory = 128;            // MiB of upload bodies held at once; beyond: 503
    int addressMemory = 8;           // MiB of them one client address may hold; beyond: 503
};

// Either the options to run with, or the exit status of a command line that
// has been answered already (help printed, or a usage error reported).
struct ParsedService {
    std::optional<ServiceOptions> options;
    int exitStatus = 0;
};

// Reads the command line; `cpus` is the default of --workers. Out-of-range
// values, a --config that cannot be read or holds values out of range, and
// an address that is not numeric are usage errors (exit status 2).
ParsedService ParseServiceCommandLine(int argc, const char* const* argv, int cpus,
                                      std::ostream& out, std::ostream& err);

// "HOST:PORT" or "[HOST6]:PORT" with a numeric address and a port 0..65535;
// errors name `option`.
Result<std::pair<std::string, int>> ParseListenAddress(const std::string& text,
                                                       const std::string& option = "--listen");

}  // namespace quorvel::service
