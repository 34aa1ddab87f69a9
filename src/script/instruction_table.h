// The fixed tables of the language, made from instructions.def: instruction
// keywords to their codes, each code's argument shape and what follows its
// output, and the BEGIN targets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// The keywords sit in an open-addressing hash table built at compile time.
// The loader looks up the first word of every statement, a million times
// for a large game, so a lookup is inline: it hashes the word once and
// compares about one entry, without a call.
namespace keyword_hash {

inline constexpr std::size_t kKeywordHashSlots = 128;  // a power of two, well above the keyword count

struct KeywordSlot {
    std::string_view name;  // empty: an empty slot
    std::int32_t code = 0;
};
extern const std::array<KeywordSlot, kKeywordHashSlots> kKeywordSlots;

constexpr std::size_t hashWord(std::string_view word) {
    const auto first = static_cast<unsigned char>(word.front());
    const auto last = static_cast<unsigned char>(word.back());
    const auto middle = static_cast<unsigned char>(word[word.size() / 2]);
    return (word.size() * 37 + first * 11 + middle * 5 + last) & (kKeywordHashSlots - 1);
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

inline bool sameShortBytes(const char* a, const char* b, std::size_t n) {
    if (n >= 8) return sameEnds<std::uint64_t>(a, b, n);
    if (n >= 4) return sameEnds<std::uint32_t>(a, b, n);
    if (n >= 2) return sameEnds<std::uint16_t>(a, b, n);
    return n == 0 || *a == *b;
}

}  // namespace keyword_hash

// Keyword (already upper-cased) to its code.
[[gnu::always_inline]] inline std::optional<std::int32_t> lookupInstruction(std::string_view keyword) {
    using namespace keyword_hash;
    if (keyword.empty() || keyword.size() > 16) return std::nullopt;
    for (std::size_t at = hashWord(keyword); !kKeywordSlots[at].name.empty(); at = (at + 1) & (kKeywordHashSlots - 1)) {
        const KeywordSlot& slot = kKeywordSlots[at];
        if (slot.name.size() == keyword.size() && sameShortBytes(slot.name.data(), keyword.data(), keyword.size()))
            return slot.code;
    }
    return std::nullopt;
}
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
