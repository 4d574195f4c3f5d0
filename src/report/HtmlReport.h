#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/common/Result.h"
#include "core/explain/Explanation.h"
#include "core/io/AtomicFile.h"
#include "core/io/ScratchFiles.h"

namespace quorvel::report {

// A self-contained HTML report of a batch of audits, ordered for action:
// the counts, then the rejected photos grouped by verdict (2 to 6), then the
// passed photos whose save failed or was refused, then the passed ones. Each
// group opens with a table (file, reason) linking to its cards. Pictures are
// embedded, nothing is fetched, no script is needed.
//
// Cards are rendered as they are added and spooled to an unlinked file beside
// the report, so memory does not grow with the number of photos. Beyond
// kCardsPerPage cards the report is a set of pages ("r.html", "r-2.html",
// ...); the first holds the counts and the links to every page.

// The photo of a card made from a results line, since its audit.
enum class PhotoSince {
    Same,     // there, and the file as it was (or the card was made at the audit)
    Missing,  // no longer there
    Changed,  // another length or time: its picture would not be the one audited
};

struct HtmlPhotoEntry {
    std::filesystem::path path;                      // the photo, bytes as given
    std::string file;                                // its name as shown (valid UTF-8)
    int verdictNumber = 0;                           // the verdict's number (0-6)
    Explanation reason;                              // why, with the limit and advice
    std::optional<Explanation> note;                 // an advisory rule's finding
    std::optional<cv::Rect> face;                    // the chosen face, photo pixels
    std::vector<cv::Rect> faces;                     // the detector's faces when none was chosen
    std::optional<int> headTopRow;                   // when the head top was found
    std::optional<cv::Rect> cropFrame;               // the accepted frame, photo pixels
    std::vector<MeasuredValue> values;               // what the audit measured
    std::optional<std::filesystem::path> savedPath;  // the processed file written
    std::optional<Error> error;                      // why the audit or the save failed
    cv::Mat photo;                                   // the decoded photo (may be empty)
    cv::Mat processed;                               // the processed photo when it passed
    std::optional<std::size_t> position;  // its place in the run's list: the card's order
    std::vector<std::string> warnings;    // what the decoder said about the photo
    PhotoSince since = PhotoSince::Same;  // the photo since its audit
};

// The numbers of cards without a position in the run's list start here,
// beyond any list; their anchors are "u1", "u2", ... in the order added.
inline constexpr std::uint64_t kUnplacedCard = std::uint64_t{1} << 48;

// Longest side of a thumbnail, in pixels.
inline constexpr int kThumbnailSide = 240;

// Most cards on one page of the report.
inline constexpr std::size_t kCardsPerPage = 500;

// The groups of the report, in page order.
enum class ReportGroup : std::uint8_t {
    BadBackground,  // verdict 2
    BadFormat,      // verdict 3
    NoFace,         // verdict 4
    BadProportion,  // verdict 5
    TooSmall,       // verdict 6
    Other,          // a verdict number outside 1..6
    NotSaved,       // passed, but the save failed or was refused
    Passed,         // passed (and saved, when a save was asked for)
};
inline constexpr std::size_t kReportGroupCount = 8;

// The group a card belongs to.
ReportGroup GroupOf(const HtmlPhotoEntry& entry);

// What the report covers, stated at the head of its first page.
struct ReportHead {
    std::string settings;                 // "color 3, size 1"
    std::string version;                  // the tool's name and version
    std::string date;                     // when the report was written
    std::size_t earlier = 0;              // photos from the results of earlier runs
    std::vector<std::string> sources;     // the results files a report was made from alone
    bool interrupted = false;             // the run was stopped before its end
    std::vector<std::string> unreadable;  // the inputs that could not be read
};

class HtmlReport {
public:
    // Checks that the report can be written at `path` and prepares the spool.
    // With `folder` (the path's folder, opened), every page and the spool
    // are written relative to it; it must stay open until Finish.
    static Result<HtmlReport> Begin(const std::filesystem::path& path,
                                    TemporaryFiles* temporaries = nullptr,
                                    const OpenFolder* folder = nullptr);

    // Renders the card of one photo at once, so that the photos need not be
    // kept. Within their group cards follow their position in the run's
    // list (the input order), whatever order they are added in; cards
    // without one follow, in the order of the calls. A card's anchor is its
    // position ("p1" for the first photo of the list).
    void Add(const HtmlPhotoEntry& entry);

    // Writes the pages, each through the atomic writer, the first page last.
    Result<void> Finish();

    std::size_t Count() const { return m_total; }

    void SetHead(ReportHead head) { m_head = std::move(head); }

private:
    HtmlReport() = default;

    // Where a card and its table row lie in the spool.
    struct Spooled {
        std::uint64_t offset = 0;
        std::uint32_t cardBytes = 0;
        std::uint32_t rowBytes = 0;
        std::uint64_t order = 0;  // the card's place within its group
    };

    // The card's number for its anchor and place: its position, or after
    // every position when it has none (or shares one with another card).
    std::uint64_t NumberOf(const HtmlPhotoEntry& entry);
    Result<void> Spool(const std::string& row, const std::string& card, ReportGroup group,
                       std::uint64_t order);
    Result<std::string> ReadSpool(std::uint64_t offset, std::size_t size) const;
    // The pieces of a page (pages are numbered from 1).
    std::string PageHref(std::size_t page, std::size_t from) const;  // empty on the page itself
    std::string PageNav(std::size_t page, std::size_t pages) const;
    std::string CountsTable() const;
    std::string PageIndex(std::size_t pages) const;
    // The group's heading, its table and its cards from..to (within the group).
    Result<void> WriteSection(AtomicFile& file, ReportGroup group, std::size_t from,
                              std::size_t to) const;
    Result<void> WritePage(AtomicFile& file, std::size_t page, std::size_t pages) const;

    // A page's file begun through the open folder, or by its path.
    Result<AtomicFile> BeginPage(std::size_t page) const;

    std::filesystem::path m_path;             // the first page, as given
    const OpenFolder* m_open = nullptr;       // its folder, opened at the start
    TemporaryFiles* m_temporaries = nullptr;  // files being written, for a signal handler
    std::filesystem::path m_folder;           // its folder, absolute: the base of the links
    std::optional<AtomicFile> m_first;        // the first page, begun early to check the target
    std::optional<SpoolFile> m_spool;         // rows and cards, out of memory
    std::uint64_t m_spoolSize = 0;
    std::optional<Error> m_spoolError;  // the first failed spool write
    std::array<std::vector<Spooled>, kReportGroupCount> m_groups;
    std::array<std::size_t, 7> m_counts{};  // cards per verdict number
    std::size_t m_total = 0;
    std::unordered_set<std::uint64_t> m_numbers;  // the cards' numbers so far
    ReportHead m_head;
};

// The name of page `page` (1-based) of the report at `first`: the first page
// itself, then "<stem>-<page><extension>" beside it.
std::filesystem::path ReportPagePath(const std::filesystem::path& first, std::size_t page);

// The href of `target` from a page in `folder` (absolute): a relative path
// with every byte outside [A-Za-z0-9-._~/] percent-encoded, or a file:// URL
// when no relative path exists.
std::string LinkFrom(const std::filesystem::path& folder, const std::filesystem::path& target);

// The thumbnail with the face (green; the detector's faces thinner when none
// was chosen), the head-top row (orange) and the accepted crop frame
// (magenta) drawn on it; longest side at most 240 pixels.
cv::Mat AnnotatedThumbnail(const HtmlPhotoEntry& entry);

}  // namespace quorvel::report
