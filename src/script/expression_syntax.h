// The lexical pieces of integer expressions: what the tokeniser sees in a
// byte, and the binary operators (codes, spelling, precedence pass, what
// they compute). Shared by the text evaluator and the expression compiler so
// that both read and compute alike.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "data/character_record.h"

namespace kiro {

// What the tokeniser sees in a byte.
enum CharClass : std::uint8_t {
    kOtherChar, kDigitChar, kLetterChar, kUnderscoreChar, kColonChar, kBlankChar,
    kMinusChar, kOperatorChar, kLeadChar,
};

inline constexpr std::array<CharClass, 256> kCharClasses = [] {
    std::array<CharClass, 256> classes{};
    for (int c = '0'; c <= '9'; ++c) classes[c] = kDigitChar;
    for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kLetterChar;
    for (int c = 0x81; c <= 0x9F; ++c) classes[c] = kLeadChar;
    for (int c = 0xE0; c <= 0xFC; ++c) classes[c] = kLeadChar;
    for (unsigned char c : std::string_view("+*/%=!<>&|")) classes[c] = kOperatorChar;
    classes['-'] = kMinusChar;
    classes['_'] = kUnderscoreChar;
    classes[':'] = kColonChar;
    classes[' '] = kBlankChar;
    classes['\t'] = kBlankChar;
    return classes;
}();

inline CharClass classOf(char c) { return kCharClasses[static_cast<unsigned char>(c)]; }
inline bool isOperatorClass(CharClass k) { return k == kOperatorChar || k == kMinusChar; }

// Operator codes of a term list; the last term carries kNoOperator.
enum Operator : std::int32_t {
    kNoOperator = -1, kPlusOp, kMinusOp, kTimesOp, kDivideOp, kRemainderOp, kEqualOp, kNotEqualOp,
    kLessEqualOp, kLessOp, kGreaterEqualOp, kGreaterOp, kAndOp, kOrOp, kBitAndOp, kBitOrOp,
};
inline constexpr int kOperatorCount = 15;
// operatorCodeAt's answer for a lone '=' or '!', which is no operator (error 17).
inline constexpr std::int32_t kLoneOperator = -2;

// The reduction pass (1-5) of each operator code: * / % bind tightest,
// && and || loosest.
inline constexpr std::array<std::uint8_t, kOperatorCount> kPassOf = {2, 2, 1, 1, 1, 3, 3, 3, 3, 3, 3, 5, 5, 4, 4};
inline constexpr int kPassCount = 5;

// The operator starting at text[at] (a byte of "+-*/%=!<>&|"); a two-byte
// operator is recognised by its second byte, which the tokeniser then skips
// as a stray character.
inline std::int32_t operatorCodeAt(std::string_view text, std::size_t at) {
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    switch (text[at]) {
        case '+': return kPlusOp;
        case '-': return kMinusOp;
        case '*': return kTimesOp;
        case '/': return kDivideOp;
        case '%': return kRemainderOp;
        case '=': if (next == '=') return kEqualOp; break;
        case '!': if (next == '=') return kNotEqualOp; break;
        case '<': return next == '=' ? kLessEqualOp : kLessOp;
        case '>': return next == '=' ? kGreaterEqualOp : kGreaterOp;
        case '&': return next == '&' ? kAndOp : kBitAndOp;
        case '|': return next == '|' ? kOrOp : kBitOrOp;
    }
    return kLoneOperator;
}

// a OP b. The arithmetic operators share the assignment operators'
// wrap-around and division rules (error 18 on a zero divisor, INT32_MIN / -1
// wraps).
inline std::int32_t combine(std::int32_t op, std::int32_t a, std::int32_t b) {
    constexpr std::array<AssignKind, 5> kArithmeticKind = {kAdd, kSubtract, kMultiply, kDivide, kRemainder};
    switch (op) {
        case kEqualOp: return a == b;
        case kNotEqualOp: return a != b;
        case kLessEqualOp: return a <= b;
        case kLessOp: return a < b;
        case kGreaterEqualOp: return a >= b;
        case kGreaterOp: return a > b;
        case kAndOp: return a != 0 && b != 0;
        case kOrOp: return a != 0 || b != 0;
        case kBitAndOp: return a & b;
        case kBitOrOp: return a | b;
        default: return applyAssign(kArithmeticKind[static_cast<std::size_t>(op)], a, b);
    }
}

}  // namespace kiro
