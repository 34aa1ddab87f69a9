// The failures a game can cause. Three classes carry a code (and, for two
// of them, a detail text); the Japanese message is composed from the code
// only when the error is printed (error_reports.h). The codes, their
// messages and their categories are listed once, in errors.def.
//
// The fourth kind, ArrayError, is an index outside a character list, a
// per-character array or a data file's table. Every other exception is a
// fault of the engine itself, never reported as the game's error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// The array error. Not a std::exception, so that no guard meant for the
// engine's own faults can take it for one, or the other way round.
struct ArrayError {};

// Out of line, so that the checks on the hot paths stay small.
[[noreturn]] void throwArrayError();
// A rule of the engine's own was broken (std::logic_error): a bug, never
// the game's error; it ends the program.
[[noreturn]] void throwEngineFault(const char* what);

// `index` as a position in a list of `size` entries; the array error outside
// it (negative indexes included).
inline std::size_t checkedIndex(std::int32_t index, std::size_t size) {
    if (static_cast<std::uint32_t>(index) >= size) [[unlikely]] throwArrayError();
    return static_cast<std::size_t>(index);
}

}  // namespace kiro
