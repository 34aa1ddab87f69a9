// The operators of integer expressions and assignments, and the one
// arithmetic they compute with. The text evaluator, the expression compiler
// (for its steps and for folding constants), the steps' runner and every
// assignment to a variable all compute through compute() and applyAssign().
//
// Values are 32 bits. +, - and * wrap; / and % truncate towards zero, a
// zero divisor raises error 18, and the one quotient that does not fit,
// -2147483648 / -1, wraps to -2147483648 and leaves 0. Nothing is computed
// in a way whose result C++ leaves undefined.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "data/character_record.h"
#include "script/errors.h"

namespace kiro {
namespace arithmetic {

constexpr std::uint32_t bits(std::int32_t v) { return static_cast<std::uint32_t>(v); }
constexpr std::int32_t wrapped(std::uint32_t b) { return static_cast<std::int32_t>(b); }

constexpr std::int32_t plus(std::int32_t a, std::int32_t b) { return wrapped(bits(a) + bits(b)); }
constexpr std::int32_t minus(std::int32_t a, std::int32_t b) { return wrapped(bits(a) - bits(b)); }
constexpr std::int32_t times(std::int32_t a, std::int32_t b) { return wrapped(bits(a) * bits(b)); }
inline std::int32_t quotient(std::int32_t a, std::int32_t b) {
    if (b == 0) throw CExecError(error_code::DivisionByZero);
    return b == -1 ? wrapped(0u - bits(a)) : a / b;
}
inline std::int32_t remainder(std::int32_t a, std::int32_t b) {
    if (b == 0) throw CExecError(error_code::DivisionByZero);
    return b == -1 ? 0 : a % b;
}
constexpr std::int32_t equal(std::int32_t a, std::int32_t b) { return a == b; }
constexpr std::int32_t notEqual(std::int32_t a, std::int32_t b) { return a != b; }
constexpr std::int32_t lessEqual(std::int32_t a, std::int32_t b) { return a <= b; }
constexpr std::int32_t less(std::int32_t a, std::int32_t b) { return a < b; }
constexpr std::int32_t greaterEqual(std::int32_t a, std::int32_t b) { return a >= b; }
constexpr std::int32_t greater(std::int32_t a, std::int32_t b) { return a > b; }
constexpr std::int32_t both(std::int32_t a, std::int32_t b) { return a != 0 && b != 0; }
constexpr std::int32_t either(std::int32_t a, std::int32_t b) { return a != 0 || b != 0; }
constexpr std::int32_t bitAnd(std::int32_t a, std::int32_t b) { return a & b; }
constexpr std::int32_t bitOr(std::int32_t a, std::int32_t b) { return a | b; }

}  // namespace arithmetic

// The binary operators, one row each: code, spelling, reduction pass (1-5:
// * / % bind tightest, && and || loosest), and the arithmetic computing it.
// Every property of an operator is read from here.
#define KIRO_OPERATORS(ROW)                                 \
    ROW(kPlusOp, "+", 2, arithmetic::plus)                  \
    ROW(kMinusOp, "-", 2, arithmetic::minus)                \
    ROW(kTimesOp, "*", 1, arithmetic::times)                \
    ROW(kDivideOp, "/", 1, arithmetic::quotient)            \
    ROW(kRemainderOp, "%", 1, arithmetic::remainder)        \
    ROW(kEqualOp, "==", 3, arithmetic::equal)               \
    ROW(kNotEqualOp, "!=", 3, arithmetic::notEqual)         \
    ROW(kLessEqualOp, "<=", 3, arithmetic::lessEqual)       \
    ROW(kLessOp, "<", 3, arithmetic::less)                  \
    ROW(kGreaterEqualOp, ">=", 3, arithmetic::greaterEqual) \
    ROW(kGreaterOp, ">", 3, arithmetic::greater)            \
    ROW(kAndOp, "&&", 5, arithmetic::both)                  \
    ROW(kOrOp, "||", 5, arithmetic::either)                 \
    ROW(kBitAndOp, "&", 4, arithmetic::bitAnd)              \
    ROW(kBitOrOp, "|", 4, arithmetic::bitOr)

// Operator codes of a term list; the last term carries kNoOperator.
enum Operator : std::int32_t {
    kNoOperator = -1,
#define KIRO_OPERATOR_CODE(code, spelling, pass, function) code,
    KIRO_OPERATORS(KIRO_OPERATOR_CODE)
#undef KIRO_OPERATOR_CODE
    kOperatorCount
};
inline constexpr int kPassCount = 5;

struct OperatorRow {
    std::string_view spelling;
    std::uint8_t pass;
};
inline constexpr std::array<OperatorRow, kOperatorCount> kOperators = {{
#define KIRO_OPERATOR_ROW(code, spelling, pass, function) {spelling, pass},
    KIRO_OPERATORS(KIRO_OPERATOR_ROW)
#undef KIRO_OPERATOR_ROW
}};

inline int passOf(std::int32_t op) { return kOperators[static_cast<std::size_t>(op)].pass; }

// a OP b.
inline std::int32_t compute(std::int32_t op, std::int32_t a, std::int32_t b) {
    switch (op) {
#define KIRO_OPERATOR_CASE(code, spelling, pass, function) \
    case code: return function(a, b);
        KIRO_OPERATORS(KIRO_OPERATOR_CASE)
#undef KIRO_OPERATOR_CASE
    }
    return b;  // kNoOperator: nothing joins the value
}

// The binary operator of each assignment operator (AssignKind, = += -= *=
// /= %= &= |=): the one before its '=', none for '='.
inline constexpr std::array<Operator, 8> kAssignOperators = {
    kNoOperator, kPlusOp, kMinusOp, kTimesOp, kDivideOp, kRemainderOp, kBitAndOp, kBitOrOp};

// The value a variable holding `old` gets from `old OP= value`. It raises
// (error 18) before anything is stored, so a failed /= or %= leaves the
// variable as it was.
inline std::int32_t applyAssign(AssignKind kind, std::int32_t old, std::int32_t value) {
    if (kind == kAssign) return value;
    const auto row = static_cast<std::size_t>(kind);
    if (row >= kAssignOperators.size()) throwEngineFault("no assignment has this operator");
    return compute(kAssignOperators[row], old, value);
}

}  // namespace kiro
