// Fuzz target: PRINTFORM texts through the expansion. A text is expanded
// twice and must come out the same (or fail the same way) unless it draws
// RAND, which catches state left behind between expansions.
#include <cstdlib>

#include "fuzz_support.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/form_expansion.h"

namespace {

// The expanded text, or the error code as text after a NUL.
std::string expand(kiro::Evaluator& evaluator, std::string_view form) {
    try {
        return kiro::expandForm(evaluator, form);
    } catch (const kiro::CExecError& e) {
        return std::string(1, '\0') + std::to_string(e.code);
    } catch (const kiro::ArrayError&) {
        return std::string(1, '\0') + "range";
    }
}

bool drawsRandom(std::string_view text) {
    for (std::size_t i = 0; i + 4 <= text.size(); ++i)
        if ((text[i] & ~0x20) == 'R' && (text[i + 1] & ~0x20) == 'A' && (text[i + 2] & ~0x20) == 'N' &&
            (text[i + 3] & ~0x20) == 'D')
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kiro::VariableStore store;
    static bool ready = (kiro::fuzz::populate(store), true);
    (void)ready;
    kiro::Evaluator evaluator(store);
    std::string_view form = kiro::fuzz::asText(data, size);
    std::string first = expand(evaluator, form);
    if (expand(evaluator, form) != first && !drawsRandom(form)) std::abort();
    return 0;
}
