#include "report/HtmlReport.h"

#include <algorithm>
#include <utility>

#include "core/audit/Verdict.h"
#include "core/common/ErrorText.h"
#include "report/ReportCard.h"

namespace quorvel::report {

namespace fs = std::filesystem;

namespace {

constexpr std::array<ReportGroup, kReportGroupCount> kGroupOrder = {
    ReportGroup::BadBackground, ReportGroup::BadFormat, ReportGroup::NoFace,
    ReportGroup::BadProportion, ReportGroup::TooSmall,  ReportGroup::Other,
    ReportGroup::NotSaved,      ReportGroup::Passed,
};

const char* KindOf(ReportGroup group) {
    if (group == ReportGroup::Passed) return "passed";
    if (group == ReportGroup::NotSaved) return "not-saved";
    return "rejected";
}

// The verdict number a group stands for; Other and its numbers vary.
int StateOf(ReportGroup group) {
    switch (group) {
        case ReportGroup::BadBackground:
            return VerdictNumber(Verdict::BadBackground);
        case ReportGroup::BadFormat:
            return VerdictNumber(Verdict::BadFormat);
        case ReportGroup::NoFace:
            return VerdictNumber(Verdict::NoFace);
        case ReportGroup::BadProportion:
            return VerdictNumber(Verdict::BadProportion);
        case ReportGroup::TooSmall:
            return VerdictNumber(Verdict::TooSmall);
        case ReportGroup::Other:
            return VerdictNumber(Verdict::Initial);
        case ReportGroup::NotSaved:
        case ReportGroup::Passed:
            break;
    }
    return VerdictNumber(Verdict::Passed);
}

bool Unreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
           byte == '~' || byte == '/';
}

// Every byte outside [A-Za-z0-9-._~/] as %XX, so that any name is a valid
// URL path that names the same bytes.
std::string PercentEncode(const std::string& bytes) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (Unreserved(byte)) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

ReportGroup GroupOf(const HtmlPhotoEntry& entry) {
    switch (entry.verdictNumber) {
        case VerdictNumber(Verdict::BadBackground):
            return ReportGroup::BadBackground;
        case VerdictNumber(Verdict::BadFormat):
            return ReportGroup::BadFormat;
        case VerdictNumber(Verdict::NoFace):
            return ReportGroup::NoFace;
        case VerdictNumber(Verdict::BadProportion):
            return ReportGroup::BadProportion;
        case VerdictNumber(Verdict::TooSmall):
            return ReportGroup::TooSmall;
        case VerdictNumber(Verdict::Passed):
            return entry.error ? ReportGroup::NotSaved : ReportGroup::Passed;
        default:
            return ReportGroup::Other;
    }
}

fs::path ReportPagePath(const fs::path& first, std::size_t page) {
    if (page <= 1) return first;
    fs::path name = first.stem();
    name += "-" + std::to_string(page);
    name += first.extension();
    return first.parent_path() / name;
}

std::string LinkFrom(const fs::path& folder, const fs::path& target) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(target, ec).lexically_normal();
    if (ec) return "file://" + PercentEncode(target.string());
    const fs::path relative = absolute.lexically_relative(folder);
    if (!relative.empty()) return PercentEncode(relative.generic_string());
    return "file://" + PercentEncode(absolute.string());
}

Result<AtomicFile> HtmlReport::BeginPage(std::size_t page) const {
    const fs::path path = ReportPagePath(m_path, page);
    if (m_open != nullptr) return AtomicFile::BeginIn(*m_open, path.filename(), m_temporaries);
    return AtomicFile::Begin(path, m_temporaries);
}

Result<HtmlReport> HtmlReport::Begin(const fs::path& path, TemporaryFiles* temporaries,
                                     const OpenFolder* folder) {
    HtmlReport report;
    report.m_path = path;
    report.m_temporaries = temporaries;
    report.m_open = folder;
    std::error_code ec;
    report.m_folder = fs::absolute(path, ec).lexically_normal().parent_path();
    if (ec) report.m_folder = path.parent_path();

    Result<AtomicFile> first = report.BeginPage(1);
    if (!first) {
        Error error = first.error();
        error.message = "cannot write the report: " + error.message;
        return error;
    }
    // The spool lies beside the report, where there is room for it.
    fs::path folderName = ".";
    if (folder != nullptr) {
        folderName = folder->path();
    } else if (!first->target().parent_path().empty()) {
        folderName = first->target().parent_path();
    }
    Result<SpoolFile> spool =
        folder != nullptr ? SpoolFile::CreateIn(*folder) : SpoolFile::CreateIn(folderName);
    if (!spool) {
        const int error = spool.error().systemError;
        return Fail(ErrorKind::WriteFailed, ErrnoText("cannot write the report's spool", error),
                    error, folderName);
    }
    report.m_spool.emplace(std::move(spool).value());
    report.m_first.emplace(std::move(*first));
    return report;
}

std::uint64_t HtmlReport::NumberOf(const HtmlPhotoEntry& entry) {
    // Positions run up to the size of a list; cards without one are
    // numbered beyond any list, in the order they come.
    std::uint64_t number = kUnplacedCard + m_total;
    if (entry.position && *entry.position < kUnplacedCard - 1) number = *entry.position + 1;
    if (!m_numbers.insert(number).second) {
        number = kUnplacedCard + m_total;
        m_numbers.insert(number);
    }
    return number;
}

void HtmlReport::Add(const HtmlPhotoEntry& entry) {
    const std::uint64_t number = NumberOf(entry);
    ++m_total;
    if (entry.verdictNumber >= 0 && entry.verdictNumber < kVerdictCount) {
        ++m_counts[static_cast<std::size_t>(entry.verdictNumber)];
    }
    if (m_spoolError) return;
    if (Result<void> spooled = Spool(RowHtml(entry, number), CardHtml(entry, m_folder, number),
                                     GroupOf(entry), number);
        !spooled) {
        m_spoolError = spooled.error();
    }
}

Result<void> HtmlReport::Spool(const std::string& row, const std::string& card, ReportGroup group,
                               std::uint64_t order) {
    const Spooled at{m_spoolSize, static_cast<std::uint32_t>(card.size()),
                     static_cast<std::uint32_t>(row.size()), order};
    if (Result<void> written = m_spool->WriteAt(row + card, m_spoolSize); !written) {
        const int error = written.error().systemError;
        return Fail(ErrorKind::Incomplete, ErrnoText("cannot spool the report's cards", error),
                    error);
    }
    m_spoolSize += row.size() + card.size();
    m_groups[static_cast<std::size_t>(group)].push_back(at);
    return {};
}

Result<std::string> HtmlReport::ReadSpool(std::uint64_t offset, std::size_t size) const {
    Result<std::string> bytes = m_spool->ReadAt(offset, size);
    if (!bytes) {
        const int error = bytes.error().systemError;
        return Fail(ErrorKind::NotReadable,
                    ErrnoText("cannot read the report's spooled cards", error), error);
    }
    return bytes;
}

Result<void> HtmlReport::Finish() {
    if (!m_first) return Fail(ErrorKind::WriteFailed, "the report is already finished");
    AtomicFile first = std::move(*m_first);
    m_first.reset();
    auto failed = [](Error error) {
        error.message = "cannot write the report: " + error.message;
        return error;
    };
    if (m_spoolError) return failed(*m_spoolError);  // `first` is abandoned on return
    for (std::vector<Spooled>& cards : m_groups) {
        std::stable_sort(cards.begin(), cards.end(),
                         [](const Spooled& a, const Spooled& b) { return a.order < b.order; });
    }
    const std::size_t pages =
        std::max<std::size_t>(1, (m_total + kCardsPerPage - 1) / kCardsPerPage);
    // The later pages first, so that the first page never links to a page
    // that is not there yet.
    for (std::size_t page = pages; page >= 2; --page) {
        Result<AtomicFile> file = BeginPage(page);
        if (!file) return failed(file.error());
        if (Result<void> written = WritePage(*file, page, pages); !written) {
            return failed(written.error());
        }
        if (Result<void> committed = file->Commit(); !committed) return failed(committed.error());
    }
    if (Result<void> written = WritePage(first, 1, pages); !written) return failed(written.error());
    if (Result<void> committed = first.Commit(); !committed) return failed(committed.error());
    return {};
}

std::string HtmlReport::PageHref(std::size_t page, std::size_t from) const {
    return page == from ? std::string()
                        : PercentEncode(ReportPagePath(m_path, page).filename().string());
}

std::string HtmlReport::PageNav(std::size_t page, std::size_t pages) const {
    if (pages <= 1) return {};
    std::string nav = "<nav class=\"pages\">页 · pages:";
    for (std::size_t number = 1; number <= pages; ++number) {
        const std::string label = std::to_string(number);
        nav += number == page ? " <b>" + label + "</b>"
                              : " <a href=\"" + PageHref(number, page) + "\">" + label + "</a>";
    }
    return nav + "</nav>\n";
}

std::string HtmlReport::CountsTable() const {
    const std::size_t passed = m_counts[static_cast<std::size_t>(VerdictNumber(Verdict::Passed))];
    const std::size_t notSaved = m_groups[static_cast<std::size_t>(ReportGroup::NotSaved)].size();
    const std::size_t rejected = m_total - passed;
    std::string html = "<p class=\"totals\">通过 " + std::to_string(passed) + "（未能保存 " +
                       std::to_string(notSaved) + "），未通过 " + std::to_string(rejected) + " · " +
                       std::to_string(passed) + " passed (" + std::to_string(notSaved) +
                       " not saved), " + std::to_string(rejected) + " rejected</p>\n";
    // One row per group, in page order, linked to the page where it starts.
    html +=
        "<table class=\"summary\">\n<tr><th>组 · group</th><th>verdict</th><th>photos</th>"
        "</tr>\n";
    std::size_t position = 0;
    for (ReportGroup group : kGroupOrder) {
        const std::size_t count = m_groups[static_cast<std::size_t>(group)].size();
        if (count == 0) continue;
        html += "<tr data-group=\"" + GroupAnchor(group) + "\"><td><a href=\"" +
                PageHref(position / kCardsPerPage + 1, 1) + "#" + GroupAnchor(group) + "\">" +
                GroupSign(group) + " " + GroupTitle(group) + "</a></td><td>" +
                VerdictLabel(StateOf(group)) + "</td><td>" + std::to_string(count) + "</td></tr>\n";
        position += count;
    }
    return html + "</table>\n";
}

std::string HtmlReport::PageIndex(std::size_t pages) const {
    std::vector<std::string> held(pages);  // the groups on each page, with their counts
    std::size_t start = 0;
    for (ReportGroup group : kGroupOrder) {
        const std::size_t count = m_groups[static_cast<std::size_t>(group)].size();
        for (std::size_t page = 1; page <= pages && count > 0; ++page) {
            const std::size_t from = std::max(start, (page - 1) * kCardsPerPage);
            const std::size_t to = std::min(start + count, page * kCardsPerPage);
            if (from >= to) continue;
            held[page - 1] += std::string(held[page - 1].empty() ? "" : ", ") + GroupSign(group) +
                              " " + GroupTitle(group) + " (" + std::to_string(to - from) + ")";
        }
        start += count;
    }
    std::string html =
        "<table class=\"summary pages\">\n<tr><th>页 · page</th><th>photos</th></tr>\n";
    for (std::size_t page = 1; page <= pages; ++page) {
        const std::string label = std::to_string(page);
        html += "<tr><td>" +
                (page == 1 ? label : "<a href=\"" + PageHref(page, 1) + "\">" + label + "</a>") +
                "</td><td>" + held[page - 1] + "</td></tr>\n";
    }
    return html + "</table>\n";
}

Result<void> HtmlReport::WriteSection(AtomicFile& file, ReportGroup group, std::size_t from,
                                      std::size_t to) const {
    const auto& cards = m_groups[static_cast<std::size_t>(group)];
    std::string section = "<section class=\"group\" id=\"" + GroupAnchor(group) +
                          "\" data-group=\"" + GroupAnchor(group) + "\" data-kind=\"" +
                          KindOf(group) + "\">\n<h2>" + GroupSign(group) + " " + GroupTitle(group) +
                          " — " + Plural(cards.size(), "photo", "photos");
    if (to - from < cards.size()) {
        section += " (" + std::to_string(from + 1) + "–" + std::to_string(to) + " here)";
    }
    section +=
        "</h2>\n<table class=\"index\">\n<tr><th>文件 · file</th><th>原因 · reason</th></tr>\n";
    for (std::size_t i = from; i < to; ++i) {
        Result<std::string> row = ReadSpool(cards[i].offset, cards[i].rowBytes);
        if (!row) return row.error();
        section += *row;
    }
    section += "</table>\n<div class=\"cards\">\n";
    if (Result<void> written = file.Write(section); !written) return written;
    for (std::size_t i = from; i < to; ++i) {
        Result<std::string> card =
            ReadSpool(cards[i].offset + cards[i].rowBytes, cards[i].cardBytes);
        if (!card) return card.error();
        if (Result<void> written = file.Write(*card); !written) return written;
    }
    return file.Write("</div>\n</section>\n");
}

Result<void> HtmlReport::WritePage(AtomicFile& file, std::size_t page, std::size_t pages) const {
    std::string head =
        "<!DOCTYPE html>\n<html lang=\"zh\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Quorvel audit report" +
        (pages > 1 ? " " + std::to_string(page) + "/" + std::to_string(pages) : std::string()) +
        "</title>\n<style>";
    head += kReportStyle;
    head += "</style>\n</head>\n<body>\n<h1>Quorvel audit report: " +
            Plural(m_total, "photo", "photos");
    if (pages > 1) head += " — page " + std::to_string(page) + " of " + std::to_string(pages);
    head += "</h1>\n" + PageNav(page, pages);
    if (page == 1) {
        head += HeadHtml(m_head, m_total) + CountsTable() +
                (pages > 1 ? PageIndex(pages) : std::string());
    }
    head +=
        "<p class=\"legend\"><span style=\"color:#0a0\">&#9632; face</span>"
        "<span style=\"color:#f80\">&#9632; head top</span>"
        "<span style=\"color:#f0f\">&#9632; crop frame</span></p>\n";
    if (Result<void> written = file.Write(head); !written) return written;

    // The page holds the cards at positions [begin, end) of the page order.
    const std::size_t begin = (page - 1) * kCardsPerPage;
    const std::size_t end = std::min(m_total, page * kCardsPerPage);
    std::size_t start = 0;  // position of the group's first card
    for (ReportGroup group : kGroupOrder) {
        const std::size_t count = m_groups[static_cast<std::size_t>(group)].size();
        const std::size_t from = std::max(start, begin);
        const std::size_t to = std::min(start + count, end);
        if (from < to) {
            if (Result<void> written = WriteSection(file, group, from - start, to - start);
                !written) {
                return written;
            }
        }
        start += count;
    }
    return file.Write(PageNav(page, pages) + "</body>\n</html>\n");
}

}  // namespace quorvel::report
