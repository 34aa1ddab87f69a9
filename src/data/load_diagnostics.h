// What the loaders report while they read a game: each message is handed,
// as its kind, place and quoted text, to a sink. The engine's sink prints it
// on the console; kiro-check's sink turns it into a finding. The kinds, their
// catalogue texts and what each does to loading are load_diagnostics.def.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiro {

class Console;

enum class DiagnosticKind {
#define DIAGNOSTIC(kind, layout, effect, first, second) k##kind,
#include "data/load_diagnostics.def"
#undef DIAGNOSTIC
};

enum class DiagnosticLayout { kAfterName, kInLine, kOwnLine, kArrayError };
enum class DiagnosticEffect { kProgress, kGoesOn, kSkipsFile, kEndsFile, kStops };

struct DiagnosticRow {
    std::string_view name;  // "NotRegularFile"
    DiagnosticLayout layout;
    DiagnosticEffect effect;
    std::string_view first, second;  // catalogue texts (Shift-JIS), empty when unused
};

const DiagnosticRow& diagnosticRow(DiagnosticKind kind);

struct Diagnostic {
    DiagnosticKind kind{};
    std::string_view file{};     // the file's name as listed; empty for the folder itself
    std::string_view shownAs{};  // the name the message shows
    std::int32_t line = 0;       // from 1; 0 for the whole file or folder
    std::string_view text{};     // what the message quotes of the line
    int systemError = 0;         // errno, when the system refused (a folder that cannot be listed)
};

// The message's console lines, without their line ends (none for an array
// error, which start-up reports).
std::vector<std::string> diagnosticLines(const Diagnostic& diagnostic);

class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    // Called once per message, never for a line that loads cleanly.
    virtual void report(const Diagnostic& diagnostic) = 0;
};

// The engine's sink: prints each message on the console.
class ConsoleDiagnostics : public DiagnosticSink {
public:
    explicit ConsoleDiagnostics(Console& console) : console_(console) {}
    void report(const Diagnostic& diagnostic) override;

private:
    Console& console_;
};

}  // namespace kiro
