// The PRINTFORM expansion: {expressions}, %string references% and the five
// name markers, replaced in seven phases.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/expression_code.h"

namespace kiro {

class Evaluator;

// Bounds that keep a self-reproducing text from running for ever: going
// beyond either raises CExecError 32.
inline constexpr int kMaxFormSubstitutions = 10000;
inline constexpr std::size_t kMaxFormLength = 1 << 20;

std::string expandForm(Evaluator& evaluator, std::string_view text);

// A script line's form text, cut once into literal runs and {expressions}.
// Most forms need nothing but the first phase: no '%', no name marker,
// every '{' closed, too short to reach the bounds. Those expand to their
// runs and values directly; any other form is expanded by expandForm. The
// text must outlive the PreparedForm.
class PreparedForm {
public:
    explicit PreparedForm(std::string_view text);
    // Replaces `out` by the expansion: the same text, or the same error, as
    // expandForm.
    void expand(Evaluator& evaluator, std::string& out) const;

private:
    struct Piece {
        std::string_view before;  // the literal run before the expression
        Expression expression;
    };
    std::string_view text_;
    std::vector<Piece> pieces_;
    std::string_view tail_;  // the literal run after the last expression
    bool direct_ = false;    // expands without expandForm
};

}  // namespace kiro
