// Fuzz target: expression texts and variable references against a store
// with characters; the first byte picks the operation.
#include <stdexcept>

#include "fuzz_support.h"
#include "script/errors.h"
#include "script/evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static kiro::VariableStore store;
    static bool ready = (kiro::fuzz::populate(store), true);
    (void)ready;
    kiro::Evaluator evaluator(store);
    std::string_view text = kiro::fuzz::asText(data + 1, size - 1);
    try {
        switch (data[0] % 4) {
        case 0: evaluator.evaluateExpression(text); break;
        case 1: evaluator.readVariableRef(text); break;
        case 2: evaluator.readStringVariable(text); break;
        case 3: evaluator.assignVariableRef(kiro::kAdd, text, 1); break;
        }
    } catch (const kiro::CExecError&) {
    } catch (const std::out_of_range&) {
    }
    return 0;
}
