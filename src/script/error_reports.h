// How failures are shown: the message of each error code, and the report
// sequences printed by the executor's guard and by the program's top level.
#pragma once

#include <exception>
#include <string>

#include "script/errors.h"

namespace kiro {

class Console;
struct Runtime;

// The message line of an error (without its line end).
std::string messageOf(const CExecError& error);
std::string messageOf(const CProcessError& error);
std::string messageOf(const CInitError& error);

// print(): the message line, a line end, then discard pending input and wait for Enter.
void printError(Console& console, const CExecError& error);
void printError(Console& console, const CProcessError& error);
void printError(Console& console, const CInitError& error);

// Executor guard reports (the executor then goes on with its next line).
// The place is the line of the running frame (Runtime::running).
void reportExecError(Runtime& rt, const CExecError& error);
void reportExecArrayError(Runtime& rt);

// Top-level reports (the caller then ends the program with status 1).
// The location line is printed only while a frame runs: the top-level run
// an error escaped from.
void reportTopLevelError(Runtime& rt, const CExecError& error);
void reportTopLevelError(Runtime& rt, const CProcessError& error);
void reportTopLevelArrayError(Runtime& rt);
// Start-up: a line end, the banner and the message, the wait.
void reportStartupArrayError(Console& console);
// A fault of the engine itself (no error of the game): a line end, the
// internal-error line, what the fault says, the wait. The program then ends.
void reportEngineFault(Console& console, const std::exception& fault);

}  // namespace kiro
