#pragma once

#include <filesystem>
#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>

#include "core/audit/AuditReport.h"
#include "core/audit/PhotoRules.h"
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

    // A file's audit and the photo decoded from it (empty when none was).
    struct AuditedFile {
        AuditReport report;
        cv::Mat photo;
    };

    // Decodes the file and audits it. Reading the file running out of
    // memory gives BadFormat with an OutOfMemory failure, as a failure
    // inside the audit does.
    AuditedFile AuditFile(const std::filesystem::path& photoFile, Trace trace = Trace::Off);
    AuditReport Audit(const std::filesystem::path& photoFile, Trace trace = Trace::Off) {
        return AuditFile(photoFile, trace).report;
    }
    // The same for a file already open; `walked` as for DecodePhoto.
    AuditedFile AuditFile(const RegularFile& file, Trace trace,
                          const ImageStructure* walked = nullptr);

    // The audit of a photo read by DecodePhoto: face detection, then the
    // rules, with the file length measured when it was read (the file is not
    // opened again). A failure inside the audit (the image library throwing,
    // memory running out) gives BadFormat with an error.
    AuditReport AuditDecoded(const DecodedPhoto& photo, Trace trace = Trace::Off);

    // With `messages`, what the image library writes to standard error while
    // it decodes becomes the photo's warnings (AuditReport::warnings).
    void CaptureLibraryMessages(LibraryMessages* messages) { m_messages = messages; }

    const Settings& settings() const { return m_settings; }
    cv::CascadeClassifier& cascade() { return m_cascade; }

    // The generator the fills draw from; its state is 0xFFFFFFFF before the first audit.
    cv::RNG& rng() { return m_rng; }

    // Puts the generator back as before the first audit, so that the next
    // photo is audited as a fresh window audits its first photo.
    void RestartGenerator() { m_rng = cv::RNG(kFreshGeneratorState); }

    static constexpr std::uint64_t kFreshGeneratorState = 0xFFFFFFFFu;

private:
    cv::CascadeClassifier m_cascade;
    Settings m_settings;
    cv::RNG m_rng;
    LibraryMessages* m_messages = nullptr;

    AuditReport RunChecks(const DecodedPhoto& photo, Trace trace);
    AuditedFile AuditRead(Trace trace, const std::function<DecodedPhoto()>& read);
};

}  // namespace quorvel
