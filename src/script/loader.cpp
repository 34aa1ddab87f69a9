// The script loader: one pass over each file's bytes, classifying every
// physical line by its first non-blank byte and, for statements, by the
// upper-cased first word (instruction keyword, else assignment target).
//
// Games can hold a million lines, so the per-line work avoids allocating
// anything but the ScriptLine's own strings: the file is read once into
// memory, lines are views into it, and the upper-cased first word is built
// in one buffer reused for the whole load.
#include "script/loader.h"

#include <stdexcept>

#include "console/console.h"
#include "data/game_files.h"
#include "data/variable_store.h"
#include "messages.h"
#include "script/instruction_table.h"
#include "script/text.h"

namespace kiro {
namespace {

// What went wrong with a statement that could not be classified; each has
// its own third line in the report.
enum class StatementFailure { None, NoOperator, StringOperator, UnknownWord };

struct AssignOperator {
    std::int32_t kind;        // AssignKind: 0 '=', 1 '+=' ... 7 '|='
    std::size_t valueStart;   // where the right-hand side begins
};

// Bytes that become a compound operator when '=' follows, in AssignKind
// order starting at 1.
constexpr std::string_view kCompoundOperators = "+-*/%&|";

// Finds the first assignment operator anywhere in `rest`. The last byte is
// never looked at, so a rest of fewer than two bytes has no operator.
bool findAssignOperator(std::string_view rest, AssignOperator& found) {
    if (rest.size() < 2) return false;
    for (std::size_t p = 0; p + 1 < rest.size(); ++p) {
        char c = rest[p];
        if (c == '=') {
            found = {0, p + 1};
            return true;
        }
        std::size_t op = kCompoundOperators.find(c);
        if (op != std::string_view::npos && rest[p + 1] == '=') {
            found = {static_cast<std::int32_t>(op) + 1, p + 2};
            return true;
        }
    }
    return false;
}

ScriptLine lineAt(std::int32_t lineNumber) {
    ScriptLine line;
    line.lineNumber = lineNumber;
    return line;
}

// The state of loading one file.
class FileLoader {
public:
    FileLoader(ScriptProgram& program, Console& console, const std::string& fileName)
        : program_(program), console_(console), fileName_(fileName) {}

    void loadLine(std::string_view line, std::int32_t lineNumber);

private:
    void loadHeader(std::string_view name, std::int32_t lineNumber);
    void loadLabel(std::string_view fromDollar, std::int32_t lineNumber);
    void loadAttribute(std::string_view fromHash, std::int32_t lineNumber);
    void loadStatement(std::string_view fromFirst, std::int32_t lineNumber);
    StatementFailure classify(std::string_view statement, ScriptLine& out);
    StatementFailure classifyAssignment(std::string_view statement, std::string_view rest,
                                        ScriptLine& out);

    void appendNoOp(std::int32_t lineNumber) { current_->lines.push_back(lineAt(lineNumber)); }
    void writeLocation(std::int32_t lineNumber);
    void warnOutsideFunction(std::int32_t lineNumber, std::string_view text, std::string_view what);
    void warnStatementOutsideFunction(std::int32_t lineNumber, std::string_view text);
    void warnStatementFailure(std::int32_t lineNumber, std::string_view text, StatementFailure why);

    ScriptProgram& program_;
    Console& console_;
    const std::string& fileName_;
    FunctionDefinition* current_ = nullptr;  // no function carries over from another file
    std::string word_;                       // the upper-cased first word, reused for every line
};

void FileLoader::loadLine(std::string_view line, std::int32_t lineNumber) {
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size() || line[i] == ';') {
        if (current_) appendNoOp(lineNumber);
        return;
    }
    std::string_view from = line.substr(i);
    switch (from[0]) {
    case '@': loadHeader(from.substr(1), lineNumber); break;
    case '$': loadLabel(from, lineNumber); break;
    case '#': loadAttribute(from, lineNumber); break;
    default: loadStatement(from, lineNumber); break;
    }
}

// The name is taken exactly as written: trailing blanks belong to it.
void FileLoader::loadHeader(std::string_view name, std::int32_t lineNumber) {
    current_ = &program_.addFunction(std::string(name), fileName_, lineNumber);
}

void FileLoader::loadLabel(std::string_view fromDollar, std::int32_t lineNumber) {
    if (!current_) {
        warnOutsideFunction(lineNumber, fromDollar, msg::LABEL_OUTSIDE_FUNCTION);
        return;
    }
    std::string name = upperCased(fromDollar.substr(1));
    current_->labels.push_back(LabelEntry{lineNumber, name});
    ScriptLine& line = current_->lines.emplace_back(lineAt(lineNumber));
    line.argument = std::move(name);
}

// Attribute words match exactly: "#single" and "#SINGLE " are invalid.
void FileLoader::loadAttribute(std::string_view fromHash, std::int32_t lineNumber) {
    if (!current_) {
        warnOutsideFunction(lineNumber, fromHash, msg::ATTRIBUTE_OUTSIDE_FUNCTION);
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
    if (!known) {
        writeLocation(lineNumber);
        console_.writeText(msg::AT_LINE);
        console_.writeText(word);
        console_.writeText(msg::INVALID_ATTRIBUTE);
        console_.endLine();
    }
    appendNoOp(lineNumber);
}

void FileLoader::loadStatement(std::string_view fromFirst, std::int32_t lineNumber) {
    if (!current_) {
        warnStatementOutsideFunction(lineNumber, fromFirst);
        return;
    }
    std::string_view statement = fromFirst[0] == '?' ? fromFirst.substr(1) : fromFirst;
    ScriptLine line = lineAt(lineNumber);
    StatementFailure failure = classify(statement, line);
    if (failure != StatementFailure::None) {
        warnStatementFailure(lineNumber, statement, failure);
        return;
    }
    current_->lines.push_back(std::move(line));
}

StatementFailure FileLoader::classify(std::string_view statement, ScriptLine& out) {
    // The first word ends at a blank; a double-byte character never ends it,
    // not even when its second byte is a blank.
    std::size_t end = 0;
    while (end < statement.size() && !isBlank(statement[end])) {
        if (isLeadByte(statement[end])) {
            if (end + 1 >= statement.size())
                throw std::out_of_range("statement ends inside a double-byte character");
            ++end;
        }
        ++end;
    }
    // A keyword alone on its line is its own argument: "ENDIF" has the
    // argument "ENDIF", so "CALL" calls the function CALL.
    std::string_view rest = end < statement.size() ? statement.substr(end + 1) : statement;
    word_.assign(statement.data(), end);
    upperCaseInPlace(word_);

    if (std::optional<std::int32_t> code = lookupInstruction(word_)) {
        out.code = *code;
        out.text.assign(statement);
        out.argument.assign(rest);
        return StatementFailure::None;
    }
    return classifyAssignment(statement, rest, out);
}

// The first word is an assignment target "NAME" or "NAME:INDEX". Without a
// blank before the operator ("A=5") the whole thing is one unknown word.
StatementFailure FileLoader::classifyAssignment(std::string_view statement, std::string_view rest,
                                                ScriptLine& out) {
    std::string_view word = word_;
    std::size_t colon = word.find(':');
    std::string_view name = word.substr(0, colon);
    std::string_view index = colon == std::string_view::npos ? std::string_view{} : word.substr(colon + 1);

    AssignOperator op{};
    if (std::optional<std::int32_t> code = VariableStore::lookupIntVariable(name)) {
        if (!findAssignOperator(rest, op)) return StatementFailure::NoOperator;
        out.code = kIntAssign + op.kind;
        out.targetCode = *code;
    } else if (std::optional<std::int32_t> code = VariableStore::lookupStringVariable(name)) {
        if (!findAssignOperator(rest, op) || op.kind != 0) return StatementFailure::StringOperator;
        out.code = kStrAssign;
        out.targetCode = *code;
    } else {
        return StatementFailure::UnknownWord;
    }
    out.text.assign(statement);
    out.argument.assign(trimBlanks(rest.substr(op.valueStart)));
    out.target.assign(name);
    out.targetIndex.assign(index);
    return StatementFailure::None;
}

// "(file)N" opens every loader warning.
void FileLoader::writeLocation(std::int32_t lineNumber) {
    console_.writeText(msg::LOAD_LINE_OPEN);
    console_.writeText(fileName_);
    console_.writeText(msg::LOAD_LINE_CLOSE);
    console_.writeNumber(lineNumber);
}

void FileLoader::warnOutsideFunction(std::int32_t lineNumber, std::string_view text, std::string_view what) {
    writeLocation(lineNumber);
    console_.writeText(msg::NO_FUNCTION_YET);
    console_.writeText(text);
    console_.writeText(what);
    console_.endLine();
}

// Unlike the label and attribute warnings, this one puts the statement on
// a line of its own.
void FileLoader::warnStatementOutsideFunction(std::int32_t lineNumber, std::string_view text) {
    writeLocation(lineNumber);
    console_.writeText(msg::NO_FUNCTION_YET);
    console_.endLine();
    console_.writeText(text);
    console_.endLine();
    console_.writeText(msg::STATEMENT_OUTSIDE_FUNCTION);
    console_.endLine();
}

void FileLoader::warnStatementFailure(std::int32_t lineNumber, std::string_view text, StatementFailure why) {
    writeLocation(lineNumber);
    console_.writeText(msg::AT_LINE_OF);
    console_.endLine();
    console_.writeText(text);
    console_.endLine();
    switch (why) {
    case StatementFailure::NoOperator: console_.writeText(msg::NO_ASSIGN_OPERATOR); break;
    case StatementFailure::StringOperator: console_.writeText(msg::NO_STRING_ASSIGN_OPERATOR); break;
    case StatementFailure::UnknownWord:
    case StatementFailure::None: console_.writeText(msg::UNKNOWN_WORD); break;
    }
    console_.endLine();
}

}  // namespace

void loadScriptText(ScriptProgram& program, Console& console, const std::string& fileName,
                    std::string_view bytes) {
    console.writeText(fileName);
    console.writeText(msg::FILE_LOADING);
    console.endLine();
    FileLoader loader(program, console, fileName);
    LineReader reader(bytes);
    std::string_view line;
    while (reader.next(line)) loader.loadLine(line, reader.lineNumber());
}

bool loadScriptFiles(ScriptProgram& program, Console& console, const std::string& folder) {
    std::string bytes;  // one buffer for every file
    for (const std::string& name : listGameFiles(folder, ".kst")) {
        if (!readWholeFile(folder + "/" + name, bytes)) {
            console.writeText(name);
            console.writeText(msg::OPEN_FAILED);
            console.endLine();
            return false;
        }
        loadScriptText(program, console, name, bytes);
    }
    return true;
}

}  // namespace kiro
