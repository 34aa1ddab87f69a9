// The fixed tables of the language, made from instructions.def: instruction
// keywords to their codes, each code's argument shape and what follows its
// output, and the BEGIN targets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kiro {

enum InstructionCode : std::int32_t {
#define INSTRUCTION(keyword, code, handler, shape, after) k##keyword = code,
#define STATEMENT INSTRUCTION
#include "script/instructions.def"
#undef STATEMENT
#undef INSTRUCTION
};
inline constexpr std::int32_t kInstructionCodeLimit = 64;  // codes 0-63
// Assignment codes: kIntAssign + AssignKind (0-7), and the string one.
inline constexpr std::int32_t kIntAssign = kASSIGN;
inline constexpr std::int32_t kStrAssign = kSTRING_ASSIGN;

// What an instruction's argument holds (see instructions.def).
enum class Shape : std::uint8_t {
    None, Text, Expression, ValueList, BarTriple, StringReference, FormReference, Form,
    Label, Function, BeginTarget, Number, Times, IntAssignment, StringAssignment,
};
// What follows an instruction's output.
enum class After : std::uint8_t { Nothing, EndLine, Wait };

struct InstructionTraits {
    Shape shape = Shape::None;
    After after = After::Nothing;
};
// The traits of a stored code; codes without a row have no argument.
InstructionTraits instructionTraits(std::int32_t code);

// Keyword (already upper-cased) to its code.
std::optional<std::int32_t> lookupInstruction(std::string_view keyword);
// The keyword of a code, empty for codes without one.
std::string_view instructionKeyword(std::int32_t code);
// Every keyword with its code, in list order.
struct KeywordEntry {
    std::string_view name;
    std::int32_t code;
};
std::span<const KeywordEntry> instructionKeywords();

// BEGIN targets: TRAIN 0, AFTERTRAIN 1, ABLUP 2, TURNEND 3, SHOP 4.
enum BeginTarget : std::int32_t {
    kBeginTrain = 0, kBeginAfterTrain = 1, kBeginAblup = 2, kBeginTurnEnd = 3, kBeginShop = 4,
};
std::optional<std::int32_t> lookupBeginTarget(std::string_view name);

}  // namespace kiro
