#include "cli/HtmlReport.h"

#include <algorithm>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/audit/Verdict.h"
#include "core/log/ActivityLog.h"

namespace quorvel::cli {

namespace {

constexpr int kPassedNumber = VerdictNumber(Verdict::Passed);

// The name of a verdict number, e.g. "AUDIT_PASSED"; empty for other numbers.
std::string VerdictNameOf(int state) {
    const auto verdict = VerdictFromNumber(state);
    return verdict ? std::string(VerdictName(*verdict)) : std::string();
}

std::string Escape(const std::string& text) {
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

// "1 AUDIT_PASSED — 图像审核成功！": the number, the name and the Chinese text
// of a verdict, escaped for the page.
std::string VerdictLabel(int state) {
    std::string label = std::to_string(state) + " " + Escape(VerdictNameOf(state));
    const auto verdict = VerdictFromNumber(state);
    if (verdict && !VerdictLogText(*verdict).empty()) {
        label += " — " + Escape(std::string(VerdictLogText(*verdict)));
    }
    return label;
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
        return "<div class=\"nopic\">" + Escape(alt) + ": no picture</div>";
    }
    return "<img alt=\"" + Escape(alt) + "\" width=\"" + std::to_string(picture.cols) +
           "\" height=\"" + std::to_string(picture.rows) + "\" src=\"data:image/jpeg;base64," +
           Base64(jpeg) + "\">";
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:16px;background:#f4f4f4;color:#222}"
    "h1{font-size:20px}table.summary{border-collapse:collapse;margin-bottom:16px}"
    "table.summary td,table.summary th{border:1px solid #bbb;padding:4px 10px;text-align:left}"
    ".cards{display:flex;flex-wrap:wrap;gap:12px}"
    ".card{background:#fff;border:1px solid #ccc;border-left:6px solid #c33;padding:8px;"
    "width:520px;box-sizing:border-box}"
    ".card[data-state=\"1\"]{border-left-color:#2a2}"
    ".card h2{font-size:14px;margin:0 0 6px;word-break:break-all}"
    ".pics{display:flex;gap:8px;align-items:flex-start}"
    ".verdict{font-weight:bold;margin:6px 0}"
    ".values{font-size:11px;border-collapse:collapse}.values td{padding:1px 6px 1px 0}"
    ".error{color:#c33}.nopic{width:120px;height:60px;background:#ddd;font-size:11px}"
    ".legend span{display:inline-block;margin-right:12px}";

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
    return thumb;
}

void HtmlReport::Add(const HtmlPhotoEntry& entry) {
    if (entry.state >= 0 && entry.state < kVerdictCount) {
        ++m_counts[static_cast<std::size_t>(entry.state)];
    }
    std::string card = "<div class=\"card\" data-file=\"" + Escape(entry.file) +
                       "\" data-state=\"" + std::to_string(entry.state) + "\">\n<h2>" +
                       Escape(entry.file) + "</h2>\n<div class=\"pics\">";
    card += ImageTag(AnnotatedThumbnail(entry), "photo");
    if (entry.state == kPassedNumber && !entry.processed.empty()) {
        card += ImageTag(Thumbnail(entry.processed), "processed photo");
    }
    card += "</div>\n<div class=\"verdict\">" + VerdictLabel(entry.state) + "</div>\n";
    if (entry.error) card += "<div class=\"error\">" + Escape(*entry.error) + "</div>\n";
    if (!entry.values.empty()) {
        card += "<table class=\"values\">";
        for (const auto& [label, value] : entry.values) {
            card += "<tr><td>" + Escape(label) + "</td><td>" + Escape(value) + "</td></tr>";
        }
        card += "</table>\n";
    }
    card += "</div>\n";
    m_cards.push_back(std::move(card));
}

std::string HtmlReport::Render() const {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"zh\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Quorvel audit report</title>\n<style>";
    page += kStyle;
    page +=
        "</style>\n</head>\n<body>\n<h1>Quorvel audit report: " + std::to_string(m_cards.size()) +
        (m_cards.size() == 1 ? " photo" : " photos") +
        "</h1>\n<table class=\"summary\">\n<tr><th>verdict</th><th>photos</th></tr>\n";
    for (int state = 0; state < kVerdictCount; ++state) {
        const int count = m_counts[static_cast<std::size_t>(state)];
        if (count == 0) continue;
        page +=
            "<tr><td>" + VerdictLabel(state) + "</td><td>" + std::to_string(count) + "</td></tr>\n";
    }
    page +=
        "</table>\n<p class=\"legend\"><span style=\"color:#0a0\">&#9632; face</span>"
        "<span style=\"color:#f80\">&#9632; head top</span>"
        "<span style=\"color:#f0f\">&#9632; crop frame</span></p>\n<div class=\"cards\">\n";
    for (const std::string& card : m_cards) page += card;
    page += "</div>\n</body>\n</html>\n";
    return page;
}

std::optional<std::string> HtmlReport::WriteTo(const std::filesystem::path& path) const {
    const std::string page = Render();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string quoted = "\"" + path.string() + "\"";
    if (!out) return "cannot write the report " + quoted;
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    out.close();
    if (!out) return "cannot write the report " + quoted + " completely";
    return std::nullopt;
}

}  // namespace quorvel::cli
