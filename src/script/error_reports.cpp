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
#include "script/trace.h"

namespace kiro {
namespace {

// One part of a message: a catalogue text, or the error's detail.
struct MessagePart {
    std::string_view text;
    bool detail = false;
    constexpr MessagePart() = default;
    constexpr MessagePart(std::string_view catalogueText) : text(catalogueText) {}
};

struct MessageEntry {
    ErrorClass errorClass;
    std::int32_t code;
    MessagePart parts[3];
};

// The message table, made from errors.def: its parts name catalogue texts.
namespace message_parts {
using namespace msg;
constexpr MessagePart DETAIL = [] {
    MessagePart part;
    part.detail = true;
    return part;
}();
#define PARTS(...) {__VA_ARGS__}
#define E(Class, Name, code, Category, parts, meaning) {ErrorClass::Class, code, PARTS parts},
constexpr MessageEntry kMessages[] = {
#include "script/errors.def"
};
#undef E
#undef PARTS
}  // namespace message_parts

std::string decimal(std::int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

// A code the table does not know shows as its number, so a report is never
// silent.
std::string compose(ErrorClass errorClass, std::int32_t code, const std::string& detail) {
    for (const MessageEntry& entry : message_parts::kMessages) {
        if (entry.errorClass != errorClass || entry.code != code) continue;
        std::string text;
        for (const MessagePart& part : entry.parts) text += part.detail ? std::string_view(detail) : part.text;
        return text;
    }
    return decimal(code);
}

// Script reports name a place only in a run that goes back to a top-level
// run: the bottom frame of the chain is the game loop's.
bool underTopLevelRun(const Runtime& rt) {
    const ScriptExecutor* frame = rt.running;
    while (frame && frame->caller) frame = frame->caller;
    return frame && frame->origin == FrameStart::TopLevel;
}

void writeArrayBannerAndMessage(Console& console) {
    console.writeText(msg::ARRAY_ERROR_BANNER);
    console.endLine();
    console.writeText(msg::ARRAY_ERROR_MESSAGE);
}

// "file N行目", N counted from the function's header: only while a frame
// runs (an error escaped the top-level run; an error raised outside any
// line, in a phase or the title screen, has no place).
void writeTopLevelLocation(Runtime& rt) {
    const ScriptExecutor* frame = rt.running;
    if (!frame || !frame->function) return;
    rt.console.writeText(frame->function->sourceFile);
    rt.console.writeText(decimal(std::int64_t{frame->function->headerLine} + frame->pc + 1));
    rt.console.writeText(msg::AT_LINE_PLAIN);
    rt.console.endLine();
}

// The trace line of an error the guard reports: at the running frame's line.
void traceGuardError(const Runtime& rt, std::string_view code) {
    const ScriptLine* line = rt.running ? rt.running->lineAtPc() : nullptr;
    traceError(line ? rt.running->function : nullptr, line ? line->lineNumber : 0, code);
}

// The trace line of an error that ended the run, where writeTopLevelLocation
// names it.
void traceTopLevelError(const Runtime& rt, std::string_view code) {
    const ScriptExecutor* frame = rt.running;
    if (frame && frame->function)
        traceError(frame->function, frame->function->headerLine + frame->pc + 1, code);
    else
        traceError(nullptr, 0, code);
}

constexpr std::string_view kArrayErrorCode = "array";

template <typename Error>
void printAnyError(Console& console, const Error& error) {
    console.writeText(messageOf(error));
    console.endLine();
    console.waitForEnter();  // discards what is left of the typed line first
}

}  // namespace

std::string messageOf(const CExecError& error) { return compose(ErrorClass::Exec, error.code, error.detail); }

std::string messageOf(const CProcessError& error) { return compose(ErrorClass::Process, error.code, error.detail); }

std::string messageOf(const CInitError& error) {
    return compose(ErrorClass::Init, error.code, decimal(error.characterCount));
}

void printError(Console& console, const CExecError& error) { printAnyError(console, error); }
void printError(Console& console, const CProcessError& error) { printAnyError(console, error); }
void printError(Console& console, const CInitError& error) { printAnyError(console, error); }

void reportExecError(Runtime& rt, const CExecError& error) {
    if (traceFile) traceGuardError(rt, decimal(error.code));
    Console& console = rt.console;
    console.endLine();
    const ScriptLine* line = rt.running ? rt.running->lineAtPc() : nullptr;
    if (line) {
        console.writeText(msg::LOAD_LINE_OPEN);
        console.writeText(rt.running->function->sourceFile);
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
void reportExecArrayError(Runtime& rt) {
    if (traceFile) traceGuardError(rt, kArrayErrorCode);
    Console& console = rt.console;
    console.endLine();
    writeArrayBannerAndMessage(console);
    const ScriptLine* line = rt.running ? rt.running->lineAtPc() : nullptr;
    if (line && underTopLevelRun(rt)) {
        console.writeText(rt.running->function->sourceFile);
        console.writeNumber(line->lineNumber);
        console.writeText(msg::AT_LINE_PLAIN);
        console.endLine();
        console.writeText(line->text);
        console.endLine();
    }
    writeArrayBannerAndMessage(console);
    console.waitForEnter();
}

void reportTopLevelError(Runtime& rt, const CExecError& error) {
    if (traceFile) traceTopLevelError(rt, decimal(error.code));
    writeTopLevelLocation(rt);
    printError(rt.console, error);
}

void reportTopLevelError(Runtime& rt, const CProcessError& error) {
    if (traceFile) traceTopLevelError(rt, "process " + decimal(error.code));
    writeTopLevelLocation(rt);
    printError(rt.console, error);
}

void reportTopLevelArrayError(Runtime& rt) {
    if (traceFile) traceTopLevelError(rt, kArrayErrorCode);
    writeTopLevelLocation(rt);
    writeArrayBannerAndMessage(rt.console);
    rt.console.waitForEnter();
}

void reportStartupArrayError(Console& console) {
    console.endLine();
    writeArrayBannerAndMessage(console);
    console.waitForEnter();
}

void reportEngineFault(Console& console, const std::exception& fault) {
    console.endLine();
    console.writeText(msg::INTERNAL_ERROR);
    console.writeText(msg::ENGINE_FAULT);
    console.endLine();
    console.writeText(fault.what());
    console.endLine();
    console.waitForEnter();
}

}  // namespace kiro
