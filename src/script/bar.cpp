// The level bar: "[", the fill character for the filled part, "." for the
// rest, "]".
//
// The filled count is computed in wrapping 32-bit arithmetic as the games
// expect, so absurd arguments (a huge length, a value far below zero) can
// ask for billions of characters. Each run is therefore capped; below the
// cap the bar is exactly the computed one.
#include "script/bar.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "console/console.h"
#include "script/errors.h"

namespace kiro {
namespace {

// No console line is anywhere near this long; the cap only keeps a bar
// from filling memory.
constexpr std::int64_t kMaxBarRun = 1 << 20;

void writeRun(Console& console, char c, std::int64_t count) {
    constexpr std::size_t kChunk = 64;
    char buffer[kChunk];
    std::fill(buffer, buffer + kChunk, c);
    for (std::int64_t left = std::min(count, kMaxBarRun); left > 0; left -= static_cast<std::int64_t>(kChunk))
        console.writeText(std::string_view(buffer, static_cast<std::size_t>(std::min<std::int64_t>(left, kChunk))));
}

// length * min(value, maximum) / maximum, wrapping like the 32-bit
// arithmetic of the script language (INT32_MIN / -1 stays INT32_MIN).
std::int32_t filledCount(std::int32_t value, std::int32_t maximum, std::int32_t length) {
    std::uint32_t product = static_cast<std::uint32_t>(length) * static_cast<std::uint32_t>(std::min(value, maximum));
    if (maximum == -1) return static_cast<std::int32_t>(0u - product);
    return static_cast<std::int32_t>(product) / maximum;
}

}  // namespace

void drawBar(Console& console, std::int32_t value, std::int32_t maximum, std::int32_t length, char fill) {
    console.writeText("[");
    if (maximum == 0) throw CExecError(error_code::DivisionByZero);
    std::int32_t filled = filledCount(value, maximum, length);
    if (filled > 0) writeRun(console, fill, filled);
    if (filled < length) writeRun(console, '.', std::int64_t{length} - filled);
    console.writeText("]");
}

}  // namespace kiro
