// Loading a game with the engine's own loaders, called as start-up calls
// them; a sink turns everything they report into findings, so a message a
// loader learns to give reaches the checker without code of its own here.
#include "game_loader.h"

#include <algorithm>
#include <cstring>

#include "data/csv_loader.h"
#include "data/game_files.h"
#include "data/load_diagnostics.h"
#include "data/text.h"
#include "script/errors.h"
#include "script/instruction_table.h"
#include "script/loader.h"
#include "suggestions.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

// What the engine's words leave out, in the checker's.
struct Explanation {
    DiagnosticKind kind;
    std::string_view why;
};

constexpr Explanation kExplanations[] = {
    {DiagnosticKind::kCsvValueOutOfRange, "too few fields for the file or its key, or a number outside its array"},
    {DiagnosticKind::kCharacterSlotOutOfRange, "the number in the file's name is outside the character slots 0-99"},
    {DiagnosticKind::kStatementCutInCharacter, "the statement ends in the first byte of a double-byte character"},
};

// The finding each loader message makes.
struct KindOfDiagnostic {
    DiagnosticKind kind;
    FindingCode code;
};

constexpr KindOfDiagnostic kKinds[] = {
    {DiagnosticKind::kNotRegularFile, FindingCode::FileNotRegular},
    {DiagnosticKind::kOpenFailed, FindingCode::FileUnreadable},
    {DiagnosticKind::kFileTooLarge, FindingCode::FileTooLarge},
    {DiagnosticKind::kFolderUnreadable, FindingCode::FolderUnreadable},
    {DiagnosticKind::kLabelOutsideFunction, FindingCode::LabelOutsideFunction},
    {DiagnosticKind::kAttributeOutsideFunction, FindingCode::AttributeOutsideFunction},
    {DiagnosticKind::kInvalidAttribute, FindingCode::UnknownAttribute},
    {DiagnosticKind::kStatementOutsideFunction, FindingCode::StatementOutsideFunction},
    {DiagnosticKind::kNoAssignOperator, FindingCode::NoAssignmentOperator},
    {DiagnosticKind::kNoStringAssignOperator, FindingCode::StringAssignmentOperator},
    {DiagnosticKind::kUnknownWord, FindingCode::UnknownWord},
    {DiagnosticKind::kStatementCutInCharacter, FindingCode::StatementCutInCharacter},
    {DiagnosticKind::kInvalidCsvKey, FindingCode::UnknownCsvKey},
    {DiagnosticKind::kCsvValueOutOfRange, FindingCode::CsvValueOutOfRange},
    {DiagnosticKind::kCharacterSlotOutOfRange, FindingCode::CharacterFileNumber},
};

FindingCode codeOf(DiagnosticKind kind) {
    for (const KindOfDiagnostic& k : kKinds)
        if (k.kind == kind) return k.code;
    return FindingCode::FileUnreadable;  // a loader message without its row here counts as an error
}

// "#single" and "#PRI " are invalid; the attribute meant, in capitals.
std::string meantAttribute(std::string_view word) {
    const std::string upper = upperCased(trimBlanks(word));
    for (std::string_view attribute : {"SINGLE", "PRI", "LATER"})
        if (upper == attribute) return "write #" + upper;
    return {};
}

// "DAY+=1" is one word to the loader, which needs a blank before the
// operator: the statement as it was meant, when its first word is a
// variable and an assignment operator run together.
std::string spacedAssignment(std::string_view statement) {
    const std::size_t wordEnd = statement.find_first_of(" \t");
    const std::string_view word = statement.substr(0, wordEnd);
    const std::size_t op = word.find_first_of("=+-*/%&|");
    if (op == std::string_view::npos || op == 0) return {};
    const std::size_t opEnd = word[op] == '=' ? op + 1 : op + 2;
    if (opEnd > word.size() || word[opEnd - 1] != '=') return {};
    const std::string_view target = word.substr(0, op);
    const std::string name = upperCased(target.substr(0, target.find(':')));
    const bool isInt = VariableStore::lookupIntVariable(name).has_value();
    if (!isInt && !(VariableStore::lookupStringVariable(name) && opEnd == op + 1)) return {};
    if (word.substr(0, op).find_first_of("=+-*/%&|") != std::string_view::npos) return {};
    std::string_view value = trimBlanks(statement.substr(opEnd));
    return std::string(word.substr(0, op)) + " " + std::string(word.substr(op, opEnd - op)) + " " + std::string(value);
}

std::string explanation(const Diagnostic& d) {
    if (d.systemError != 0) return std::strerror(d.systemError);
    if (d.kind == DiagnosticKind::kFileTooLarge)
        return "kiro reads files of at most " + std::to_string(kMaxGameFileBytes >> 20) + " MiB";
    for (const Explanation& e : kExplanations)
        if (e.kind == d.kind) return std::string(e.why);
    if (d.kind == DiagnosticKind::kInvalidAttribute) return meantAttribute(d.text);
    if (d.kind == DiagnosticKind::kUnknownWord) {
        const std::string meant = spacedAssignment(d.text);
        if (!meant.empty()) {
            const std::size_t op = meant.find(' ') + 1;
            return "write blanks around " + meant.substr(op, meant.find(' ', op) - op) + ": " + utf8Of(meant);
        }
    }
    return {};
}

// The engine's message on one line, in UTF-8; an array error, which
// start-up prints, is said where it happens.
std::string findingText(const Diagnostic& d) {
    const DiagnosticRow& row = diagnosticRow(d.kind);
    const std::string why = explanation(d);
    if (row.layout == DiagnosticLayout::kArrayError) {
        std::string text = "kiro stops loading here with the array error";
        if (!why.empty()) text += " (" + why + ")";
        return text + ": " + utf8Of(std::string(row.first) + " " + std::string(row.second));
    }
    std::string message;
    for (const std::string& line : diagnosticLines(d)) message += (message.empty() ? "" : " ") + line;
    std::string text = utf8Of(message);
    if (!why.empty()) text += " (" + why + ")";
    return text;
}

// The instructions an unknown first word ("PRITNL") was most likely meant
// as; none when it is an assignment written without blanks.
std::vector<std::string> suggestionsFor(const Diagnostic& d) {
    if (d.kind != DiagnosticKind::kUnknownWord || !spacedAssignment(d.text).empty()) return {};
    std::vector<std::string> keywords;
    for (const KeywordEntry& keyword : instructionKeywords()) keywords.emplace_back(keyword.name);
    return closestNames(upperCased(d.text.substr(0, d.text.find_first_of(" \t"))), keywords);
}

// Findings on the files of one folder ("csv"); the progress lines are no
// finding, and a message about a whole file goes on its line 1.
class FindingSink : public DiagnosticSink {
public:
    FindingSink(Findings& findings, std::string folder) : findings_(findings), folder_(std::move(folder)) {}
    void report(const Diagnostic& d) override {
        if (diagnosticRow(d.kind).effect == DiagnosticEffect::kProgress) return;
        Diagnostic shown = d;
        std::string path = folder_;
        if (d.file.empty()) shown.shownAs = folder_;  // the folder as the game names it, not the path to it
        else path += "/" + std::string(d.file);
        findings_.add(Place{path, std::max(d.line, 1), 0}, codeOf(d.kind), findingText(shown), suggestionsFor(d));
    }

private:
    Findings& findings_;
    std::string folder_;
};

class IgnoredDiagnostics : public DiagnosticSink {
public:
    void report(const Diagnostic&) override {}
};

// Records the line of every training command the CSV files define. Each
// line of a file that defines any is loaded alone into scratch data: the
// number it adds to trainNames is the command it defines.
void locateTrainCommands(const std::string& gameDir, LoadedGame& game) {
    auto scratch = std::make_unique<VariableStore>();
    GameBase base;
    IgnoredDiagnostics quiet;
    auto load = [&](const std::string& name, std::string_view bytes) {
        scratch->trainNames.clear();
        try {
            loadCsvText(*scratch, base, quiet, name, bytes);
        } catch (const ArrayError&) {
        }
    };
    readGameFolder(gameDir + "/csv", ".csv", quiet, isCsvFileRead, [&](const std::string& name, FileBytes& bytes) {
        load(name, bytes.view());
        if (scratch->trainNames.empty()) return;
        LineReader lines(bytes.view());
        for (std::string_view line; lines.next(line);) {
            load(name, std::string(line) + "\n");
            for (const auto& entry : scratch->trainNames)
                game.trainCommands[entry.first] = SourceLine{"csv/" + name, lines.lineNumber()};
        }
    });
}

}  // namespace

bool loadGame(const std::string& gameDir, LoadedGame& game, Findings& findings) {
    FindingSink csv(findings, "csv"), kst(findings, "kst");
    try {
        if (!loadCsvFiles(*game.store, game.base, csv, gameDir + "/csv")) return false;
        locateTrainCommands(gameDir, game);
        return loadScriptFiles(game.program, kst, gameDir + "/kst");
    } catch (const ArrayError&) {
        return false;  // the loader has reported the line
    }
}

}  // namespace kiro::check
