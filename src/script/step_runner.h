// Running compiled expression steps (expression_code.h), written inline so
// that the statement loop can run an assignment's steps without a call.
// This is the path every script line takes once its expression has
// compiled, so it works on a fixed array of slots and allocates nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "data/variable_store.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/expression_code.h"
#include "script/operators.h"

#if defined(__GNUC__)
#define KIRO_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define KIRO_ALWAYS_INLINE inline
#endif

namespace kiro {

static_assert(int{ExpressionCode::kFoldFirst} + int{kOperatorCount} <= int{ExpressionCode::kFoldNumberFirst});
static_assert(int{ExpressionCode::kFoldNumberFirst} + int{kOperatorCount} <= int{ExpressionCode::kGlobalFoldNumberFirst});
static_assert(int{ExpressionCode::kGlobalFoldNumberFirst} + int{kOperatorCount} <= int{ExpressionCode::kFoldGlobalFirst});
static_assert(int{ExpressionCode::kFoldGlobalFirst} + int{kOperatorCount} <= int{ExpressionCode::kStepKindLimit});

namespace step_runner {

// A global element with a number for index, bounds checked.
inline std::int32_t globalElement(VariableStore& store, std::int32_t code, std::int32_t index) {
    const std::vector<std::int32_t>& entries = store.global(code);
    if (static_cast<std::uint32_t>(index) >= entries.size()) throw CExecError(error_code::ReadIndex);
    return entries[static_cast<std::size_t>(index)];
}

}  // namespace step_runner

// The value of the steps; `store` is the evaluator's store.
KIRO_ALWAYS_INLINE std::int32_t runSteps(Evaluator& evaluator, VariableStore& store, const ExpressionCode& code) {
    using step_runner::globalElement;
    std::int32_t slot[ExpressionCode::kMaxSlots];
    // The steps end with kEnd, so the loop needs no other end test.
    for (const ExpressionCode::Step* step = code.steps.data();; ++step) {
        std::int32_t& value = slot[step->slot];
        switch (step->kind) {
            case ExpressionCode::kConstant: value = step->a; break;
            case ExpressionCode::kGlobal: value = globalElement(store, step->a, step->b); break;
            case ExpressionCode::kReference: value = evaluator.readReference(code.refs[static_cast<std::size_t>(step->a)]); break;
            case ExpressionCode::kEnd: return slot[code.result];
#define KIRO_FOLD_CASE(code, spelling, pass, function) \
    case ExpressionCode::foldKind(code): value = function(value, slot[step->other]); break;
            KIRO_OPERATORS(KIRO_FOLD_CASE)
#undef KIRO_FOLD_CASE
#define KIRO_FOLD_NUMBER_CASE(code, spelling, pass, function) \
    case ExpressionCode::foldNumberKind(code): value = function(value, step->a); break;
            KIRO_OPERATORS(KIRO_FOLD_NUMBER_CASE)
#undef KIRO_FOLD_NUMBER_CASE
#define KIRO_GLOBAL_FOLD_NUMBER_CASE(code, spelling, pass, function) \
    case ExpressionCode::globalFoldNumberKind(code): value = function(globalElement(store, step->a, step->b), step->c); break;
            KIRO_OPERATORS(KIRO_GLOBAL_FOLD_NUMBER_CASE)
#undef KIRO_GLOBAL_FOLD_NUMBER_CASE
#define KIRO_FOLD_GLOBAL_CASE(code, spelling, pass, function) \
    case ExpressionCode::foldGlobalKind(code): value = function(value, globalElement(store, step->a, step->b)); break;
            KIRO_OPERATORS(KIRO_FOLD_GLOBAL_CASE)
#undef KIRO_FOLD_GLOBAL_CASE
            default:
#if defined(__GNUC__)
                __builtin_unreachable();  // the compiler makes no other kind
#endif
                break;
        }
    }
}

}  // namespace kiro
