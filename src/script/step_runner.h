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

// The value of the steps; `store` is the evaluator's store. With GCC or
// Clang every step ends in its own jump to the next step's code (so each
// such jump is predicted on its own); elsewhere the steps run through one
// switch. Either way the bodies are the ones below.
#if defined(__GNUC__)
#define KIRO_THREADED_STEPS 1
// A function holding label addresses is never inlined, so this one is not
// asked to be.
inline
#else
#define KIRO_THREADED_STEPS 0
KIRO_ALWAYS_INLINE
#endif
std::int32_t runSteps(Evaluator& evaluator, VariableStore& store, const ExpressionCode& code) {
    using step_runner::globalElement;
    std::int32_t slot[ExpressionCode::kMaxSlots];
    const ExpressionCode::Step* step = code.steps.data();
#if KIRO_THREADED_STEPS
    // One target per step kind, in kind order; the one unused kind after each
    // run of operators goes to `unused`.
    static_assert(int{ExpressionCode::kFoldFirst} == 4);
    static_assert(int{ExpressionCode::kFoldNumberFirst} == int{ExpressionCode::kFoldFirst} + int{kOperatorCount} + 1);
    static_assert(int{ExpressionCode::kGlobalFoldNumberFirst} ==
                  int{ExpressionCode::kFoldNumberFirst} + int{kOperatorCount} + 1);
    static_assert(int{ExpressionCode::kFoldGlobalFirst} ==
                  int{ExpressionCode::kGlobalFoldNumberFirst} + int{kOperatorCount} + 1);
    static_assert(int{ExpressionCode::kStepKindLimit} == int{ExpressionCode::kFoldGlobalFirst} + int{kOperatorCount} + 1);
#define KIRO_FOLD_TARGET(code, spelling, pass, function) &&fold_##code,
#define KIRO_FOLD_NUMBER_TARGET(code, spelling, pass, function) &&foldNumber_##code,
#define KIRO_GLOBAL_FOLD_NUMBER_TARGET(code, spelling, pass, function) &&globalFoldNumber_##code,
#define KIRO_FOLD_GLOBAL_TARGET(code, spelling, pass, function) &&foldGlobal_##code,
    static const void* const kTargets[ExpressionCode::kStepKindLimit] = {
        &&constant, &&global, &&reference, &&end,
        KIRO_OPERATORS(KIRO_FOLD_TARGET) &&unused,
        KIRO_OPERATORS(KIRO_FOLD_NUMBER_TARGET) &&unused,
        KIRO_OPERATORS(KIRO_GLOBAL_FOLD_NUMBER_TARGET) &&unused,
        KIRO_OPERATORS(KIRO_FOLD_GLOBAL_TARGET) &&unused,
    };
#undef KIRO_FOLD_GLOBAL_TARGET
#undef KIRO_GLOBAL_FOLD_NUMBER_TARGET
#undef KIRO_FOLD_NUMBER_TARGET
#undef KIRO_FOLD_TARGET
#define KIRO_STEP(label, kind) label:
#define KIRO_NEXT_STEP() goto* kTargets[(++step)->kind]
    goto* kTargets[step->kind];
#else
#define KIRO_STEP(label, kind) case kind:
#define KIRO_NEXT_STEP() continue
    // The steps end with kEnd, so the loop needs no other end test.
    for (;; ++step) switch (step->kind) {
#endif
    KIRO_STEP(constant, ExpressionCode::kConstant)
        slot[step->slot] = step->a;
        KIRO_NEXT_STEP();
    KIRO_STEP(global, ExpressionCode::kGlobal)
        slot[step->slot] = globalElement(store, step->a, step->b);
        KIRO_NEXT_STEP();
    KIRO_STEP(reference, ExpressionCode::kReference)
        slot[step->slot] = evaluator.readReference(code.refs[static_cast<std::size_t>(step->a)]);
        KIRO_NEXT_STEP();
    KIRO_STEP(end, ExpressionCode::kEnd)
        return slot[code.result];
#define KIRO_FOLD_CASE(code, spelling, pass, function)                             \
    KIRO_STEP(fold_##code, ExpressionCode::foldKind(code))                          \
        slot[step->slot] = function(slot[step->slot], slot[step->other]);            \
        KIRO_NEXT_STEP();                                                            \
    KIRO_STEP(foldNumber_##code, ExpressionCode::foldNumberKind(code))              \
        slot[step->slot] = function(slot[step->slot], step->a);                      \
        KIRO_NEXT_STEP();                                                            \
    KIRO_STEP(globalFoldNumber_##code, ExpressionCode::globalFoldNumberKind(code))  \
        slot[step->slot] = function(globalElement(store, step->a, step->b), step->c); \
        KIRO_NEXT_STEP();                                                            \
    KIRO_STEP(foldGlobal_##code, ExpressionCode::foldGlobalKind(code))              \
        slot[step->slot] = function(slot[step->slot], globalElement(store, step->a, step->b)); \
        KIRO_NEXT_STEP();
    KIRO_OPERATORS(KIRO_FOLD_CASE)
#undef KIRO_FOLD_CASE
#if KIRO_THREADED_STEPS
    unused:
        __builtin_unreachable();  // the compiler makes no other kind
#else
        default:
            break;  // the compiler makes no other kind
    }
#endif
#undef KIRO_NEXT_STEP
#undef KIRO_STEP
}

}  // namespace kiro
