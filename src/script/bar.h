// The level bar shared by BAR/BARL and PRINT_PALAM: "[", fill characters,
// "." up to the length, "]".
#pragma once

#include <cstdint>

namespace kiro {

class Console;

// Writes "[" first; a maximum of 0 then raises CExecError 18.
void drawBar(Console& console, std::int32_t value, std::int32_t maximum, std::int32_t length, char fill);

}  // namespace kiro
