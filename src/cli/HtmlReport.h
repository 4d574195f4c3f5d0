#pragma once

#include <array>
#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::cli {

// One self-contained HTML page for a batch of audits: a summary of the
// verdicts, then one card per photo in audit order. Pictures are embedded,
// nothing is fetched, no script is needed.

struct HtmlPhotoEntry {
    std::string file;                                         // as given on the command line
    int state = 0;                                            // the verdict's number (0-6)
    std::optional<cv::Rect> face;                             // the chosen face, photo pixels
    std::optional<int> headTopRow;                            // when the head top was found
    std::optional<cv::Rect> cropFrame;                        // the accepted frame, photo pixels
    std::vector<std::pair<std::string, std::string>> values;  // measured values, label and text
    std::optional<std::string> error;                         // why the audit or the save failed
    cv::Mat photo;                                            // the decoded photo (may be empty)
    cv::Mat processed;                                        // the processed photo when it passed
};

// Longest side of a thumbnail, in pixels.
inline constexpr int kThumbnailSide = 240;

class HtmlReport {
public:
    // Renders the card at once, so that the photos need not be kept.
    void Add(const HtmlPhotoEntry& entry);

    // The whole page.
    std::string Render() const;

    // Writes the page; on failure returns why.
    std::optional<std::string> WriteTo(const std::filesystem::path& path) const;

    std::size_t Count() const { return m_cards.size(); }

private:
    std::vector<std::string> m_cards;
    std::array<int, 7> m_counts{};  // cards per verdict number
};

// The thumbnail with the face (green), the head-top row (orange) and the
// accepted crop frame (magenta) drawn on it; longest side at most 240 pixels.
cv::Mat AnnotatedThumbnail(const HtmlPhotoEntry& entry);

}  // namespace quorvel::cli
