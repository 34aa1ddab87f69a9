// Fuzz target: expression texts, variable references and assignments
// against a store with characters. The first byte picks the operation; for
// assignments the second picks the operator, a value the target is set to
// first, and the value applied, so /= and %= meet 0, -1 and -2147483648.
//
// An expression is evaluated twice and must give the same value or the same
// error both times (unless it draws RAND): the evaluator keeps buffers and
// may keep work between evaluations, and a stale leftover shows up here.
#include <climits>
#include <cstdlib>

#include "fuzz_support.h"
#include "script/errors.h"
#include "script/evaluator.h"

namespace {

constexpr std::int32_t kValues[8] = {0, 1, -1, 2, INT_MIN, INT_MAX, 7, -7};
constexpr std::int32_t kPresets[4] = {0, INT_MIN, INT_MAX, -1};  // 0 here means "leave as is"

// What one evaluation came to: a value, an error code, or the array error.
struct Outcome {
    std::int64_t value = 0;
    int kind = 0;  // 0 value, 1 CExecError, 2 ArrayError
    bool operator==(const Outcome&) const = default;
};

Outcome evaluate(kiro::Evaluator& evaluator, std::string_view text) {
    try {
        return {evaluator.evaluateExpression(text), 0};
    } catch (const kiro::CExecError& e) {
        return {e.code, 1};
    } catch (const kiro::ArrayError&) {
        return {0, 2};
    }
}

bool drawsRandom(std::string_view text) {
    const char* word = "RAND";
    for (std::size_t i = 0; i + 4 <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < 4 && (text[i + k] & ~0x20) == word[k]) ++k;
        if (k == 4) return true;
    }
    return false;
}

void checkExpression(kiro::Evaluator& evaluator, std::string_view text) {
    Outcome first = evaluate(evaluator, text);
    Outcome second = evaluate(evaluator, text);
    if (!(first == second) && !drawsRandom(text)) std::abort();
}

void assign(kiro::Evaluator& evaluator, std::uint8_t how, std::string_view text) {
    auto kind = static_cast<kiro::AssignKind>(how & 7);
    std::int32_t preset = kPresets[(how >> 3) & 3];
    if (preset != 0) evaluator.assignVariableRef(kiro::kAssign, text, preset);
    evaluator.assignVariableRef(kind, text, kValues[(how >> 5) & 7]);
}

// "NAME:index" takes a short text, so the store cannot grow run after run.
void assignString(kiro::Evaluator& evaluator, std::string_view text) {
    std::size_t colon = text.find(':');
    std::string_view index = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    evaluator.assignStringVariable(text.substr(0, colon), index, "v");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static kiro::VariableStore store;
    static bool ready = (kiro::fuzz::populate(store), true);
    (void)ready;
    kiro::Evaluator evaluator(store);
    std::string_view text = kiro::fuzz::asText(data + 2, size - 2);
    try {
        switch (data[0] % 6) {
        case 0: case 1: checkExpression(evaluator, text); break;
        case 2: evaluator.readVariableRef(text); break;
        case 3: evaluator.readStringVariable(text); break;
        case 4: assign(evaluator, data[1], text); break;
        case 5: assignString(evaluator, text); break;
        }
    } catch (const kiro::CExecError&) {
    } catch (const kiro::ArrayError&) {
    }
    // A name-table entry would stay allocated past the input, which
    // libFuzzer runs again as a possible leak; the texts are one byte long.
    if (data[0] % 6 == 5) kiro::fuzz::resetGrowth(store, false);
    return 0;
}
