// Test helper: the differential check of parsed expressions against the
// text evaluator. A generator makes random expression texts, assignment
// statements and form texts, valid and invalid, over a small vocabulary of
// variables; the check runs each one on two identical variable stores, once
// by the text path (Evaluator::evaluateExpression, assignVariable,
// expandForm) and once by the parsed path (Expression, assignReference,
// PreparedForm), and compares the outcome, the RAND state and every
// variable the vocabulary can reach.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "data/character_record.h"
#include "data/variable_store.h"

namespace kiro::test {

struct AssignmentCase {
    AssignKind kind;
    std::string target, targetIndex, value;
};

class CaseGenerator {
public:
    explicit CaseGenerator(std::uint64_t seed) : rng_(seed) {}

    std::string expression();
    AssignmentCase assignment();
    std::string form();
    // A game script of two functions, @MAIN and @SUB (which MAIN may CALL):
    // assignments, IF blocks (now and then unbalanced), REPEAT loops with
    // BREAK and CONTINUE, SIF, forward GOTOs, output and RETURN. Every run
    // of it ends: GOTOs go forward, only MAIN has loops, they count to at
    // most 3 and COUNT is never assigned.
    std::string script();

private:
    using Lines = std::vector<std::string>;
    std::string function(const char* name, bool main);
    void block(Lines& out, int depth, bool main);
    std::string plainExpression();
    std::string statement(bool main, int label, int labels);
    std::string expression(int depth);
    std::string term(int depth);
    std::string reference();
    std::string indexText();
    std::string blank();
    std::string mutated(std::string text);
    std::string soup();
    bool chance(int percent);
    std::size_t below(std::size_t n);
    template <std::size_t N>
    const char* pick(const char* const (&choices)[N]) {
        return choices[below(N)];
    }

    std::mt19937_64 rng_;
};

class DifferentialCheck {
public:
    DifferentialCheck();

    // Each returns an empty text when both paths agree, else what differed.
    std::string expression(const std::string& text, std::uint32_t randomSeed);
    std::string assignment(const AssignmentCase& statement, std::uint32_t randomSeed);
    std::string form(const std::string& text, std::uint32_t randomSeed);

    // Cases whose expressions all ran as parsed steps, and cases run.
    std::size_t compiled = 0, total = 0;

private:
    std::vector<std::int32_t> fingerprint(VariableStore& store) const;
    void restore(VariableStore& store) const;
    std::string compareStores(const std::string& what, const std::string& textOutcome,
                              const std::string& parsedOutcome);

    VariableStore text_, parsed_;
    std::vector<std::int32_t> baseline_;
};

// Runs `count` generated cases of every kind from `seed`; the first
// difference found, described with its case, or empty.
std::string runDifferential(std::uint64_t seed, std::size_t count, DifferentialCheck& check);

// The same check for whole functions: each generated script is loaded
// twice and MAIN run at top level once line by line (the reference) and
// once as compiled statements; the output, how the run ended and the
// variables must agree. The first difference, with its script, or empty.
std::string runFunctionDifferential(std::uint64_t seed, std::size_t count);

}  // namespace kiro::test
