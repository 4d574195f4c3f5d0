#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "report/HtmlReport.h"

namespace quorvel::report {

// The pieces of the report's pages, as HTML.

// Text escaped for element content and attribute values.
std::string HtmlEscape(std::string_view text);

// Bytes that may hold a name (a file name, a message naming a file) as
// text: invalid UTF-8 as U+FFFD, control characters as "\xNN", then escaped.
std::string ShownText(std::string_view bytes);

// The head of the first page: what the report covers (`total` photos).
std::string HeadHtml(const ReportHead& head, std::size_t total);

// The anchor of the card with the given number: "p17" for the photo at
// position 16 of the list, "u3" for the third card without a position.
std::string CardAnchor(std::uint64_t number);

// The card of one photo; links are relative to `folder`.
std::string CardHtml(const HtmlPhotoEntry& entry, const std::filesystem::path& folder,
                     std::uint64_t number);

// The row of the group's table: the file, linked to its card, and the reason.
std::string RowHtml(const HtmlPhotoEntry& entry, std::uint64_t number);

// "g-4", the anchor of a group on a page.
std::string GroupAnchor(ReportGroup group);

// The heading words of a group, e.g. "未通过：没有合格人脸 · rejected: no usable face".
std::string GroupTitle(ReportGroup group);

// "✗", "⚠" or "✓": the sign of a group, beside its words so that colour is
// not the only mark.
const char* GroupSign(ReportGroup group);

// "4 AUDIT_NO_FACE — 不是纯背景，或者背景复杂，识别出错！": the verdict's number,
// name and stored text, escaped.
std::string VerdictLabel(int verdictNumber);

// The style sheet of every page.
extern const char* const kReportStyle;

}  // namespace quorvel::report
