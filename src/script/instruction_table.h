// The two fixed keyword tables of the language: instruction keywords to
// their codes (generated from instructions.def) and the BEGIN targets.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kiro {

enum InstructionCode : std::int32_t {
#define INSTRUCTION(keyword, code, handler) k##keyword = code,
#include "script/instructions.def"
#undef INSTRUCTION
};
inline constexpr std::int32_t kInstructionCodeLimit = 55;  // codes 0-54

// Keyword (already upper-cased) to its code.
std::optional<std::int32_t> lookupInstruction(std::string_view keyword);
// The keyword of a code, empty for codes without one.
std::string_view instructionKeyword(std::int32_t code);

// BEGIN targets: TRAIN 0, AFTERTRAIN 1, ABLUP 2, TURNEND 3, SHOP 4.
enum BeginTarget : std::int32_t {
    kBeginTrain = 0, kBeginAfterTrain = 1, kBeginAblup = 2, kBeginTurnEnd = 3, kBeginShop = 4,
};
std::optional<std::int32_t> lookupBeginTarget(std::string_view name);

}  // namespace kiro
