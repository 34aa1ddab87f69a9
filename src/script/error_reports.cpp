// Error reports: the message table of every error code, and the report
// sequences of the executor's guard and of the program's top level.
//
// Messages are composed only here, from the code, when an error is shown;
// the raising code carries nothing but the code and the detail text.
#include "script/error_reports.h"

#include <charconv>
#include <string_view>

#include "console/console.h"
#include "messages.h"
#include "script/executor.h"
#include "script/runtime.h"

namespace kiro {
namespace {

// One message: `before`, then the error's detail when `withDetail`, then
// `after`.
struct MessageEntry {
    std::int32_t code;
    std::string_view before;
    bool withDetail;
    std::string_view after;
};

constexpr MessageEntry kExecMessages[] = {
    {exec_error::kReadSlot, msg::EXEC_2, false, {}},
    {exec_error::kReadIndex, msg::EXEC_3, false, {}},
    {exec_error::kReadUnknownName, msg::EXEC_4, false, {}},
    {exec_error::kAssignSlot, msg::EXEC_5, false, {}},
    {exec_error::kAssignIndex, msg::EXEC_6, false, {}},
    {exec_error::kAssignUnknownName, msg::EXEC_7, false, {}},
    {exec_error::kUnmatchedClose, msg::EXEC_10, false, {}},
    {exec_error::kEmptyGroup, msg::EXEC_11, false, {}},
    {exec_error::kDoubleByte, msg::EXEC_12, false, {}},
    {exec_error::kDoubleMinus, msg::EXEC_13, false, {}},
    {exec_error::kAfterNumber, msg::EXEC_14, false, {}},
    {exec_error::kAfterName, msg::EXEC_15, false, {}},
    {exec_error::kNoOperatorAfterBlank, msg::EXEC_16, false, {}},
    {exec_error::kBadOperator, msg::EXEC_17, false, {}},
    {exec_error::kDivisionByZero, msg::EXEC_18, false, {}},
    {exec_error::kStringSlot, msg::EXEC_22, false, {}},
    {exec_error::kStringIndex, msg::EXEC_23, false, {}},
    {exec_error::kStringUnknownName, msg::EXEC_24, false, {}},
    {exec_error::kUnclosedBrace, msg::EXEC_30, false, {}},
    {exec_error::kUnclosedPercent, msg::EXEC_31, false, {}},
    {exec_error::kFormRunaway, msg::EXEC_32, false, {}},
    {exec_error::kStrayElse, msg::EXEC_100, false, {}},
    {exec_error::kNoLabel, {}, true, msg::EXEC_200},
    {exec_error::kNoFunction, {}, true, msg::EXEC_201},
    {exec_error::kJumpFromCall, msg::EXEC_202, false, {}},
    {exec_error::kNestedRepeat, msg::EXEC_203, false, {}},
    {exec_error::kRepeatCount, msg::EXEC_204, false, {}},
    {exec_error::kBadBeginTarget, {}, true, msg::EXEC_205},
    {exec_error::kOpenIfAtEnd, msg::EXEC_206, false, {}},
    {exec_error::kOpenRepeatAtEnd, msg::EXEC_207, false, {}},
    {exec_error::kCallTooDeep, msg::EXEC_208, false, {}},
    {exec_error::kBarArguments, msg::EXEC_300_BEFORE, true, msg::EXEC_300_301_AFTER},
    {exec_error::kTimesArguments, msg::EXEC_301_BEFORE, true, msg::EXEC_300_301_AFTER},
    {exec_error::kOutsideShop, msg::EXEC_400_BEFORE, true, msg::EXEC_400_AFTER},
    {exec_error::kNoResult, msg::INTERNAL_ERROR, false, msg::EXEC_1000},
    {exec_error::kNoCount, msg::INTERNAL_ERROR, false, msg::EXEC_1001},
};

constexpr MessageEntry kProcessMessages[] = {
    {1, {}, true, msg::PROCESS_1},  // detail: the missing function's name
};

std::string decimal(std::int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

// A code no table knows shows as its number, so a report is never silent.
template <std::size_t N>
std::string compose(const MessageEntry (&table)[N], std::int32_t code, const std::string& detail) {
    for (const MessageEntry& entry : table) {
        if (entry.code != code) continue;
        std::string text(entry.before);
        if (entry.withDetail) text += detail;
        text += entry.after;
        return text;
    }
    return decimal(code);
}

// The line the executor was running when the error came out of its guard:
// currentLine, or else the line at its pc (a CALLed function that fails at
// its end clears currentLine, and the line at pc is then the CALL line).
const ScriptLine* failingLine(const Runtime& rt, const ScriptExecutor& ex) {
    if (rt.currentLine) return rt.currentLine;
    if (ex.function && ex.pc >= 0 && static_cast<std::size_t>(ex.pc) < ex.function->lines.size())
        return &ex.function->lines[static_cast<std::size_t>(ex.pc)];
    return nullptr;
}

void writeArrayBannerAndMessage(Console& console) {
    console.writeText(msg::ARRAY_ERROR_BANNER);
    console.endLine();
    console.writeText(msg::ARRAY_ERROR_MESSAGE);
}

// "file N行目", N counted from the function's header: only while the
// top-level executor is running a function.
void writeTopLevelLocation(Runtime& rt) {
    const ScriptExecutor* top = rt.topExecutor.get();
    if (!top || !top->function || top->idle) return;
    rt.console.writeText(top->function->sourceFile);
    rt.console.writeText(decimal(std::int64_t{top->function->headerLine} + top->pc + 1));
    rt.console.writeText(msg::AT_LINE_PLAIN);
    rt.console.endLine();
}

template <typename Error>
void printAnyError(Console& console, const Error& error) {
    console.writeText(messageOf(error));
    console.endLine();
    console.waitForEnter();  // discards what is left of the typed line first
}

}  // namespace

std::string messageOf(const CExecError& error) { return compose(kExecMessages, error.code, error.detail); }

std::string messageOf(const CProcessError& error) {
    return compose(kProcessMessages, error.code, error.detail);
}

std::string messageOf(const CInitError& error) {
    if (error.code != 0) return decimal(error.code);
    std::string text(msg::INIT_0_BEFORE);
    text += decimal(error.characterCount);
    text += msg::INIT_0_AFTER;
    return text;
}

void printError(Console& console, const CExecError& error) { printAnyError(console, error); }
void printError(Console& console, const CProcessError& error) { printAnyError(console, error); }
void printError(Console& console, const CInitError& error) { printAnyError(console, error); }

void reportExecError(Runtime& rt, const ScriptExecutor& ex, const CExecError& error) {
    Console& console = rt.console;
    console.endLine();
    const ScriptLine* line = failingLine(rt, ex);
    if (ex.function && line) {
        console.writeText(msg::LOAD_LINE_OPEN);
        console.writeText(ex.function->sourceFile);
        console.writeText(msg::LOAD_LINE_CLOSE);
        console.writeNumber(line->lineNumber);
        console.writeText(msg::AT_LINE_COLON);
        console.endLine();
    }
    printError(console, error);
    // A second Enter, so the player cannot skip the report by accident.
    console.waitForEnter();
}

// The banner and message come twice, with the location between them: the
// location continues the first message's line.
void reportExecArrayError(Runtime& rt, const ScriptExecutor& ex) {
    Console& console = rt.console;
    console.endLine();
    writeArrayBannerAndMessage(console);
    const ScriptExecutor* top = rt.topExecutor.get();
    const ScriptLine* line = failingLine(rt, ex);
    if (ex.function && top && !top->idle && line) {
        console.writeText(ex.function->sourceFile);
        console.writeNumber(line->lineNumber);
        console.writeText(msg::AT_LINE_PLAIN);
        console.endLine();
        if (rt.currentLine) {
            console.writeText(rt.currentLine->text);
            console.endLine();
        }
    }
    writeArrayBannerAndMessage(console);
    console.waitForEnter();
}

void reportTopLevelError(Runtime& rt, const CExecError& error) {
    writeTopLevelLocation(rt);
    printError(rt.console, error);
}

void reportTopLevelError(Runtime& rt, const CProcessError& error) {
    writeTopLevelLocation(rt);
    printError(rt.console, error);
}

void reportTopLevelArrayError(Runtime& rt) {
    writeTopLevelLocation(rt);
    writeArrayBannerAndMessage(rt.console);
    rt.console.waitForEnter();
}

void reportStartupArrayError(Console& console) {
    console.endLine();
    writeArrayBannerAndMessage(console);
    console.waitForEnter();
}

}  // namespace kiro
