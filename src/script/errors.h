// The failures a game can cause. Three classes carry a code (and, for two
// of them, a detail text); the Japanese message is composed from the code
// only when the error is printed (error_reports.h). The codes, their
// messages and their categories are listed once, in errors.def.
//
// The fourth kind, ArrayError (data/faults.h), is an index outside a
// character list, a per-character array or a data file's table. Every other
// exception is a fault of the engine itself, never reported as the game's
// error.
#pragma once

#include <cstdint>
#include <string>

#include "data/faults.h"

namespace kiro {

// Every error code by name (errors.def).
namespace error_code {
enum Code : std::int32_t {
#define E(Class, Name, code, Category, parts, meaning) Name = code,
#include "script/errors.def"
#undef E
};
}  // namespace error_code

// Which exception class carries a code, and whether the text alone raises it.
enum class ErrorClass { Exec, Process, Init };
enum class ErrorCategory { TextFault, RunFault };

struct CExecError {
    std::int32_t code;
    std::string detail;
    explicit CExecError(std::int32_t c, std::string d = {}) : code(c), detail(std::move(d)) {}
};

struct CProcessError {
    std::int32_t code;
    std::string detail;
    CProcessError(std::int32_t c, std::string d) : code(c), detail(std::move(d)) {}
};

struct CInitError {
    std::int32_t code;
    std::int32_t characterCount = 0;  // shown in the code-0 message
};

}  // namespace kiro
