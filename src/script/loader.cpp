// The script loader: one pass over each file's bytes, classifying every
// physical line by its first non-blank byte and, for statements, by the
// upper-cased first word (instruction keyword, else assignment target).
//
// Games can hold a million lines, so loading a line allocates nothing: the
// file is read once into a block the program keeps, and each line leaves an
// 8-byte record (function_lines.h makes the full lines from the records
// when a function is first used). Label names are upper-cased in place.
#include "script/loader.h"

#include <cstring>
#include <memory>

#include "data/game_files.h"
#include "data/load_diagnostics.h"
#include "data/text.h"
#include "script/errors.h"
#include "script/statement_classifier.h"

namespace kiro {
namespace {

DiagnosticKind failureKind(StatementFailure why) {
    switch (why) {
    case StatementFailure::NoOperator: return DiagnosticKind::kNoAssignOperator;
    case StatementFailure::StringOperator: return DiagnosticKind::kNoStringAssignOperator;
    case StatementFailure::UnknownWord:
    case StatementFailure::None: break;
    }
    return DiagnosticKind::kUnknownWord;
}

// The state of loading one file, whose bytes the program keeps.
class FileLoader {
public:
    FileLoader(ScriptProgram& program, DiagnosticSink& sink, const std::string& fileName, std::span<char> bytes)
        : program_(program),
          sink_(sink),
          fileName_(fileName),
          bytes_(bytes),
          lines_(program.lineStore()),
          labels_(program.labelStore()) {}
    // The last function gets its lines also when loading stops with an error.
    ~FileLoader() { finishFunction(); }
    FileLoader(const FileLoader&) = delete;
    FileLoader& operator=(const FileLoader&) = delete;

    // Loads every line; a line runs up to a line feed, a CR just before the
    // line feed is not part of it, and a last line without a line feed is
    // not a line at all.
    void loadLines();
    std::int32_t lineNumber() const { return lineNumber_; }  // of the line being loaded

private:
    void loadLine(const char* start, const char* feed);
    void loadHeader(std::string_view name, std::int32_t lineNumber);
    void loadLabel(std::string_view fromDollar, std::int32_t lineNumber);
    void loadAttribute(std::string_view fromHash, std::int32_t lineNumber);
    void loadStatement(std::string_view fromFirst, std::int32_t lineNumber);
    void appendLine(LineRecord::Kind kind, const char* start, std::int32_t lineNumber);
    void finishFunction();
    void appendNoOp(std::int32_t lineNumber) { appendLine(LineRecord::kNoOp, nullptr, lineNumber); }
    std::string_view upperCasedInPlace(std::string_view text);
    void report(DiagnosticKind kind, std::int32_t lineNumber, std::string_view text);

    ScriptProgram& program_;
    DiagnosticSink& sink_;
    const std::string& fileName_;
    std::span<char> bytes_;
    LineStore& lines_;
    LabelStore& labels_;
    FunctionDefinition* current_ = nullptr;  // no function carries over from another file
    std::int32_t lineNumber_ = 0;
    std::string word_;                       // the upper-cased first word, reused for every line
};

// The new line is the last of the current function's run; the function
// learns where its run ended up once the run is complete.
void FileLoader::appendLine(LineRecord::Kind kind, const char* start, std::int32_t lineNumber) {
    lines_.append(LineRecord(start ? static_cast<std::size_t>(start - bytes_.data()) : 0, lineNumber, kind));
}

void FileLoader::finishFunction() {
    if (!current_) return;
    current_->lines.setRecords(lines_.currentRun(), bytes_);
    current_->labels = labels_.currentRun();
}

// `text` lies in the file's bytes, which belong to the program: they are
// upper-cased where they are.
std::string_view FileLoader::upperCasedInPlace(std::string_view text) {
    char* at = bytes_.data() + (text.data() - bytes_.data());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (at[i] >= 'a' && at[i] <= 'z') at[i] = static_cast<char>(at[i] - 'a' + 'A');
    return text;
}

void FileLoader::loadLines() {
    const char* at = bytes_.data();
    const char* const end = at + bytes_.size();
    while (at != end) {
        const auto* feed = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        if (!feed) return;
        ++lineNumber_;
        loadLine(at, feed);
        at = feed + 1;
    }
}

// The line feed ends the blanks at the start, so their scan needs no bound.
void FileLoader::loadLine(const char* start, const char* feed) {
    const std::int32_t lineNumber = lineNumber_;
    while (isBlank(*start)) ++start;
    const char* const stop = feed > start && feed[-1] == '\r' ? feed - 1 : feed;
    if (start == stop || *start == ';') {
        if (current_) appendNoOp(lineNumber);
        return;
    }
    const std::string_view rest(start, static_cast<std::size_t>(stop - start));
    switch (*start) {
    case '@': loadHeader(rest.substr(1), lineNumber); break;
    case '$': loadLabel(rest, lineNumber); break;
    case '#': loadAttribute(rest, lineNumber); break;
    default: loadStatement(rest, lineNumber); break;
    }
}

// The name is taken exactly as written: trailing blanks belong to it.
void FileLoader::loadHeader(std::string_view name, std::int32_t lineNumber) {
    finishFunction();
    current_ = &program_.addFunction(std::string(name), fileName_, lineNumber);
    lines_.startRun();
    labels_.startRun();
}

void FileLoader::loadLabel(std::string_view fromDollar, std::int32_t lineNumber) {
    if (!current_) {
        report(DiagnosticKind::kLabelOutsideFunction, lineNumber, fromDollar);
        return;
    }
    std::string_view name = upperCasedInPlace(fromDollar.substr(1));
    labels_.append(LabelEntry{lineNumber, name});
    appendLine(LineRecord::kLabel, name.data(), lineNumber);
}

// Attribute words match exactly: "#single" and "#SINGLE " are invalid.
void FileLoader::loadAttribute(std::string_view fromHash, std::int32_t lineNumber) {
    if (!current_) {
        report(DiagnosticKind::kAttributeOutsideFunction, lineNumber, fromHash);
        return;
    }
    static constexpr std::string_view kAttributeWords[] = {"SINGLE", "PRI", "LATER"};  // by AttributeCode
    std::string_view word = fromHash.substr(1);
    bool known = false;
    for (std::int32_t code = kSingle; code <= kLater; ++code) {
        if (word == kAttributeWords[code]) {
            current_->attributes.push_back(code);
            known = true;
        }
    }
    if (!known) report(DiagnosticKind::kInvalidAttribute, lineNumber, word);
    appendNoOp(lineNumber);
}

void FileLoader::loadStatement(std::string_view fromFirst, std::int32_t lineNumber) {
    if (!current_) {
        report(DiagnosticKind::kStatementOutsideFunction, lineNumber, fromFirst);
        return;
    }
    std::string_view statement = fromFirst[0] == '?' ? fromFirst.substr(1) : fromFirst;
    StatementFailure failure = checkStatement(statement, word_);
    if (failure != StatementFailure::None) {
        report(failureKind(failure), lineNumber, statement);
        return;
    }
    appendLine(LineRecord::kStatement, statement.data(), lineNumber);
}

void FileLoader::report(DiagnosticKind kind, std::int32_t lineNumber, std::string_view text) {
    sink_.report({.kind = kind, .file = fileName_, .shownAs = fileName_, .line = lineNumber, .text = text});
}

}  // namespace

namespace {

// Loads bytes the program already keeps. A line that throws the array
// error is reported before the error goes on.
void loadKeptText(ScriptProgram& program, DiagnosticSink& sink, const std::string& fileName, std::span<char> bytes) {
    sink.report({.kind = DiagnosticKind::kLoadingFile, .file = fileName, .shownAs = fileName});
    FileLoader loader(program, sink, fileName, bytes);
    try {
        loader.loadLines();
    } catch (const ArrayError&) {
        sink.report({.kind = DiagnosticKind::kStatementCutInCharacter,
                     .file = fileName,
                     .shownAs = fileName,
                     .line = loader.lineNumber()});
        throw;
    }
}

}  // namespace

void loadScriptText(ScriptProgram& program, DiagnosticSink& sink, const std::string& fileName,
                    std::string_view bytes) {
    auto copy = std::make_unique_for_overwrite<char[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    loadKeptText(program, sink, fileName, program.keepBytes(std::move(copy), bytes.size()));
}

void loadScriptText(ScriptProgram& program, Console& console, const std::string& fileName,
                    std::string_view bytes) {
    ConsoleDiagnostics sink(console);
    loadScriptText(program, sink, fileName, bytes);
}

bool loadScriptFiles(ScriptProgram& program, DiagnosticSink& sink, const std::string& folder) {
    auto everyFile = [](const std::string&) { return true; };
    return readGameFolder(folder, ".kst", sink, everyFile, [&](const std::string& name, FileBytes& bytes) {
        loadKeptText(program, sink, name, program.keepBytes(std::move(bytes.data), bytes.size));
    });
}

bool loadScriptFiles(ScriptProgram& program, Console& console, const std::string& folder) {
    ConsoleDiagnostics sink(console);
    return loadScriptFiles(program, sink, folder);
}

}  // namespace kiro
