// The script loader: reads every kst/*.kst file into the ScriptProgram in a
// single pass, classifying each line once (function header, label,
// attribute, comment, or a statement tagged with its InstructionCode).
// Lines it cannot classify are reported and dropped.
#pragma once

#include <string>
#include <string_view>

#include "script/script_program.h"

namespace kiro {

class Console;
class DiagnosticSink;

// Lists kst/ (names ending in .kst regardless of case, ascending byte order)
// and loads every file, reporting to `sink`; one that is not a regular file
// is skipped. False after the report of what ends loading: a file that
// cannot be opened or is too large, or a folder that exists but cannot be
// listed.
bool loadScriptFiles(ScriptProgram& program, DiagnosticSink& sink, const std::string& folder = "kst");

// Loads one file's bytes (already read) under `fileName`, reporting that it
// is loading and any warnings. A statement cut off inside a double-byte
// character is reported with its line and throws ArrayError
// (start-up reports the array error).
void loadScriptText(ScriptProgram& program, DiagnosticSink& sink, const std::string& fileName,
                    std::string_view bytes);

// The same, printing the messages on the console.
bool loadScriptFiles(ScriptProgram& program, Console& console, const std::string& folder = "kst");
void loadScriptText(ScriptProgram& program, Console& console, const std::string& fileName, std::string_view bytes);

}  // namespace kiro
