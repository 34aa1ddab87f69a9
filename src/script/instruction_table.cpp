// Keyword and trait tables, built from the instruction list.
//
// The loader looks up the first word of every statement, a million times
// for a large game, and most words (assignment targets) are no keyword, so
// the keywords also sit in an open-addressing hash table built at compile
// time: a lookup hashes the word once and compares about one entry.
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

constexpr std::size_t kHashSlots = 128;  // a power of two, well above the keyword count
static_assert(std::size(kKeywords) * 2 < kHashSlots);
static_assert([] {
    for (const Keyword& k : kKeywords)
        if (k.name.size() > 16) return false;
    return true;
}(), "keywords are compared 16 bytes at most");

constexpr std::size_t hashWord(std::string_view word) {
    const auto first = static_cast<unsigned char>(word.front());
    const auto last = static_cast<unsigned char>(word.back());
    const auto middle = static_cast<unsigned char>(word[word.size() / 2]);
    return (word.size() * 37 + first * 11 + middle * 5 + last) & (kHashSlots - 1);
}

// Whether n bytes (at most 16) are equal, compared without a call: two
// loads that may overlap cover every length.
template <typename Word>
bool sameEnds(const char* a, const char* b, std::size_t n) {
    Word a1, a2, b1, b2;
    std::memcpy(&a1, a, sizeof(Word));
    std::memcpy(&b1, b, sizeof(Word));
    std::memcpy(&a2, a + n - sizeof(Word), sizeof(Word));
    std::memcpy(&b2, b + n - sizeof(Word), sizeof(Word));
    return a1 == b1 && a2 == b2;
}

bool sameShortBytes(const char* a, const char* b, std::size_t n) {
    if (n >= 8) return sameEnds<std::uint64_t>(a, b, n);
    if (n >= 4) return sameEnds<std::uint32_t>(a, b, n);
    if (n >= 2) return sameEnds<std::uint16_t>(a, b, n);
    return n == 0 || *a == *b;
}

struct KeywordSlot {
    std::string_view name;  // empty: an empty slot
    std::int32_t code = 0;
};

constexpr std::array<KeywordSlot, kHashSlots> kKeywordSlots = [] {
    std::array<KeywordSlot, kHashSlots> slots{};
    for (const Keyword& k : kKeywords) {
        std::size_t at = hashWord(k.name);
        while (!slots[at].name.empty()) at = (at + 1) & (kHashSlots - 1);
        slots[at] = {k.name, k.code};
    }
    return slots;
}();

constexpr Keyword kBeginTargets[] = {
    {"TRAIN", kBeginTrain}, {"AFTERTRAIN", kBeginAfterTrain}, {"ABLUP", kBeginAblup},
    {"TURNEND", kBeginTurnEnd}, {"SHOP", kBeginShop},
};

}  // namespace

std::optional<std::int32_t> lookupInstruction(std::string_view keyword) {
    if (keyword.empty()) return std::nullopt;
    for (std::size_t at = hashWord(keyword); !kKeywordSlots[at].name.empty(); at = (at + 1) & (kHashSlots - 1)) {
        const KeywordSlot& slot = kKeywordSlots[at];
        if (slot.name.size() == keyword.size() && sameShortBytes(slot.name.data(), keyword.data(), keyword.size()))
            return slot.code;
    }
    return std::nullopt;
}

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
