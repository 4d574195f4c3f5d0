// quorvel-crafted-cost: the CPU time and peak memory that each kind of
// crafted file costs the audit (quorvel-audit and the window) and the
// verifier (--verify and each request of quorvel-verifyd), beside what
// decoding it would cost, what a well-formed photo of its size costs, and
// what the walk of a file's structure adds to the audit of a camera's photo.
// The CPU times are beyond the start-up (loading the cascade).
// docs/batch.md and docs/service.md quote its table. Each measurement runs in
// a process of its own (this program run again); its CPU time comes from the
// kernel (wait4), its peak resident memory from its own VmHWM.
//
//   quorvel-crafted-cost [BYTES]    the crafted files' size, default 4 MiB
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "core/audit/Auditor.h"
#include "core/io/ImageStructure.h"
#include "core/session/Session.h"
#include "core/verify/GenuinePhoto.h"
#include "support/CraftedFiles.h"

namespace {

struct Cost {
    double cpuSeconds = 0;
    double peakMiB = 0;
    std::string outcome;
};

std::string g_self;  // this program, run again for each measurement

// Runs this program again as `--measure WHAT FILE`, so that each measurement
// starts from a fresh process; its outcome comes back on its standard output.
Cost Measure(const std::string& what, const std::filesystem::path& path) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execl(g_self.c_str(), g_self.c_str(), "--measure", what.c_str(), path.c_str(), nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string outcome;
    char buffer[256];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        outcome.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    // The child's own peak (VmHWM, after its last line): ru_maxrss would also
    // count the copy of this process it was forked as.
    const std::size_t tab = outcome.rfind('\t');
    const double peak = tab == std::string::npos ? 0 : std::atof(outcome.c_str() + tab + 1) / 1024;
    return {cpu, peak, outcome.substr(0, tab)};
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
}

cv::CascadeClassifier Cascade() { return cv::CascadeClassifier(quorvel::SystemCascadePath()); }

std::string AuditOutcome(const std::filesystem::path& path) {
    quorvel::Auditor auditor(Cascade(), {quorvel::BackgroundColor::Any, quorvel::SizeMode::Mode1});
    const quorvel::AuditReport report = auditor.Audit(path, quorvel::Trace::On);
    return std::string(quorvel::VerdictName(report.verdict)) +
           std::string(report.trace && report.trace->refusedCost ? " (cost)" : "");
}

std::string VerifyOutcome(const std::filesystem::path& path) {
    cv::CascadeClassifier cascade = Cascade();
    const quorvel::GenuineCheck check = quorvel::CheckGenuinePhotoFile(
        path, cascade, {quorvel::BackgroundColor::Any, quorvel::SizeMode::Mode1});
    for (const quorvel::VerifyCheck& c : check.checks) {
        if (!c.passed) return c.explanation.rule;
    }
    return check.genuine ? "genuine" : "not genuine";
}

std::string WalkOutcome(const std::filesystem::path& path) {
    quorvel::Result<quorvel::RegularFile> file = quorvel::RegularFile::Open(path);
    if (!file) return file.error().message;
    const quorvel::Result<quorvel::ImageStructure> walk = quorvel::WalkImage(*file);
    return walk ? std::to_string(walk->work.scans) + " scans" : walk.error().message;
}

std::string DecodeOutcome(const std::filesystem::path& path) {
    const cv::Mat decoded = cv::imread(path.string(), cv::IMREAD_COLOR);
    return std::to_string(decoded.cols) + " x " + std::to_string(decoded.rows);
}

void Row(const std::string& what, const std::filesystem::path& path, bool decode) {
    const auto bytes = std::filesystem::file_size(path);
    const Cost start = Measure("start", path);
    const Cost none = Measure("none", path);
    const Cost audit = Measure("audit", path);
    const Cost verify = Measure("verify", path);
    const Cost walk = Measure("walk", path);
    std::printf("| %s | %.0f kB | %.3f s | ", what.c_str(), static_cast<double>(bytes) / 1000,
                walk.cpuSeconds - none.cpuSeconds);
    if (decode) {
        const Cost decoded = Measure("decode", path);
        std::printf("%.2f s, %.0f MiB | ", decoded.cpuSeconds - none.cpuSeconds, decoded.peakMiB);
    } else {
        std::printf("– | ");
    }
    std::printf("%.3f s, %.0f MiB, %s | %.3f s, %.0f MiB, %s |\n",
                audit.cpuSeconds - start.cpuSeconds, audit.peakMiB, audit.outcome.c_str(),
                verify.cpuSeconds - start.cpuSeconds, verify.peakMiB, verify.outcome.c_str());
    std::fflush(stdout);
}

int MeasureOne(const std::string& what, const std::filesystem::path& path) {
    std::string outcome;
    if (what == "start") outcome = Cascade().empty() ? "no cascade" : "loaded";
    if (what == "audit") outcome = AuditOutcome(path);
    if (what == "verify") outcome = VerifyOutcome(path);
    if (what == "decode") outcome = DecodeOutcome(path);
    if (what == "walk") outcome = WalkOutcome(path);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            outcome += "\t" + std::to_string(std::atol(line.c_str() + 6));
    }
    std::fputs(outcome.c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    g_self = std::filesystem::canonical("/proc/self/exe").string();
    if (argc == 4 && std::string(argv[1]) == "--measure") return MeasureOne(argv[2], argv[3]);
    const std::size_t budget = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4u << 20;
    const bool decode = std::getenv("QUORVEL_SKIP_DECODE") == nullptr;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quorvel-crafted-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    cv::Mat photo = cv::imread(std::string(QUORVEL_TEST_DATA_DIR) + "/id_blue.jpg");
    const Cost start = Measure("start", dir);
    std::printf("Start-up (the cascade loaded): %.3f s of CPU, %.0f MiB at its peak.\n\n",
                start.cpuSeconds, start.peakMiB);
    std::printf(
        "| file | size | the walk alone (CPU) | decoding it alone (CPU, peak) | audit "
        "(CPU, peak, verdict) | verify (CPU, peak, first problem) |\n");
    std::printf("|---|---|---|---|---|---|\n");
    // Well-formed photos of a camera's size: what the walk adds to their audit.
    cv::Mat large;
    cv::resize(photo, large, {3000, 4000}, 0, 0, cv::INTER_CUBIC);
    cv::Mat grain(large.size(), CV_8UC3);
    cv::randn(grain, cv::Scalar::all(0), cv::Scalar::all(6));
    large += grain;
    for (const char* extension : {".jpg", ".png"}) {
        std::vector<uchar> encoded;
        cv::imencode(extension, large, encoded,
                     {cv::IMWRITE_JPEG_QUALITY, 92, cv::IMWRITE_JPEG_PROGRESSIVE, 1});
        const std::filesystem::path path = dir / (std::string("camera") + extension);
        Write(path, std::string(encoded.begin(), encoded.end()));
        Row(std::string("well-formed ") + (extension[1] == 'j' ? "progressive JPEG" : "PNG") +
                ", 3000 × 4000",
            path, decode);
    }
    for (const cv::Size size : {cv::Size(400, 600), cv::Size(295, 413)}) {
        cv::Mat scaled;
        cv::resize(photo, scaled, size, 0, 0, cv::INTER_AREA);
        const std::string label = std::to_string(size.width) + " × " + std::to_string(size.height);
        Write(dir / "photo.jpg", crafted::WithPassMarker([&] {
                  std::vector<uchar> jpeg;
                  cv::imencode(".jpg", scaled, jpeg);
                  return std::string(jpeg.begin(), jpeg.end());
              }()));
        Row("well-formed JPEG, " + label + ", marker", dir / "photo.jpg", decode);
        std::vector<std::string> names;
        {
            std::vector<crafted::File> files =
                crafted::AllKinds(scaled, budget, std::size_t{4096} << 20);
            for (const crafted::File& file : files) {
                names.push_back(file.name);
                Write(dir / file.name, crafted::WithPassMarker(file.bytes));
            }
        }
        for (const std::string& name : names)
            Row(name + ", " + label + ", marker", dir / name, decode);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
