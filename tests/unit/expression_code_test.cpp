// Parsed expressions: which texts compile, that compiled steps keep the
// text path's order of reads and errors, and a short differential run of
// random expressions, assignments and forms against the text path (the
// long run is the differential_long program).
#include <gtest/gtest.h>


#include "data/variable_store.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/expression_code.h"
#include "support/differential.h"
#include "support/outcome.h"

namespace kiro {
namespace {

TEST(ExpressionCompile, PlainTextsAndStandaloneGroupsCompile) {
    for (const char* text : {"1", "A + COUNT * 3 % 7", "  b:5 >= -2 && flag:COUNT != 0 ", "(C + A / 3 + (COUNT & 15)) % 10007",
                             "((1))", "(1) + 2", "3 -(0-5)", "FOO + 1", "RAND:10", "ABL:TARGET:2", "5 - -",
                             "5 + * 3", "FLAG:1 | 2 || 0", "_5"})
        EXPECT_TRUE(compileExpression(text)) << text;
}

// Everything whose parsing could raise an error, or whose group values
// would not stand as operands of their own, stays on the text path.
TEST(ExpressionCompile, TextsThatCouldDependOnValuesOrFailStayText) {
    for (const char* text : {"", "-(0-5)", "2(3)", "(1)2", "(1)(2)", "A(1)", "(1)A", "FLAG:(1)", "(1", "1)", "()",
                             "5 5", "A1", "1A", "--5", "A:", "ABL:1:2", "A = 1", "A ! 1", "A +", "\x82\xA0", "A + \xB1", "(\x82\xA0)",
                             "(1) (2)"})
        EXPECT_FALSE(compileExpression(text)) << text;
    std::string deep(100000, '(');
    deep += "1" + std::string(100000, ')');
    EXPECT_FALSE(compileExpression(deep));  // deeper than the steps' slots; the text path handles it
}

class CompiledOrder : public ::testing::Test {
protected:
    CompiledOrder() {
        for (VariableStore* store : {&text, &parsed}) {
            store->addCharacter(CharacterRecord{});
            store->at(kLetterA) = 7;
            store->seedRandom(12345);
        }
    }
    // The parsed path's outcome and RAND draws match the text path's.
    void expectSame(const std::string& expression, const std::string& outcome) {
        ASSERT_TRUE(compileExpression(expression)) << expression;
        EXPECT_EQ(run([&] { return textEvaluator.evaluateExpression(expression); }), outcome) << expression;
        const Expression compiled(expression);
        EXPECT_EQ(run([&] { return compiled.evaluate(parsedEvaluator); }), outcome) << expression;
        EXPECT_EQ(text.randomState, parsed.randomState) << expression;
    }
    template <typename F>
    static std::string run(F&& f) { return test::outcome(f); }

    VariableStore text, parsed;
    Evaluator textEvaluator{text}, parsedEvaluator{parsed};
};

TEST_F(CompiledOrder, EveryOperandIsReadBeforeAnyFold) {
    expectSame("1 / 0 + FOO", "error 4");     // the unknown name, read before the division fails
    expectSame("RAND:10 + FOO", "error 4");   // after drawing
    expectSame("A:1000 + RAND:5", "error 3");
    expectSame("RAND:5 / 0", "error 18");
    expectSame("ABL:TARGET:200", "out of range");
    EXPECT_NE(text.randomState, 12345u);  // the draws happened
    // Index parts are read before the name is looked at: ABL of a missing
    // TARGET fails first.
    text.at(kTarget) = parsed.at(kTarget) = 5;
    expectSame("FOO:ABL", "out of range");
}

TEST_F(CompiledOrder, GroupsAreEvaluatedBeforeTheOperandsAroundThem) {
    expectSame("FOO + (RAND:100)", "error 4");  // the group draws first
    VariableStore draws;
    draws.seedRandom(text.randomState);
    const std::int32_t first = draws.randomBelow(1000), second = draws.randomBelow(10);
    // The group's draw comes before the draw to its left.
    expectSame("RAND:10 + (RAND:1000) * 100", std::to_string(second + first * 100));
    expectSame("(1 / 0) + FOO", "error 18");  // the group's fold comes before the outer read
    expectSame("(3) - (0 - 5) * 2", "13");
}

TEST_F(CompiledOrder, AssignmentTargetsReadTheirIndexBeforeTheUnknownName) {
    const VariableRef ref = resolveReference("FOO", "BAR");
    EXPECT_EQ(ref.code, -1);
    // The unknown index part is a read error (4), met before the unknown target (7).
    EXPECT_EQ(run([&] { parsedEvaluator.assignReference(kAdd, ref, 1); return 0; }), "error 4");
    EXPECT_EQ(run([&] { textEvaluator.assignVariable(kAdd, "FOO", "BAR", 1); return 0; }), "error 4");
    EXPECT_EQ(run([&] { parsedEvaluator.assignReference(kAdd, resolveReference("FOO", "COUNT"), 1); return 0; }),
              "error 7");
    // A global element with a number for index goes straight to the element.
    parsedEvaluator.assignReference(kSubtract, resolveReference("FLAG", "9999"), 3);
    EXPECT_EQ(parsed.at(kFlag, 9999), -3);
    EXPECT_EQ(run([&] { parsedEvaluator.assignReference(kDivide, resolveReference("A", ""), 0); return 0; }), "error 18");
    EXPECT_EQ(parsed.at(kLetterA), 7);
    EXPECT_EQ(run([&] { parsedEvaluator.assignReference(kAssign, resolveReference("FLAG", "10000"), 1); return 0; }),
              "error 6");
}

// The sanitizer build looks for memory faults, for which fewer cases do;
// it runs them some thirty times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kDifferentialCases = 6000;
#else
constexpr std::size_t kDifferentialCases = 60000;
#endif

TEST(Differential, RandomCasesAgreeWithTheTextPath) {
    test::DifferentialCheck check;
    EXPECT_EQ(test::runDifferential(20240611, kDifferentialCases, check), "");
    // Enough of them compile for the comparison to mean something.
    EXPECT_GT(check.compiled * 100, check.total * 30) << check.compiled << " of " << check.total;
}

// Whole functions: compiled statements against stepping line by line.
TEST(Differential, RandomFunctionsRunAsTheyDoLineByLine) {
    EXPECT_EQ(test::runFunctionDifferential(20261207, kDifferentialCases / 30), "");
}

}  // namespace
}  // namespace kiro
