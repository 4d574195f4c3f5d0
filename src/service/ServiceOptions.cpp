#include "service/ServiceOptions.h"

#include <arpa/inet.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "core/audit/FaceDetect.h"
#include "core/session/Session.h"

namespace quorvel::service {

namespace {

constexpr const char* kProgramName = "quorvel-verifyd";
constexpr const char* kDescription =
    "Verification service: POST a file's bytes to /verify and get the JSON object of a\n"
    "quorvel-audit --verify line for it. Settings come from the options and --config only.\n"
    "\n"
    "  quorvel-verifyd [--listen ADDRESS:PORT] [--color N] [--size N] [--config FILE] "
    "[--cascade FILE] [--workers N]\n";

ParsedService UsageError(std::ostream& err, const std::string& message) {
    err << kProgramName << ": " << message << "\n";
    return {std::nullopt, 2};
}

}  // namespace

Result<std::pair<std::string, int>> ParseListenAddress(const std::string& text,
                                                       const std::string& option) {
    const auto bad = [&](const std::string& why) {
        return Fail(ErrorKind::BadContent, option + " " + text + ": " + why);
    };
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return bad("needs ADDRESS:PORT, such as 127.0.0.1:8080");
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    unsigned char address[sizeof(in6_addr)];
    if (inet_pton(AF_INET, host.c_str(), address) != 1 &&
        inet_pton(AF_INET6, host.c_str(), address) != 1) {
        return bad("the address must be numeric (IPv4, or IPv6 in brackets)");
    }
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != port.npos ||
        std::stoi(port) > 65535) {
        return bad("the port must be 0 to 65535");
    }
    return std::pair<std::string, int>{host, std::stoi(port)};
}

namespace {

// What the command line gives before it is checked.
struct GivenOptions {
    std::string listen = "127.0.0.1:" + std::to_string(kDefaultPort);
    std::string probeListen;
    std::string configPath;
    std::string cascade;
    std::optional<int> color;
    std::optional<int> size;
    CLI::Option* queue = nullptr;
};

// A number option: its place holder in the help and its range, checked.
template <typename T>
CLI::Option* AddNumber(CLI::App& app, const char* name, T& value, const std::string& help,
                       const char* typeName, int low, int high) {
    return app.add_option(name, value, help)->type_name(typeName)->check(CLI::Range(low, high));
}

void DefineOptions(CLI::App& app, ServiceOptions& options, GivenOptions& given) {
    app.add_option("--listen", given.listen,
                   "address and port to listen on (default 127.0.0.1:8080)")
        ->type_name("ADDRESS:PORT");
    app.add_option("--probe-listen", given.probeListen,
                   "address and port of the probe listener: /healthz and /metrics only "
                   "(default: none)")
        ->type_name("ADDRESS:PORT");
    app.add_option("--color", given.color, "background colour: 0 white, 1 red, 2 blue, 3 any")
        ->type_name("N");
    app.add_option("--size", given.size, "size mode: " + ListValues(kSizeValues))->type_name("N");
    app.add_option("--config", given.configPath,
                   "read color and size from this cfg.ini (section set)")
        ->type_name("FILE");
    app.add_option("--cascade", given.cascade,
                   "face cascade file (default: Debian's opencv-data copy)")
        ->type_name("FILE");
    AddNumber(app, "--workers", options.workers,
              "verifications at once (default: the CPUs this process may use)", "N", 1,
              kMaxWorkers);
    given.queue =
        AddNumber(app, "--queue", options.queue,
                  "verifications that wait for a worker (default 8 per worker)", "N", 0, 100000);
    AddNumber(app, "--max-connections", options.maxConnections, "open connections (default 1024)",
              "N", 1, 100000);
    AddNumber(app, "--per-address", options.perAddressConnections,
              "open connections from one client address (default 32)", "N", 1, 100000);
    AddNumber(app, "--timeout", options.idleTimeout,
              "seconds before a silent connection is closed (default 10)", "S", 1, 3600);
    AddNumber(app, "--header-timeout", options.headerTimeout,
              "seconds from a connection's start (or its last answer) to the end of the "
              "request's headers (default 10)",
              "S", 1, 3600);
    AddNumber(app, "--request-timeout", options.requestTimeout,
              "seconds from a connection's start (or its last answer) to the end of the "
              "upload (default 30)",
              "S", 1, 3600);
    AddNumber(app, "--work-timeout", options.workTimeout,
              "seconds a verification may run; then it is dropped and answered 503 "
              "(default 10)",
              "S", 1, 3600);
    AddNumber(app, "--drain", options.drainTimeout,
              "seconds SIGTERM waits for the requests in flight (default 30)", "S", 0, 3600);
    AddNumber(app, "--body-memory", options.bodyMemory,
              "MiB of uploads held at once, arriving or waiting (default 128)", "MIB", 4, 65536);
    AddNumber(app, "--address-memory", options.addressMemory,
              "MiB of those one client address may hold (default 8; at most --body-memory)", "MIB",
              4, 65536);
    app.set_version_flag("--version", std::string(kProgramName) + " " + QUORVEL_VERSION,
                         "print the program's name and version and exit");
}

}  // namespace

ParsedService ParseServiceCommandLine(int argc, const char* const* argv, int cpus,
                                      std::ostream& out, std::ostream& err) {
    CLI::App app(kDescription, kProgramName);
    ServiceOptions options;
    options.workers = std::clamp(cpus, 1, kMaxWorkers);
    GivenOptions given;
    DefineOptions(app, options, given);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return {std::nullopt, 0};
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return {std::nullopt, 0};
    } catch (const CLI::ParseError& e) {
        return UsageError(err, e.what());
    }

    for (const auto& [values, value] :
         {std::pair{kColorValues, given.color}, std::pair{kSizeValues, given.size}}) {
        if (value && !values.Holds(*value)) {
            return UsageError(err,
                              std::string("--") + values.name + " must be " + ListValues(values));
        }
    }
    SettingsRequest request;
    if (!given.configPath.empty()) request.file = given.configPath;
    if (given.color) request.color = static_cast<BackgroundColor>(*given.color);
    if (given.size) request.size = static_cast<SizeMode>(*given.size);
    Result<ResolvedSettings> settings = ResolveSettings(request);
    if (settings) {
        if (Result<void> known = RequireKnownValues(*settings); !known) settings = known.error();
    }
    if (!settings) return UsageError(err, settings.error().message);
    options.settings = settings->settings;
    Result<std::pair<std::string, int>> address = ParseListenAddress(given.listen);
    if (!address) return UsageError(err, address.error().message);
    options.host = address->first;
    options.port = address->second;
    if (!given.probeListen.empty()) {
        Result<std::pair<std::string, int>> probe =
            ParseListenAddress(given.probeListen, "--probe-listen");
        if (!probe) return UsageError(err, probe.error().message);
        options.probeHost = probe->first;
        options.probePort = probe->second;
    }
    options.addressMemory = std::min(options.addressMemory, options.bodyMemory);
    options.cascade =
        given.cascade.empty() ? SystemCascadePath() : std::filesystem::path(given.cascade);
    if (given.queue->count() == 0) options.queue = 8 * options.workers;
    return {options, 0};
}

}  // namespace quorvel::service
