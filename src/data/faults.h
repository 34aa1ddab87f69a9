// The failures the data layer raises. The array error is the game's: an
// index outside a character list, a per-character array or a data file's
// table; the script's guard and the top level report it (error_reports.h).
// An engine fault is a rule of the engine's own that was broken.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiro {

// Not a std::exception, so that no guard meant for the engine's own faults
// can take it for one, or the other way round.
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
