#include "report/ReportCard.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "core/audit/Verdict.h"
#include "core/text/Encoding.h"

namespace quorvel::report {

namespace {

std::string VerdictNameOf(int verdictNumber) {
    const auto verdict = VerdictFromNumber(verdictNumber);
    return verdict ? std::string(VerdictName(*verdict)) : std::string();
}

std::string Base64(const std::vector<uchar>& bytes) {
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t n = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

double ThumbnailScale(const cv::Mat& photo) {
    const int side = std::max(photo.cols, photo.rows);
    return side > kThumbnailSide ? static_cast<double>(kThumbnailSide) / side : 1.0;
}

cv::Mat Thumbnail(const cv::Mat& photo) {
    const double scale = ThumbnailScale(photo);
    cv::Mat out;
    const cv::Size size(std::max(1, static_cast<int>(photo.cols * scale)),
                        std::max(1, static_cast<int>(photo.rows * scale)));
    cv::resize(photo, out, size, 0, 0, cv::INTER_AREA);
    return out;
}

// An <img> with the picture as an embedded JPEG (quality 80).
std::string ImageTag(const cv::Mat& picture, const std::string& alt) {
    std::vector<uchar> jpeg;
    if (picture.empty() || !cv::imencode(".jpg", picture, jpeg, {cv::IMWRITE_JPEG_QUALITY, 80})) {
        return "<div class=\"nopic\">" + HtmlEscape(alt) + ": no picture</div>";
    }
    return "<img alt=\"" + HtmlEscape(alt) + "\" width=\"" + std::to_string(picture.cols) +
           "\" height=\"" + std::to_string(picture.rows) + "\" src=\"data:image/jpeg;base64," +
           Base64(jpeg) + "\">";
}

// The few values that decided: what was measured against its limit.
std::string DecidedValues(const Explanation& reason) {
    if (!reason.measured && !reason.limit) return {};
    std::string html = "<table class=\"decided\">";
    if (reason.measured) {
        html += "<tr><th>测得 · measured</th><td>" + HtmlEscape(QuantityText(*reason.measured)) +
                "</td></tr>";
    }
    if (reason.limit) {
        html += "<tr><th>要求 · limit</th><td>" + HtmlEscape(QuantityText(*reason.limit)) +
                "</td></tr>";
    }
    return html + "</table>\n";
}

// Why a card made from a results line shows no picture of its photo.
std::string SinceAudit(PhotoSince since) {
    switch (since) {
        case PhotoSince::Same:
            break;
        case PhotoSince::Missing:
            return "<p class=\"since\" data-since=\"missing\">照片已不在审核时的位置 · the photo "
                   "is no longer where it was audited</p>\n";
        case PhotoSince::Changed:
            return "<p class=\"since\" data-since=\"changed\">照片在审核后已改动 · the photo has "
                   "changed since its audit</p>\n";
    }
    return {};
}

bool Rejected(ReportGroup group) {
    return group != ReportGroup::Passed && group != ReportGroup::NotSaved;
}

// The reason of a row in one line: what a member of staff acts on.
std::string RowReason(const HtmlPhotoEntry& entry, ReportGroup group) {
    if (group == ReportGroup::NotSaved) {
        return "未能保存 · not saved: " + ShownText(entry.error ? entry.error->message : "");
    }
    std::string text = HtmlEscape(entry.reason.text);
    if (!entry.reason.textEn.empty()) {
        text += " <span lang=\"en\">· " + ShownText(entry.reason.textEn) + "</span>";
    }
    return text;
}

}  // namespace

cv::Mat AnnotatedThumbnail(const HtmlPhotoEntry& entry) {
    if (entry.photo.empty()) return {};
    cv::Mat thumb = Thumbnail(entry.photo);
    const double scale = ThumbnailScale(entry.photo);
    auto scaled = [&](const cv::Rect& r) {
        return cv::Rect(static_cast<int>(r.x * scale), static_cast<int>(r.y * scale),
                        std::max(1, static_cast<int>(r.width * scale)),
                        std::max(1, static_cast<int>(r.height * scale)));
    };
    if (entry.cropFrame) {
        cv::rectangle(thumb, scaled(*entry.cropFrame), cv::Scalar(255, 0, 255), 1);
    }
    if (entry.headTopRow) {
        const int y = static_cast<int>(*entry.headTopRow * scale);
        cv::line(thumb, {0, y}, {thumb.cols - 1, y}, cv::Scalar(0, 140, 255), 2);
    }
    if (entry.face) cv::rectangle(thumb, scaled(*entry.face), cv::Scalar(0, 200, 0), 2);
    if (!entry.face) {
        for (const cv::Rect& face : entry.faces) {
            cv::rectangle(thumb, scaled(face), cv::Scalar(0, 200, 0), 1);
        }
    }
    return thumb;
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string ShownText(std::string_view bytes) {
    const std::string valid = ValidUtf8(bytes);
    std::string shown;
    shown.reserve(valid.size());
    for (char c : valid) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return HtmlEscape(shown);
}

std::string CardAnchor(std::uint64_t number) {
    if (number >= kUnplacedCard) return "u" + std::to_string(number - kUnplacedCard + 1);
    return "p" + std::to_string(number);
}

std::string GroupAnchor(ReportGroup group) {
    switch (group) {
        case ReportGroup::BadBackground:
            return "g-2";
        case ReportGroup::BadFormat:
            return "g-3";
        case ReportGroup::NoFace:
            return "g-4";
        case ReportGroup::BadProportion:
            return "g-5";
        case ReportGroup::TooSmall:
            return "g-6";
        case ReportGroup::Other:
            return "g-other";
        case ReportGroup::NotSaved:
            return "g-not-saved";
        case ReportGroup::Passed:
            break;
    }
    return "g-passed";
}

std::string GroupTitle(ReportGroup group) {
    switch (group) {
        case ReportGroup::BadBackground:
            return "未通过：背景 · rejected: background";
        case ReportGroup::BadFormat:
            return "未通过：无法读取 · rejected: not readable";
        case ReportGroup::NoFace:
            return "未通过：人脸 · rejected: face";
        case ReportGroup::BadProportion:
            return "未通过：头部比例 · rejected: head proportion";
        case ReportGroup::TooSmall:
            return "未通过：文件或尺寸太小 · rejected: file or size too small";
        case ReportGroup::Other:
            return "未通过：其他 · rejected: other";
        case ReportGroup::NotSaved:
            return "通过，未能保存 · passed, not saved";
        case ReportGroup::Passed:
            break;
    }
    return "通过 · passed";
}

const char* GroupSign(ReportGroup group) {
    if (group == ReportGroup::Passed) return "✓";
    if (group == ReportGroup::NotSaved) return "⚠";
    return "✗";
}

std::string VerdictLabel(int verdictNumber) {
    std::string label =
        std::to_string(verdictNumber) + " " + HtmlEscape(VerdictNameOf(verdictNumber));
    const auto verdict = VerdictFromNumber(verdictNumber);
    if (verdict && !VerdictLogText(*verdict).empty()) {
        label += " — " + HtmlEscape(std::string(VerdictLogText(*verdict)));
    }
    return label;
}

std::string RowHtml(const HtmlPhotoEntry& entry, std::uint64_t number) {
    return "<tr><td><a href=\"#" + CardAnchor(number) + "\">" + ShownText(entry.file) +
           "</a></td><td>" + RowReason(entry, GroupOf(entry)) + "</td></tr>\n";
}

std::string CardHtml(const HtmlPhotoEntry& entry, const std::filesystem::path& folder,
                     std::uint64_t number) {
    const ReportGroup group = GroupOf(entry);
    const char* kind = Rejected(group)                  ? "rejected"
                       : group == ReportGroup::NotSaved ? "not-saved"
                                                        : "passed";
    const char* kindWords = Rejected(group)                  ? "未通过 · rejected"
                            : group == ReportGroup::NotSaved ? "未能保存 · not saved"
                                                             : "通过 · passed";
    const std::string name = ShownText(entry.file);
    std::string card = "<div class=\"card\" id=\"" + CardAnchor(number) + "\" data-file=\"" + name +
                       "\" data-state=\"" + std::to_string(entry.verdictNumber) +
                       "\" data-kind=\"" + kind + "\">\n<h3><span class=\"sign\">" +
                       GroupSign(group) + " " + kindWords + "</span> " + name +
                       "</h3>\n<div class=\"pics\">";
    card += ImageTag(AnnotatedThumbnail(entry), "photo");
    if (!entry.processed.empty()) card += ImageTag(Thumbnail(entry.processed), "processed photo");
    card += "</div>\n";

    const Explanation& reason = entry.reason;
    if (!reason.text.empty()) {
        card += "<p class=\"reason\" lang=\"zh\">" + HtmlEscape(reason.text) + "</p>\n";
    }
    if (!reason.textEn.empty()) {
        card += "<p class=\"reason-en\" lang=\"en\">" + ShownText(reason.textEn) + "</p>\n";
    }
    if (!reason.advice.empty() || !reason.adviceEn.empty()) {
        card += "<p class=\"advice\">下一步：" + HtmlEscape(reason.advice) +
                " <span lang=\"en\">· next: " + HtmlEscape(reason.adviceEn) + "</span></p>\n";
    }
    if (entry.note) {
        card += "<p class=\"note\" data-rule=\"" + HtmlEscape(entry.note->rule) + "\">提示：" +
                HtmlEscape(entry.note->text) +
                " <span lang=\"en\">· note: " + HtmlEscape(entry.note->textEn) + "</span></p>\n";
    }
    if (entry.error) {
        card += "<p class=\"error\">" + ShownText(entry.error->message) + "</p>\n";
    }
    card += SinceAudit(entry.since);
    for (const std::string& warning : entry.warnings) {
        card += "<p class=\"warning\">解码警告 · decoder warning: " + ShownText(warning) + "</p>\n";
    }
    card += DecidedValues(reason);

    card += "<p class=\"files\"><a class=\"original\" href=\"" +
            HtmlEscape(LinkFrom(folder, entry.path)) + "\">原照片 · original photo</a>";
    if (entry.savedPath) {
        card += " <a class=\"saved\" href=\"" + HtmlEscape(LinkFrom(folder, *entry.savedPath)) +
                "\">处理后文件 · processed file</a>";
    }
    card += "</p>\n<p class=\"verdict\">" + VerdictLabel(entry.verdictNumber) + "</p>\n";

    if (!entry.values.empty()) {
        card +=
            "<details class=\"trace\"><summary>全部测量值 · all measured values</summary>"
            "<table class=\"values\">";
        for (const MeasuredValue& value : entry.values) {
            card += "<tr><td>" + HtmlEscape(value.label) + "</td><td>" +
                    ShownText(QuantityText(value)) + "</td></tr>";
        }
        card += "</table></details>\n";
    }
    return card + "</div>\n";
}

const char* const kReportStyle =
    "body{font-family:sans-serif;margin:16px;background:#f4f4f4;color:#222}"
    "h1{font-size:20px}h2{font-size:17px;margin:24px 0 8px;padding:6px 10px;background:#fff;"
    "border-left:6px solid #c33}"
    "section[data-kind=\"passed\"]>h2{border-left-color:#2a2}"
    "section[data-kind=\"not-saved\"]>h2{border-left-color:#d80}"
    "table.summary,table.index{border-collapse:collapse;margin-bottom:12px;background:#fff}"
    "table.summary td,table.summary th,table.index td,table.index th{border:1px solid #bbb;"
    "padding:3px 8px;text-align:left;vertical-align:top}"
    "table.index{font-size:13px}table.index td:first-child{word-break:break-all;max-width:40ch}"
    ".cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(330px,1fr));gap:12px}"
    ".card{background:#fff;border:1px solid #ccc;border-left:6px solid #c33;padding:8px;"
    "box-sizing:border-box;min-width:0;font-size:14px;break-inside:avoid;page-break-inside:avoid}"
    ".card[data-kind=\"passed\"]{border-left-color:#2a2}"
    ".card[data-kind=\"not-saved\"]{border-left-color:#d80}"
    ".card h3{font-size:14px;margin:0 0 6px;word-break:break-all}"
    ".sign{display:inline-block;padding:0 6px;border-radius:3px;color:#fff;background:#c33;"
    "font-size:12px}"
    ".card[data-kind=\"passed\"] .sign{background:#2a2}"
    ".card[data-kind=\"not-saved\"] .sign{background:#b60}"
    ".pics{display:flex;flex-wrap:wrap;gap:8px;align-items:flex-start}"
    ".pics img{max-width:100%;height:auto}"
    ".reason{font-weight:bold;font-size:15px;margin:6px 0 0}.reason-en{margin:0 0 4px}"
    ".advice{margin:4px 0;color:#245;font-size:13px}"
    ".note{margin:4px 0;padding:2px 6px;border-left:3px solid #d80;color:#630;font-size:13px}"
    ".decided{font-size:12px;border-collapse:collapse}.decided th{text-align:left;"
    "font-weight:normal;color:#555;padding-right:8px}"
    ".files{font-size:13px}.files a{margin-right:12px}"
    ".verdict{font-size:11px;color:#666;margin:4px 0}"
    ".values{font-size:11px;border-collapse:collapse}.values td{padding:1px 6px 1px 0}"
    "details.trace{font-size:12px}"
    ".error{color:#b00}.since,.warning{color:#630;font-size:13px;margin:4px "
    "0}.nopic{width:120px;height:60px;background:#ddd;font-size:11px}"
    ".legend span{display:inline-block;margin-right:12px}nav.pages a{margin-right:10px}"
    "@page{size:A4;margin:12mm}"
    "@media print{body{background:#fff;margin:0}.cards{grid-template-columns:repeat(2,1fr)}"
    "h2{break-after:avoid}tr{break-inside:avoid}}";

std::string HeadHtml(const ReportHead& head, std::size_t total) {
    constexpr std::size_t kNamesShown = 100;
    std::string html = "<p class=\"covers\">" + HtmlEscape(head.version) + " · " +
                       HtmlEscape(head.date) + " · 设置 settings: " + HtmlEscape(head.settings) +
                       "</p>\n<p class=\"covers\">" + std::to_string(total) +
                       (total == 1 ? " photo" : " photos") + ": ";
    if (!head.sources.empty()) {
        html += "from the results ";
        for (std::size_t i = 0; i < head.sources.size() && i < kNamesShown; ++i) {
            html += (i > 0 ? ", " : "") + ShownText(head.sources[i]);
        }
        if (head.sources.size() > kNamesShown) {
            html += " … (" + std::to_string(head.sources.size() - kNamesShown) + " more)";
        }
    } else {
        html += std::to_string(total - head.earlier) + " of this run";
        if (head.earlier > 0) {
            html += ", " + std::to_string(head.earlier) + " of earlier runs (--resume)";
        }
    }
    if (head.interrupted) html += "; the run was interrupted before its end";
    html += "</p>\n";
    if (!head.unreadable.empty()) {
        html += "<p class=\"unreadable\">无法读取 · could not be read (" +
                std::to_string(head.unreadable.size()) + "): ";
        for (std::size_t i = 0; i < head.unreadable.size() && i < kNamesShown; ++i) {
            html += (i > 0 ? ", " : "") + ShownText(head.unreadable[i]);
        }
        if (head.unreadable.size() > kNamesShown) {
            html += " … (" + std::to_string(head.unreadable.size() - kNamesShown) + " more)";
        }
        html += "</p>\n";
    }
    return html;
}

}  // namespace quorvel::report
