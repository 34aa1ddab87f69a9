// The kinds of finding, their ordering and printing.
#include "finding.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "suggestions.h"
#include "utf8_text.h"

namespace kiro::check {

const std::vector<FindingRow>& findingRows() {
    static const std::vector<FindingRow> rows = {
#define FINDING(Name, code, severity, summary) {code, Severity::severity, summary},
#include "findings.def"
#undef FINDING
    };
    return rows;
}

const FindingRow& findingRow(FindingCode code) { return findingRows()[static_cast<std::size_t>(code)]; }

std::string_view severityName(Severity severity) {
    static constexpr std::string_view names[] = {"error", "warning", "note"};
    return names[static_cast<int>(severity)];
}

void Findings::add(Place place, FindingCode code, std::string message, std::vector<std::string> suggestions) {
    list_.push_back(Finding{std::move(place.file), place.line, place.column, code, findingRow(code).severity,
                            std::move(message), std::move(suggestions)});
}

void Findings::dropWhere(FindingCode code, FindingCode over) {
    std::set<std::pair<std::string, std::int32_t>> places;
    for (const Finding& f : list_)
        if (f.code == over) places.emplace(f.file, f.line);
    std::erase_if(list_, [&](const Finding& f) { return f.code == code && places.contains({f.file, f.line}); });
}

std::size_t Findings::count(Severity severity) const {
    return std::count_if(list_.begin(), list_.end(), [&](const Finding& f) { return f.severity == severity; });
}

void Findings::sort() {
    std::stable_sort(list_.begin(), list_.end(), [](const Finding& a, const Finding& b) {
        if (a.file != b.file) return a.file < b.file;
        if (a.line != b.line) return a.line < b.line;
        return a.column < b.column;
    });
}

namespace {

// The length of the valid UTF-8 sequence at text[at], or 0.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    const unsigned char second = length > 1 ? byte(at + 1) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

std::string hexEscape(const char* form, unsigned value) {
    char text[12];
    std::snprintf(text, sizeof text, form, value);
    return text;
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8Length(text, at);
        if (length == 0) {
            out += hexEscape("\\\\x%02X", c);
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20 || c == 0x7F) out += hexEscape("\\u%04x", c);
        else out.append(text, at, length);
        at += length;
    }
    return out + "\"";
}

std::string formatFinding(const Finding& finding, std::string_view file) {
    std::string place = std::string(file) + ":";
    if (finding.line > 0) place += std::to_string(finding.line) + ":";
    if (finding.line > 0 && finding.column > 0) place += std::to_string(finding.column) + ":";
    std::string text = place + " " + std::string(severityName(finding.severity)) + ": " + finding.message;
    if (!finding.suggestions.empty()) text += "; did you mean " + nameList(finding.suggestions) + "?";
    return text;
}

std::string jsonFinding(const Finding& finding, std::string_view file) {
    std::string suggestions;
    for (const std::string& s : finding.suggestions) suggestions += (suggestions.empty() ? "" : ",") + jsonString(s);
    return "{\"file\":" + jsonString(file) + ",\"line\":" + std::to_string(finding.line) +
           ",\"column\":" + std::to_string(finding.column) + ",\"severity\":" +
           jsonString(severityName(finding.severity)) + ",\"code\":" + jsonString(findingRow(finding.code).code) +
           ",\"message\":" + jsonString(finding.message) + ",\"suggestions\":[" + suggestions + "]}";
}

std::string formatFinding(const Finding& finding) { return formatFinding(finding, utf8Of(finding.file)); }
std::string jsonFinding(const Finding& finding) { return jsonFinding(finding, utf8Of(finding.file)); }

}  // namespace kiro::check
