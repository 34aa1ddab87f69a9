// The trace of a run, written when KIRO_TRACE names a file: one line per
// statement run, per function entered and left, and per error reported,
// each led by its place as error reports name it:
//   FILE:LINE: STATEMENT        the statement's bytes as in the script
//   FILE:LINE: > NAME           a function starts (LINE: its header)
//   FILE:LINE: < NAME           a function ends
//   FILE:LINE: error CODE       an error is reported (no place outside a run)
// The file is appended to through a buffer, flushed at every console read
// and at exit. Without KIRO_TRACE every hook is one test of traceFile.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kiro {

struct FunctionDefinition;
struct ScriptLine;

// The open trace, or none.
inline std::FILE* traceFile = nullptr;

// Opens KIRO_TRACE once, for appending. Empty when it is unset or opened;
// otherwise a one-line English description of the failure.
std::string openTrace();
void flushTrace();

void traceStatement(const FunctionDefinition& function, const ScriptLine& line);
void traceEnter(const FunctionDefinition& function);
void traceLeave(const FunctionDefinition& function);
// `function` is null when no line of a function was running.
void traceError(const FunctionDefinition* function, std::int32_t line, std::string_view code);

}  // namespace kiro
