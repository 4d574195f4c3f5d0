#pragma once

#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>

#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"

namespace quorvel {

// Whether an audit hands back what it measured.
enum class Trace { Off, On };

// Audits photos with one face cascade and one pair of settings. The fills
// draw their marker colours from the auditor's own generator, which starts
// as a fresh thread's OpenCV generator does and carries over from one audit
// to the next: a sequence of audits gives the same verdicts whichever
// threads run them. One audit at a time per auditor.
class Auditor {
public:
    Auditor(cv::CascadeClassifier cascade, Settings settings);

    // Decodes the file and audits it.
    AuditReport Audit(const std::filesystem::path& photoFile, Trace trace = Trace::Off);

    // The audit of a photo decoded from photoFile (empty when it did not
    // decode): face detection, then the rules. The file is read again only
    // for its length. A failure inside the audit (the image library throwing,
    // memory running out) gives BadFormat with an error.
    AuditReport AuditDecoded(const cv::Mat& photo, const std::filesystem::path& photoFile,
                             Trace trace = Trace::Off);

    const Settings& settings() const { return m_settings; }
    cv::CascadeClassifier& cascade() { return m_cascade; }

    // The generator the fills draw from; its state is 0xFFFFFFFF before the first audit.
    cv::RNG& rng() { return m_rng; }

private:
    cv::CascadeClassifier m_cascade;
    Settings m_settings;
    cv::RNG m_rng;

    AuditReport RunChecks(const cv::Mat& photo, const std::filesystem::path& photoFile,
                          Trace trace);
};

}  // namespace quorvel
