#include "support/FrontEnds.h"

#include <gtest/gtest.h>

#include <variant>

#include "core/session/Session.h"
#include "support/RunAudit.h"
#include "support/TestSupport.h"

namespace frontends {

namespace fs = std::filesystem;

std::string Name(FrontEnd frontEnd) { return frontEnd == FrontEnd::Window ? "Window" : "Cli"; }

namespace {

std::vector<Outcome> ThroughWindowSession(const std::vector<fs::path>& photos, int color,
                                          int size) {
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir / "cfg.ini", "[set]\ncolor=" + std::to_string(color) +
                                                 "\nsize=" + std::to_string(size) + "\n");
    fs::copy_file(QUORVEL_TEST_CASCADE, dir / "haarcascade_frontalface_alt2.xml");
    testsupport::ScopedCwd cwd(dir.path());

    auto opened = quorvel::Session::Open(quorvel::WindowSessionOptions());
    if (!opened.ok()) {
        ADD_FAILURE() << "the window's session did not start";
        return {};
    }
    quorvel::Session& session = *opened;
    std::vector<Outcome> outcomes;
    for (const fs::path& photo : photos) {
        const quorvel::AuditReport report = session.Audit(photo);
        Outcome outcome{report.verdict, report.face, std::nullopt};
        if (!report.processedPhoto.empty()) outcome.processed = report.processedPhoto.size();
        outcomes.push_back(outcome);
    }
    return outcomes;
}

std::vector<Outcome> ThroughCli(const std::vector<fs::path>& photos, int color, int size) {
    testsupport::TempDir dir;
    std::vector<std::string> args = {"--color",   std::to_string(color),
                                     "--size",    std::to_string(size),
                                     "--cascade", QUORVEL_TEST_CASCADE};
    for (const fs::path& photo : photos) args.push_back(photo.string());
    const clitest::RunOutput run = clitest::RunAudit(args, dir.path());
    std::vector<Outcome> outcomes;
    for (const nlohmann::json& line : run.Lines()) {
        Outcome outcome;
        outcome.verdict = *quorvel::VerdictFromNumber(line.at("state").get<int>());
        if (line.at("face").is_array()) {
            const auto& f = line.at("face");
            outcome.face =
                cv::Rect(f[0].get<int>(), f[1].get<int>(), f[2].get<int>(), f[3].get<int>());
        }
        if (line.at("processed").is_object()) {
            outcome.processed = cv::Size(line["processed"]["width"].get<int>(),
                                         line["processed"]["height"].get<int>());
        }
        outcomes.push_back(outcome);
    }
    return outcomes;
}

}  // namespace

std::vector<Outcome> AuditThrough(FrontEnd frontEnd, const std::vector<fs::path>& photos, int color,
                                  int size) {
    return frontEnd == FrontEnd::Window ? ThroughWindowSession(photos, color, size)
                                        : ThroughCli(photos, color, size);
}

}  // namespace frontends
