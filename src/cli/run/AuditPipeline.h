#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

#include "core/audit/AuditReport.h"
#include "core/common/Result.h"
#include "core/session/Session.h"

namespace quorvel::cli {

// One audited photo as the pipeline hands it over.
struct AuditedPhoto {
    AuditReport audit;  // with its trace when asked for
    cv::Mat photo;      // the decoded photo, kept only when asked for
};

struct PipelineOptions {
    // 0: audit in the calling thread with the session's auditor, whose fills'
    // generator carries over from photo to photo as in the window. N >= 1: N
    // workers, each with its own auditor, and every photo audited as a fresh
    // window audits its first one, so that verdicts do not depend on how the
    // photos are split between workers or runs.
    int workers = 0;
    bool keepPhoto = false;  // hand over the decoded photo (for the report)
    bool trace = false;      // hand over what the audit measured, stage by stage
    // Set (by a signal handler) to stop: the photos being audited are
    // finished and delivered, no further one is begun.
    const std::atomic<bool>* stop = nullptr;
    // Where what the image library writes while decoding is taken, for the
    // photos' warnings; none: it goes to standard error.
    LibraryMessages* messages = nullptr;
};

// Receives each photo's audit, in the order of `positions`, on the calling
// thread.
using DeliverAudit = std::function<void(std::size_t position, AuditedPhoto audited)>;

// Audits photos[p] for each p of `positions` and delivers the results in that
// order as soon as each one and all before it are done. Workers read and
// audit (decoding and the checks of one photo overlap detection of another)
// while the caller saves and prints; at most a few results wait at a time.
// Fails only when a worker's cascade cannot be loaded. Returns how many
// photos were delivered.
Result<std::size_t> RunAuditPipeline(Session& session,
                                     const std::vector<std::filesystem::path>& photos,
                                     const std::vector<std::size_t>& positions,
                                     const PipelineOptions& options, const DeliverAudit& deliver);

}  // namespace quorvel::cli
