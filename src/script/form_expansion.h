// The PRINTFORM expansion: {expressions}, %string references% and the five
// name markers, replaced in seven phases.
#pragma once

#include <string>
#include <string_view>

namespace kiro {

class Evaluator;

// Bounds that keep a self-reproducing text from running for ever: going
// beyond either raises CExecError 32.
inline constexpr int kMaxFormSubstitutions = 10000;
inline constexpr std::size_t kMaxFormLength = 1 << 20;

std::string expandForm(Evaluator& evaluator, std::string_view text);

}  // namespace kiro
