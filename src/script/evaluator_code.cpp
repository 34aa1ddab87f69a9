// Running compiled expression steps (step_runner.h).
#include "script/step_runner.h"

namespace kiro {

std::int32_t Evaluator::run(const ExpressionCode& code) { return runSteps(*this, store_, code); }

std::int32_t Expression::evaluate(Evaluator& evaluator) const {
    return code_ ? evaluator.run(*code_) : evaluator.evaluateExpression(text_);
}

}  // namespace kiro
