#include "cli/run/RunSetup.h"

#include <unistd.h>

#include <algorithm>

#include "core/common/ErrorText.h"
#include "core/io/ImageFiles.h"
#include "report/HtmlReport.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

// The roles of the files of a run, as the refusals name them.
constexpr const char* kSettingsRole = "the settings (--config)";
constexpr const char* kCascadeRole = "the face cascade (--cascade)";
constexpr const char* kListRole = "the list (--files-from)";
constexpr const char* kResultsRole = "the results (--resume)";
constexpr const char* kPhotoRole = "the photo";
constexpr const char* kSavedRole = "the saved photo (--out)";

std::string PageRole(std::size_t page) {
    return page == 1 ? std::string("the report (--report)")
                     : "page " + std::to_string(page) + " of the report (--report)";
}

}  // namespace

Result<void> CheckRunFiles(const AuditOptions& options, const Session& session,
                           const OutputPlan& plan, RunFiles& files) {
    using Access = RunFiles::Access;
    auto add = [&files](const fs::path& path, const std::string& role, Access access) {
        return files.Add(path, role, access);
    };
    if (!options.color || !options.size) {
        if (Result<void> r = add(options.configPath, kSettingsRole, Access::Read); !r) return r;
    }
    if (Result<void> r = add(session.cascadePath(), kCascadeRole, Access::Read); !r) return r;
    if (options.filesFrom && *options.filesFrom != "-") {
        if (Result<void> r = add(*options.filesFrom, kListRole, Access::Read); !r) return r;
    }
    if (options.resumePath) {
        if (Result<void> r = add(*options.resumePath, kResultsRole, Access::Write); !r) return r;
    }
    if (Result<void> r = files.AddDescriptor(STDOUT_FILENO, "standard output"); !r) return r;
    if (Result<void> r = CheckReportPages(options, plan.size(), 1, files); !r) return r;
    if (options.outDir) {
        for (std::size_t position = 0; position < plan.size(); ++position) {
            if (Result<void> r = files.CheckWrite(plan.Output(position), kSavedRole); !r) return r;
        }
    }
    for (std::size_t position = 0; position < plan.size(); ++position) {
        if (Result<void> r = files.Add(plan.Photo(position), kPhotoRole, Access::Read); !r) {
            return r;
        }
    }
    return {};
}

std::size_t ReportPages(std::size_t cards) {
    return std::max<std::size_t>(1, (cards + report::kCardsPerPage - 1) / report::kCardsPerPage);
}

Result<void> CheckReportPages(const AuditOptions& options, std::size_t cards, std::size_t firstPage,
                              RunFiles& files) {
    if (!options.reportPath) return {};
    for (std::size_t page = firstPage; page <= ReportPages(cards); ++page) {
        const fs::path path = report::ReportPagePath(*options.reportPath, page);
        if (Result<void> target = CheckReportTarget(path); !target) return target;
        if (Result<void> r = files.Add(path, PageRole(page), RunFiles::Access::Write); !r) {
            return r;
        }
    }
    return {};
}

Result<void> OpenRunFolders(const AuditOptions& options, RunFolders& folders,
                            TemporaryFiles* temporaries) {
    if (options.outDir) {
        Result<OpenFolder> out = OpenFolder::Open(*options.outDir, true);
        if (!out) return out.error();
        folders.out.emplace(std::move(out).value());
    }
    if (options.reportPath) {
        if (HasImageExtension(*options.reportPath, ExtensionCase::Any)) {
            return Fail(ErrorKind::Refused, "the report " + Quoted(*options.reportPath) +
                                                " has the name of an image file; give a name "
                                                "ending in .html");
        }
        const fs::path parent = options.reportPath->parent_path();
        Result<OpenFolder> report = OpenFolder::Open(parent.empty() ? "." : parent, false);
        if (!report) {
            Error error = report.error();
            error.message = "cannot write the report: " + error.message;
            return error;
        }
        folders.report.emplace(std::move(report).value());
        // One run at a time writes a report: a second would replace the
        // first's with its own photos alone.
        const fs::path lockName = "." + options.reportPath->filename().string() + ".lock";
        Result<NameLock> lock = NameLock::Take(*folders.report, lockName, temporaries);
        if (!lock) {
            if (lock.error().kind == ErrorKind::Refused) {
                return Fail(ErrorKind::Refused,
                            "the report " + Quoted(*options.reportPath) +
                                " is being written by another run of quorvel-audit; let it "
                                "finish, or give each run its own report file",
                            lock.error().systemError, *options.reportPath);
            }
            Error error = lock.error();
            error.message = "cannot write the report: " + error.message;
            return error;
        }
        folders.reportLock.emplace(std::move(lock).value());
    }
    return {};
}

}  // namespace quorvel::cli
