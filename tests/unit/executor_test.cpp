// The statement executor: branch gating, loops over COUNT, jumps and calls,
// RETURN/BEGIN/QUIT, TIMES and assignments, and the error guard that
// reports a failing line and goes on with the next one.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/game_state.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "support/sjis.h"
#include "support/test_runtime.h"

namespace kiro {
namespace {

using test::sjis;
using test::utf8;

// A game of one script file "t.kst" on an in-memory console.
struct ScriptGame : test::TestRuntime {
    explicit ScriptGame(std::string_view script, std::string input = {}) : TestRuntime(std::move(input)) {
        load(script);
    }

    // Runs `name` at top level; the text written while it ran.
    std::string run(std::string_view name) {
        const std::size_t before = io.output.size();
        EXPECT_TRUE(runTopLevelByName(rt, name)) << name;
        console.flush();
        return io.output.substr(before);
    }

    std::int32_t value(std::int32_t code, std::int32_t index = 0) { return store.at(code, index); }
    // Integer variables named by a letter: A is 50, B 51, ...
    std::int32_t letter(char c) { return store.at(kLetterA + (c - 'A')); }
};

bool reported(const std::string& output, std::string_view utf8Message) {
    return output.find(sjis(utf8Message)) != std::string::npos;
}

// ---- Branches ------------------------------------------------------------

TEST(ExecutorBranches, OnlyTheFirstTrueBranchRunsAndLaterConditionsAreNotEvaluated) {
    // A condition that were evaluated would report a division by zero.
    ScriptGame g(
        "@F\n"
        "IF 0\nA = 1\nELSEIF 1\nB = 1\nELSEIF 1/0\nC = 1\nELSE\nD = 1\nENDIF\n"
        "IF 0\nIF 1/0\nE = 1\nELSE\nE = 2\nENDIF\nELSE\nF = 1\nENDIF\n");
    EXPECT_EQ(g.run("F"), "");
    EXPECT_EQ(g.letter('A'), 0);
    EXPECT_EQ(g.letter('B'), 1);
    EXPECT_EQ(g.letter('C'), 0);
    EXPECT_EQ(g.letter('D'), 0);
    EXPECT_EQ(g.letter('E'), 0);  // the inner block lies in a skipped branch: not even its ELSE runs
    EXPECT_EQ(g.letter('F'), 1);
}

TEST(ExecutorBranches, SifPassesOverExactlyTheNextLineEvenAComment) {
    ScriptGame g("@F\nSIF 0\n; a comment\nA = 1\nSIF 0\nB = 1\nC = 1\nSIF 1\nD = 1\n");
    g.run("F");
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 0);
    EXPECT_EQ(g.letter('C'), 1);
    EXPECT_EQ(g.letter('D'), 1);
}

TEST(ExecutorBranches, StrayEndifIsReportedAndTheNextLineRuns) {
    ScriptGame g("@F\nENDIF\nA = 1\nELSE\nELSEIF 1\nB = 1\n");
    const std::string out = g.run("F");
    EXPECT_TRUE(reported(out, "(t.kst)2行目：")) << utf8(out);
    EXPECT_TRUE(reported(out, "(t.kst)4行目：")) << utf8(out);
    EXPECT_TRUE(reported(out, "(t.kst)5行目：")) << utf8(out);
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 1);
}

TEST(ExecutorBranches, FailedIfConditionOpensNoBlock) {
    ScriptGame g("@F\nIF 1/0\nA = 1\nENDIF\nB = 1\n");
    const std::string out = g.run("F");
    EXPECT_TRUE(reported(out, "０による除算・剰余計算はできません。"));
    EXPECT_TRUE(reported(out, "IFに対応しないELSE,ELSEIF,ENDIFがありました。"));
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 1);
}

// ---- Loops ---------------------------------------------------------------

TEST(ExecutorLoops, RepeatCountsFromZeroAndLeavesTheCount) {
    ScriptGame g("@F\nCOUNT = 9\nREPEAT 3\nA += COUNT\nB += 1\nREND\n");
    g.run("F");
    EXPECT_EQ(g.letter('A'), 0 + 1 + 2);
    EXPECT_EQ(g.letter('B'), 3);
    EXPECT_EQ(g.value(kCount), 3);
    EXPECT_EQ(g.rt.topExecutor->repeatLine, -1);
}

TEST(ExecutorLoops, BreakLeavesAfterItsPassSkippingNestedLines) {
    ScriptGame g("@F\nREPEAT 5\nIF COUNT == 1\nBREAK\nA += 100\nENDIF\nA += 1\nREND\nB = COUNT\n");
    const std::string out = g.run("F");
    EXPECT_EQ(out, "");  // no 206: BREAK put the branch stack back
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 2);
}

TEST(ExecutorLoops, ContinueStartsTheNextPassWithTheBranchStackOfRepeat) {
    ScriptGame g("@F\nREPEAT 4\nIF COUNT % 2\nCONTINUE\nENDIF\nA += 1\nREND\n");
    EXPECT_EQ(g.run("F"), "");
    EXPECT_EQ(g.letter('A'), 2);
    EXPECT_EQ(g.value(kCount), 4);
    EXPECT_TRUE(g.rt.topExecutor->branchStack.empty());
}

TEST(ExecutorLoops, RepeatErrorsLeaveTheBodyToRunAsPlainLines) {
    // A count below 1 starts no loop: the body runs once and its REND counts
    // COUNT to 1. A second REPEAT inside a loop is ignored.
    ScriptGame g("@F\nREPEAT 0\nA += 1\nREND\nB = COUNT\nREPEAT 2\nREPEAT 5\nC += 1\nREND\n");
    const std::string out = g.run("F");
    EXPECT_TRUE(reported(out, "０回以下のREPEATはできません。"));
    EXPECT_TRUE(reported(out, "二重のREPEATがあります。"));
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 1);
    EXPECT_EQ(g.letter('C'), 2);
}


TEST(ExecutorLoops, StrayRendOnlyCountsEvenAfterAnEarlierLoop) {
    // A REND with no loop must not send the function back to its start.
    ScriptGame g("@L\nREPEAT 10\nREND\n@F\nCOUNT = 2\nA += 1\nREND\nB = COUNT\n");
    g.run("L");
    EXPECT_EQ(g.run("F"), "");
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 3);
}

TEST(ExecutorLoops, CalledLoopHasItsOwnStateButSharesCount) {
    ScriptGame g("@F\nREPEAT 3\nCALL G\nA += 1\nREND\n@G\nREPEAT 5\nREND\n");
    EXPECT_EQ(g.run("F"), "");
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.value(kCount), 6);
}

// A called function runs on an executor kept for its call depth; each call
// still starts from nothing. F leaves a saved branch stack behind (REPEAT
// inside an IF); G's CONTINUE outside a loop must find an empty one, so G
// ends with the open-loop error (207), not the open-IF error (206).
TEST(ExecutorLoops, EachCallStartsWithoutAnEarlierCallsLoopState) {
    ScriptGame g("@MAIN\nCALL F\nCALL G\n@F\nIF 1\nREPEAT 1\nREND\nENDIF\n@G\nCONTINUE\n");
    const std::string out = g.run("MAIN");
    EXPECT_TRUE(reported(out, "(t.kst)3行目：")) << utf8(out);
    EXPECT_TRUE(reported(out, "REPEATがRENDで終了していないのに関数の終端を迎えました。")) << utf8(out);
    EXPECT_FALSE(reported(out, "IFがENDIFで終了していないのに関数の終端を迎えました。")) << utf8(out);
}

// ---- Jumps ---------------------------------------------------------------

TEST(ExecutorJumps, GotoReachesLabelsBothWaysAndClosesOpenBlocks) {
    ScriptGame g("@F\n$top\nA += 1\nIF A < 3\ngoto TOP\nENDIF\nIF 1\nGOTO end\nENDIF\nB = 1\n$END\nC = A\n");
    EXPECT_EQ(g.run("F"), "");  // no 206 although two GOTOs left IF blocks
    EXPECT_EQ(g.letter('B'), 0);
    EXPECT_EQ(g.letter('C'), 3);
}

TEST(ExecutorJumps, GotoToAMissingLabelNamesIt) {
    ScriptGame g("@F\nGOTO NOWHERE\nA = 1\n");
    const std::string out = g.run("F");
    EXPECT_TRUE(reported(out, "NOWHEREというラベル名が指定されましたが存在しません。")) << utf8(out);
    EXPECT_EQ(g.letter('A'), 1);
}

TEST(ExecutorJumps, RestartRunsFromTheFirstLineWithNoOpenBlocks) {
    ScriptGame g("@F\nA += 1\nIF A < 3\nRESTART\nENDIF\n");
    EXPECT_EQ(g.run("F"), "");
    EXPECT_EQ(g.letter('A'), 3);
}

TEST(ExecutorJumps, ReturnReadsADecimalNumberNotAnExpression) {
    ScriptGame g("@ONE\nRETURN 1+1\n@NEG\nRETURN -7\n@NAME\nB = 3\nRETURN B\n");
    const std::pair<const char*, std::int32_t> cases[] = {{"ONE", 1}, {"NEG", -7}, {"NAME", 0}};
    for (auto [name, result] : cases) {
        g.store.at(kResult) = 9;
        g.run(name);
        EXPECT_EQ(g.value(kResult), result) << name;
    }
}

TEST(ExecutorJumps, RunningPastTheEndClearsResultButBeginKeepsIt) {
    ScriptGame g("@F\nRESULT = 5\n@B\nRESULT = 5\nBEGIN SHOP\nRESULT = 6\n");
    g.run("F");
    EXPECT_EQ(g.value(kResult), 0);
    g.run("B");
    EXPECT_EQ(g.value(kResult), 5);
    EXPECT_EQ(g.rt.game.event, GameEvent::Shop);
}

TEST(ExecutorJumps, CallRunsTheFunctionAndGoesOn) {
    ScriptGame g("@F\nCALL G\nA = RESULT\nCALL MISSING\nB = 1\n@G\nRETURN 4\n");
    const std::string out = g.run("F");
    EXPECT_EQ(g.letter('A'), 4);
    EXPECT_TRUE(reported(out, "MISSINGという関数名が指定されましたが存在しません。")) << utf8(out);
    EXPECT_EQ(g.letter('B'), 1);
    EXPECT_EQ(g.rt.callDepth, 0);
}

TEST(ExecutorJumps, JumpReplacesTheTopLevelFunctionButNotACalledOne) {
    ScriptGame g("@F\nJUMP G\nA = 1\n@G\nB = 1\n@C\nCALL H\nD = 1\n@H\nJUMP G\nE = 1\n");
    g.run("F");
    EXPECT_EQ(g.letter('A'), 0);
    EXPECT_EQ(g.letter('B'), 1);
    g.store.at(kLetterA + 1) = 0;
    const std::string out = g.run("C");
    EXPECT_TRUE(reported(out, "CALLで呼ばれた先からJUMPで関数を呼び出そうとしました。"));
    EXPECT_EQ(g.letter('B'), 0);
    EXPECT_EQ(g.letter('E'), 1);
    EXPECT_EQ(g.letter('D'), 1);
}

TEST(ExecutorJumps, BeginInACalledFunctionEndsOnlyThatFunction) {
    ScriptGame g("@F\nCALL G\nA = 1\n@G\nBEGIN TRAIN\nB = 1\n@BAD\nBEGIN NOWHERE\nC = 1\n");
    g.run("F");
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 0);
    EXPECT_EQ(g.rt.game.event, GameEvent::Train);
    EXPECT_EQ(g.rt.game.phase, GamePhase::Train);
    const std::string out = g.run("BAD");
    EXPECT_TRUE(reported(out, "NOWHEREというシステム関数名が指定されましたが存在しません。")) << utf8(out);
    EXPECT_EQ(g.letter('C'), 1);
}

TEST(ExecutorJumps, QuitEndsTheProgramWithStatusZero) {
    ScriptGame g("@F\nPRINT bye\nCALL G\n@G\nQUIT\nA = 1\n");
    try {
        runTopLevelByName(g.rt, "F");
        FAIL() << "QUIT did not end the program";
    } catch (const ProgramExit& exit) {
        EXPECT_EQ(exit.status, 0);
    }
    EXPECT_EQ(g.io.output, "bye");  // flushed before leaving
    EXPECT_EQ(g.letter('A'), 0);
}

// ---- End of a function with open blocks --------------------------------

TEST(ExecutorEnd, OpenBlocksAtTheEndLeaveTheTopLevelRun) {
    ScriptGame g("@OPENIF\nIF 1\nA = 1\n@OPENLOOP\nREPEAT 2\n@SKIPPING\nBREAK\nB = 1\n");
    const std::pair<const char*, std::int32_t> cases[] = {{"OPENIF", 206}, {"OPENLOOP", 207}, {"SKIPPING", 207}};
    for (auto [name, code] : cases) {
        try {
            runTopLevelByName(g.rt, name);
            ADD_FAILURE() << name << " ended quietly";
        } catch (const CExecError& error) {
            EXPECT_EQ(error.code, code) << name;
        }
        // Still running, so that the top level can say where it happened.
        EXPECT_EQ(g.rt.running, g.rt.topExecutor.get()) << name;
    }
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_EQ(g.letter('B'), 0);
}

TEST(ExecutorEnd, OpenBlockInACalledFunctionIsReportedOnTheCallLine) {
    ScriptGame g("@F\nA = 1\nCALL G\nB = 1\n@G\nIF 1\n");
    const std::string out = g.run("F");
    EXPECT_TRUE(reported(out, "(t.kst)3行目：")) << utf8(out);
    EXPECT_TRUE(reported(out, "IFがENDIFで終了していないのに関数の終端を迎えました。"));
    EXPECT_EQ(g.letter('B'), 1);
    EXPECT_EQ(g.rt.callDepth, 0);
}

TEST(ExecutorEnd, RunawayRecursionStopsAtTheDepthLimitAndGoesOn) {
    ScriptGame g("@F\nA += 1\nCALL F\nB += 1\n");
    const std::string out = g.run("F");
    EXPECT_EQ(g.letter('A'), kMaxCallDepth + 1);
    EXPECT_EQ(g.letter('B'), kMaxCallDepth + 1);  // every level went on after its CALL
    const std::string message = sjis("CALLの呼び出しが深すぎます。");
    const std::size_t first = out.find(message);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(out.find(message, first + 1), std::string::npos);  // reported once
    EXPECT_EQ(g.rt.callDepth, 0);
}

// ---- Assignments and TIMES -----------------------------------------------

TEST(ExecutorAssignments, IntegerOperatorsAndDivisionByZero) {
    ScriptGame g("@F\nFLAG:3 = 10\nFLAG:3 += 2\nFLAG:3 *= 3\nFLAG:3 /= 0\nFLAG:3 %= 0\nFLAG:3 -= 1\nFLAG:3 = 1/0\n");
    const std::string out = g.run("F");
    EXPECT_EQ(g.value(kFlag, 3), 35);  // the failed operations left the value alone
    EXPECT_EQ(g.value(kFlag, 2), 0);
    EXPECT_EQ(g.value(kFlag, 4), 0);
    EXPECT_TRUE(reported(out, "(t.kst)5行目："));
    EXPECT_TRUE(reported(out, "(t.kst)6行目："));
}


TEST(ExecutorAssignments, StringAssignmentStoresTheTextAsWritten) {
    ScriptGame g("@F\nSTR:5 = {A} %B%  x\nA = 1\n");
    g.run("F");
    EXPECT_EQ(g.store.strings(kStr)[5], "{A} %B%  x");
}

TEST(ExecutorAssignments, ArrayErrorIsReportedAndTheNextLineRuns) {
    ScriptGame g("@F\nTALENT:0:1000 = 1\nA = 1\n");
    g.store.addCharacter(CharacterRecord{});
    const std::string out = g.run("F");
    EXPECT_TRUE(reported(out, "kirobasic 配列エラー:"));
    EXPECT_TRUE(reported(out, "TALENT:0:1000 = 1\n"));
    EXPECT_EQ(g.letter('A'), 1);
}

TEST(ExecutorTimes, ScalesThroughSinglePrecisionAndTruncates) {
    ScriptGame g(
        "@F\nMONEY = 101\nTIMES MONEY, 1.5\nA = -101\nTIMES A,1.5\nB = 16777217\nTIMES B, 1.0\n"
        "C = 7\nTIMES C, 2e1junk\nD = 7\nTIMES D, junk\nE = 3\nTIMES E,-.5\n");
    EXPECT_EQ(g.run("F"), "");
    EXPECT_EQ(g.value(kMoney), 151);
    EXPECT_EQ(g.letter('A'), -151);
    EXPECT_EQ(g.letter('B'), 16777216);
    EXPECT_EQ(g.letter('C'), 140);
    EXPECT_EQ(g.letter('D'), 0);
    EXPECT_EQ(g.letter('E'), -1);
}

TEST(ExecutorTimes, ProductsOutsideTheRangeOrNotANumberStoreTheMinimum) {
    ScriptGame g(
        "@F\nA = 2147483647\nTIMES A, 2\nB = -5\nTIMES B, 1e300\nC = 0\nTIMES C, 1e999\n"
        "D = 5\nTIMES D, inf\nE = 1\nTIMES E, 2147483647.9\nF = 1\nTIMES F, 2147483648\n");
    g.run("F");
    EXPECT_EQ(g.letter('A'), INT32_MIN);
    EXPECT_EQ(g.letter('B'), INT32_MIN);
    EXPECT_EQ(g.letter('C'), INT32_MIN);  // 0 times infinity
    EXPECT_EQ(g.letter('D'), 0);          // only decimal numbers are factors
    EXPECT_EQ(g.letter('E'), INT32_MAX);  // truncated into range
    EXPECT_EQ(g.letter('F'), INT32_MIN);
}

TEST(ExecutorTimes, WithoutACommaTheArgumentIsReported) {
    ScriptGame g("@F\nMONEY = 3\nTIMES MONEY\nA = 1\n");
    // A ',' taken by a lead byte is no separator.
    loadScriptText(g.program, g.console, "u.kst", "@G\nTIMES MONEY\x81, 2\n");
    const std::string out = g.run("F");
    EXPECT_TRUE(reported(out, "TIMESには2つの引数が必要ですがMONEYには十分な引数がありません。")) << utf8(out);
    EXPECT_EQ(g.value(kMoney), 3);
    EXPECT_EQ(g.letter('A'), 1);
    EXPECT_NE(g.run("G").find("(u.kst)2"), std::string::npos);
    EXPECT_EQ(g.value(kMoney), 3);
}

}  // namespace
}  // namespace kiro
