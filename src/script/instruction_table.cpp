// Keyword and trait tables, built from the instruction list.
#include "script/instruction_table.h"

#include <array>
#include <cstring>
#include <iterator>
#include <string_view>

namespace kiro {
namespace {

using Keyword = KeywordEntry;

constexpr Keyword kKeywords[] = {
#define INSTRUCTION(keyword, code, handler, shape, after) {#keyword, code},
#define STATEMENT(name, code, handler, shape, after)
#include "script/instructions.def"
#undef STATEMENT
#undef INSTRUCTION
};

constexpr std::array<InstructionTraits, kInstructionCodeLimit> kTraits = [] {
    std::array<InstructionTraits, kInstructionCodeLimit> table{};
#define INSTRUCTION(keyword, code, handler, shape, after) table[code] = {Shape::shape, After::after};
#define STATEMENT INSTRUCTION
#include "script/instructions.def"
#undef STATEMENT
#undef INSTRUCTION
    return table;
}();

static_assert(std::size(kKeywords) * 2 < keyword_hash::kKeywordHashSlots);
static_assert([] {
    for (const Keyword& k : kKeywords)
        if (k.name.size() > 16) return false;
    return true;
}(), "keywords are compared 16 bytes at most");

constexpr Keyword kBeginTargets[] = {
    {"TRAIN", kBeginTrain}, {"AFTERTRAIN", kBeginAfterTrain}, {"ABLUP", kBeginAblup},
    {"TURNEND", kBeginTurnEnd}, {"SHOP", kBeginShop},
};

}  // namespace

namespace keyword_hash {

constinit const std::array<KeywordSlot, kKeywordHashSlots> kKeywordSlots = [] {
    std::array<KeywordSlot, kKeywordHashSlots> slots{};
    for (const Keyword& k : kKeywords) {
        std::size_t at = hashWord(k.name);
        while (!slots[at].name.empty()) at = (at + 1) & (kKeywordHashSlots - 1);
        slots[at] = {k.name, k.code};
    }
    return slots;
}();

}  // namespace keyword_hash

InstructionTraits instructionTraits(std::int32_t code) {
    if (code < 0 || code >= kInstructionCodeLimit) return {};
    return kTraits[static_cast<std::size_t>(code)];
}

std::span<const KeywordEntry> instructionKeywords() { return kKeywords; }

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
