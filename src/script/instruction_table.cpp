// Keyword tables, built from the instruction list.
#include "script/instruction_table.h"

#include <array>
#include <string_view>

namespace kiro {
namespace {

struct Keyword {
    std::string_view name;
    std::int32_t code;
};

constexpr Keyword kKeywords[] = {
#define INSTRUCTION(keyword, code, handler) {#keyword, code},
#include "script/instructions.def"
#undef INSTRUCTION
};

constexpr Keyword kBeginTargets[] = {
    {"TRAIN", kBeginTrain}, {"AFTERTRAIN", kBeginAfterTrain}, {"ABLUP", kBeginAblup},
    {"TURNEND", kBeginTurnEnd}, {"SHOP", kBeginShop},
};

}  // namespace

std::optional<std::int32_t> lookupInstruction(std::string_view keyword) {
    for (const Keyword& k : kKeywords)
        if (k.name == keyword) return k.code;
    return std::nullopt;
}

std::string_view instructionKeyword(std::int32_t code) {
    for (const Keyword& k : kKeywords)
        if (k.code == code) return k.name;
    return {};
}

std::optional<std::int32_t> lookupBeginTarget(std::string_view name) {
    for (const Keyword& k : kBeginTargets)
        if (k.name == name) return k.code;
    return std::nullopt;
}

}  // namespace kiro
