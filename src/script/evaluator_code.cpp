// Running compiled expression steps (expression_code.h). This is the path
// every script line takes once its expression has compiled, so it works on
// a fixed array of slots and allocates nothing.
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/expression_code.h"
#include "script/expression_syntax.h"

namespace kiro {
namespace {

// Sum, difference and product wrap in 32 bits.
std::int32_t wrapped(std::int32_t a, std::int32_t b, std::uint32_t (*op)(std::uint32_t, std::uint32_t)) {
    return static_cast<std::int32_t>(op(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)));
}
constexpr std::uint32_t plus(std::uint32_t a, std::uint32_t b) { return a + b; }
constexpr std::uint32_t minus(std::uint32_t a, std::uint32_t b) { return a - b; }
constexpr std::uint32_t times(std::uint32_t a, std::uint32_t b) { return a * b; }

std::int32_t quotient(std::int32_t a, std::int32_t b, bool remainder) {
    if (b == 0) throw CExecError(error_code::DivisionByZero);
    if (a == INT32_MIN && b == -1) return remainder ? 0 : INT32_MIN;  // the one quotient that wraps
    return remainder ? a % b : a / b;
}

constexpr std::uint8_t fold(Operator op) {
    return static_cast<std::uint8_t>(int{ExpressionCode::kFoldFirst} + int{op});
}

}  // namespace

std::int32_t Evaluator::run(const ExpressionCode& code) {
    std::int32_t slot[ExpressionCode::kMaxSlots];
    for (const ExpressionCode::Step& step : code.steps) {
        std::int32_t& value = slot[step.slot];
        const std::int32_t& other = slot[step.other];  // only folds look at it
        switch (step.kind) {
            case ExpressionCode::kConstant: value = step.a; break;
            case ExpressionCode::kGlobal: {
                const std::vector<std::int32_t>& entries = store_.global(step.a);
                if (static_cast<std::uint32_t>(step.b) >= entries.size()) throw CExecError(error_code::ReadIndex);
                value = entries[static_cast<std::size_t>(step.b)];
                break;
            }
            case ExpressionCode::kReference: value = readReference(code.refs[static_cast<std::size_t>(step.a)]); break;
            case fold(kPlusOp): value = wrapped(value, other, plus); break;
            case fold(kMinusOp): value = wrapped(value, other, minus); break;
            case fold(kTimesOp): value = wrapped(value, other, times); break;
            case fold(kDivideOp): value = quotient(value, other, false); break;
            case fold(kRemainderOp): value = quotient(value, other, true); break;
            case fold(kEqualOp): value = value == other; break;
            case fold(kNotEqualOp): value = value != other; break;
            case fold(kLessEqualOp): value = value <= other; break;
            case fold(kLessOp): value = value < other; break;
            case fold(kGreaterEqualOp): value = value >= other; break;
            case fold(kGreaterOp): value = value > other; break;
            case fold(kAndOp): value = value != 0 && other != 0; break;
            case fold(kOrOp): value = value != 0 || other != 0; break;
            case fold(kBitAndOp): value = value & other; break;
            case fold(kBitOrOp): value = value | other; break;
        }
    }
    return slot[code.result];
}

std::int32_t Expression::evaluate(Evaluator& evaluator) const {
    return code_ ? evaluator.run(*code_) : evaluator.evaluateExpression(text_);
}

}  // namespace kiro
