// Fuzz target: PRINTFORM texts through the expansion.
#include <stdexcept>

#include "fuzz_support.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/form_expansion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kiro::VariableStore store;
    static bool ready = (kiro::fuzz::populate(store), true);
    (void)ready;
    kiro::Evaluator evaluator(store);
    try {
        kiro::expandForm(evaluator, kiro::fuzz::asText(data, size));
    } catch (const kiro::CExecError&) {
    } catch (const std::out_of_range&) {
    }
    return 0;
}
