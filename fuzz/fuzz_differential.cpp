// Fuzz target: the parsed path against the text path. Script lines run
// their expressions, assignments and forms from a parsed form made once
// (Expression, assignReference, PreparedForm); the text evaluator is the
// reference. Both run on identical stores with the same RAND seed and must
// give the same value or error, the same RAND state and the same variables
// (the check of tests/support/differential.h, here steered by coverage).
//
// Input: byte 0 picks expression, assignment or form; byte 1 the assignment
// operator; bytes 2-5 the RAND seed; the rest is the text. An assignment's
// text is "TARGET:INDEX", a line feed, then the right-hand side.
#include <cstdlib>
#include <cstring>
#include <cstdio>

#include "fuzz_support.h"
#include "support/differential.h"

namespace {

kiro::test::AssignmentCase assignmentOf(std::uint8_t kind, std::string_view text) {
    kiro::test::AssignmentCase statement;
    statement.kind = static_cast<kiro::AssignKind>(kind % 8);
    std::size_t nl = text.find('\n');
    std::string_view target = text.substr(0, nl);
    statement.value = nl == std::string_view::npos ? std::string() : std::string(text.substr(nl + 1));
    std::size_t colon = target.find(':');
    statement.target = std::string(target.substr(0, colon));
    if (colon != std::string_view::npos) statement.targetIndex = std::string(target.substr(colon + 1));
    for (std::string* word : {&statement.target, &statement.targetIndex})  // as the loader keeps them
        for (char& c : *word)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return statement;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    static kiro::test::DifferentialCheck check;
    std::uint32_t seed;
    std::memcpy(&seed, data + 2, sizeof seed);
    const std::string text(kiro::fuzz::asText(data + 6, size - 6));
    std::string difference;
    switch (data[0] % 3) {
    case 0: difference = check.expression(text, seed); break;
    case 1: difference = check.assignment(assignmentOf(data[1], text), seed); break;
    case 2: difference = check.form(text, seed); break;
    }
    if (!difference.empty()) {
        std::fprintf(stderr, "parsed and text paths differ: %s\n", difference.c_str());
        std::abort();
    }
    return 0;
}
