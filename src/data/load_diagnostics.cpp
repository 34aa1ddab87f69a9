// The loaders' messages, laid out from their rows in load_diagnostics.def.
#include "data/load_diagnostics.h"

#include <charconv>

#include "console/console.h"
#include "messages.h"

namespace kiro {
namespace {

// The row's catalogue texts by their names; NONE is no text.
namespace diagnostic_text {
using namespace msg;
inline constexpr std::string_view NONE{};
}  // namespace diagnostic_text

constexpr DiagnosticRow kRows[] = {
#define DIAGNOSTIC(kind, layout, effect, first, second) \
    {#kind, DiagnosticLayout::k##layout, DiagnosticEffect::k##effect, diagnostic_text::first, diagnostic_text::second},
#include "data/load_diagnostics.def"
#undef DIAGNOSTIC
};

// "(name)N", which opens every message about a line.
std::string location(const Diagnostic& d) {
    char number[16];
    auto end = std::to_chars(number, number + sizeof number, d.line).ptr;
    std::string s(msg::LOAD_LINE_OPEN);
    s.append(d.shownAs).append(msg::LOAD_LINE_CLOSE).append(number, end);
    return s;
}

}  // namespace

const DiagnosticRow& diagnosticRow(DiagnosticKind kind) { return kRows[static_cast<int>(kind)]; }

std::vector<std::string> diagnosticLines(const Diagnostic& d) {
    const DiagnosticRow& row = diagnosticRow(d.kind);
    switch (row.layout) {
        case DiagnosticLayout::kAfterName: return {std::string(d.shownAs).append(row.first)};
        case DiagnosticLayout::kInLine: return {location(d).append(row.first).append(d.text).append(row.second)};
        case DiagnosticLayout::kOwnLine:
            return {location(d).append(row.first), std::string(d.text), std::string(row.second)};
        case DiagnosticLayout::kArrayError: break;
    }
    return {};
}

void ConsoleDiagnostics::report(const Diagnostic& diagnostic) {
    for (const std::string& line : diagnosticLines(diagnostic)) {
        console_.writeText(line);
        console_.endLine();
    }
}

}  // namespace kiro
