// The output and input instructions, called the way the executor calls
// them: layout of PRINTV, PRINTC and BAR, which of the W variants wait and
// set `waited`, and what INPUT and INPUTS store.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/runtime.h"
#include "script/script_program.h"
#include "support/sjis.h"
#include "support/test_runtime.h"

namespace kiro {
namespace {

using test::sjis;
using Handler = StepOutcome (*)(ScriptExecutor&, const ScriptLine&);

// A runtime over an in-memory console, with the typed input given.
class Harness : public test::TestRuntime {
public:
    explicit Harness(std::string input = {}) : TestRuntime(std::move(input)) {}

    void run(Handler handler, std::string_view argument) {
        text = argument;
        line = ScriptLine{};  // a line's text never changes once it has run
        line.argument = text;
        EXPECT_EQ(handler(executor, line), StepOutcome::Next);
    }
    void runSjis(Handler handler, std::string_view utf8Argument) { run(handler, sjis(utf8Argument)); }

    // The error code thrown, or -1.
    int errorCode(Handler handler, std::string_view argument, std::string* detail = nullptr) {
        try {
            run(handler, argument);
        } catch (const CExecError& error) {
            if (detail) *detail = error.detail;
            return error.code;
        }
        return -1;
    }

    ScriptExecutor executor{rt};
    std::string text;  // the argument the line points into
    ScriptLine line;
};

TEST(OutputPrint, WritesTheArgumentAsItStands) {
    Harness h;
    h.run(execPrint, "{1+1}%STR:0%*** 100%");
    h.run(execPrintL, " x ");
    h.run(execPrintL, "");
    EXPECT_EQ(h.output(), "{1+1}%STR:0%*** 100% x \n\n");
}

TEST(OutputPrint, PrintVWritesValuesAndLiteralItems) {
    Harness h;
    h.store.at(kCount) = 4;
    h.run(execPrintV, "'COUNT=,COUNT");
    h.run(execPrintVL, "1,2,3");
    h.run(execPrintVL, " 'a b ,  2*3 , 'c ");
    h.run(execPrintVL, "',0-4");
    EXPECT_EQ(h.output(), "COUNT=4123\na b 6c\n-4\n");
}

TEST(OutputPrint, PrintVKeepsItemsWrittenBeforeAFailingOne) {
    Harness h;
    EXPECT_EQ(h.errorCode(execPrintV, "1,1/0,3"), exec_error::kDivisionByZero);
    EXPECT_EQ(h.output(), "1");
}

// A list too long to keep parsed is walked from its text, with the same
// result: every item in order, up to a failing one.
TEST(OutputPrint, PrintVWithHundredsOfItems) {
    Harness h;
    std::string list, expected;
    for (int i = 0; i < 300; ++i) {
        list += (i % 2 ? "'t" : "") + std::to_string(i) + ",";
        expected += (i % 2 ? "t" : "") + std::to_string(i);
    }
    h.run(execPrintVL, list + "1");
    EXPECT_EQ(h.output(), expected + "1\n");
    EXPECT_EQ(h.errorCode(execPrintV, list + "1/0,5"), exec_error::kDivisionByZero);
    EXPECT_EQ(h.output(), expected + "1\n" + expected);
}

TEST(OutputPrint, PrintSWritesAStringVariable) {
    Harness h;
    h.store.strings(kStr)[3] = sjis("文字{1}");
    h.run(execPrintS, "STR:3");
    h.run(execPrintSL, "STR:3");
    EXPECT_EQ(h.output(), sjis("文字{1}文字{1}\n"));
}

TEST(OutputPrint, PrintCRightAlignsInTwentyFiveBytes) {
    Harness h;
    h.run(execPrintC, "abc");
    EXPECT_EQ(h.output(), std::string(22, ' ') + "abc");
    Harness wide;
    wide.runSjis(execPrintC, "あい");
    EXPECT_EQ(wide.output(), std::string(21, ' ') + sjis("あい"));
    Harness exact;
    exact.run(execPrintC, std::string(25, 'x'));
    exact.run(execPrintC, std::string(30, 'y'));
    EXPECT_EQ(exact.output(), std::string(25, 'x') + std::string(30, 'y'));
}

TEST(OutputWaits, PrintWWaitsOnlyWithTextButAlwaysCountsAsAWait) {
    Harness h("9\n8\n");
    h.run(execPrintW, "");
    EXPECT_TRUE(h.rt.waited);
    h.run(execInput, "");
    EXPECT_EQ(h.store.at(kResult), 9) << "an empty PRINTW must not consume a line";
    EXPECT_EQ(h.output(), "");

    Harness text("\n5\n");
    text.run(execPrintW, "hello");
    EXPECT_TRUE(text.rt.waited);
    text.run(execInput, "");
    EXPECT_EQ(text.store.at(kResult), 5);
    EXPECT_EQ(text.output(), "hello");
}

TEST(OutputWaits, EmptyPrintFormWDoesNothingAtAll) {
    Harness h("7\n8\n");
    h.run(execPrintFormW, "");
    EXPECT_FALSE(h.rt.waited);
    h.run(execInput, "");
    EXPECT_EQ(h.store.at(kResult), 7);
    EXPECT_EQ(h.output(), "");

    Harness text("\n5\n");
    text.run(execPrintFormW, "a{2*3}");
    EXPECT_TRUE(text.rt.waited);
    text.run(execInput, "");
    EXPECT_EQ(text.store.at(kResult), 5);
    EXPECT_EQ(text.output(), "a6");
}

TEST(OutputWaits, PrintFormSWWaitsOnlyForANonEmptyExpansion) {
    Harness h("7\n8\n");
    h.run(execPrintFormSW, "STR:0");
    EXPECT_FALSE(h.rt.waited);
    h.run(execInput, "");
    EXPECT_EQ(h.store.at(kResult), 7);

    Harness text("\n5\n");
    text.store.strings(kStr)[0] = "abc{1+1}";
    text.run(execPrintFormSW, "STR:0");
    EXPECT_TRUE(text.rt.waited);
    text.run(execInput, "");
    EXPECT_EQ(text.store.at(kResult), 5);
    EXPECT_EQ(text.output(), "abc2");
}

TEST(OutputWaits, WaitConsumesOneLine) {
    Harness h("1 2\n3\n");
    h.run(execWait, "");
    EXPECT_TRUE(h.rt.waited);
    h.run(execInput, "");
    EXPECT_EQ(h.store.at(kResult), 3);
}

TEST(OutputForms, FormVariantsExpandBeforeWriting) {
    Harness h;
    h.store.at(kMoney) = 500;
    h.store.strings(kStr)[1] = "x{2*3}";
    h.runSjis(execPrintForm, "所持金{MONEY}円");
    h.run(execPrintFormL, "{1+2}{3*4}");
    h.run(execPrintFormS, "STR:1");
    h.run(execPrintFormSL, "STR:1");
    EXPECT_EQ(h.output(), sjis("所持金500円312\nx6x6\n"));
}

TEST(OutputForms, AFailedExpansionWritesNothingOfTheLine) {
    Harness h;
    EXPECT_EQ(h.errorCode(execPrintFormL, "abc{1"), exec_error::kUnclosedBrace);
    EXPECT_EQ(h.errorCode(execPrintForm, "abc 100%"), exec_error::kUnclosedPercent);
    EXPECT_EQ(h.output(), "");
}

TEST(OutputForms, PutFormAppendsToTheSaveDescriptionOnly) {
    Harness h;
    h.rt.saveDescription = "2024/";
    h.run(execPutForm, "day {1+1} ");
    h.run(execPutForm, "end");
    EXPECT_EQ(h.rt.saveDescription, "2024/day 2 end");
    EXPECT_EQ(h.output(), "");
}

TEST(OutputForms, RepeatedPutFormCannotGrowTheDescriptionWithoutEnd) {
    Harness h;
    h.store.strings(kStr)[0] = std::string(100000, 'x');
    int added = 0;
    while (h.errorCode(execPutForm, "%STR:0%") == -1) ASSERT_LT(++added, 100);
    EXPECT_EQ(added, 10);
    EXPECT_EQ(h.rt.saveDescription.size(), 1000000u);
}

TEST(OutputLines, DrawLineWritesSeventyNineDashes) {
    Harness h;
    h.run(execDrawLine, "ignored");
    EXPECT_EQ(h.output(), std::string(79, '-') + "\n");
}

TEST(OutputBar, FillIsProportionalAndCappedAtTheMaximum) {
    Harness h;
    h.run(execBar, "5,10,10");
    h.run(execBarL, "20,10,4");
    h.run(execBarL, "3,10,20");
    h.run(execBarL, "0-5,10,10");  // no fill, more dots than the length
    EXPECT_EQ(h.output(), "[*****.....][****]\n[******..............]\n[...............]\n");
}

TEST(OutputBar, ArgumentErrors) {
    Harness h;
    std::string detail;
    EXPECT_EQ(h.errorCode(execBar, "5,10", &detail), exec_error::kBarArguments);
    EXPECT_EQ(detail, "10");
    EXPECT_EQ(h.errorCode(execBar, "5", &detail), exec_error::kBarArguments);
    EXPECT_EQ(detail, "5");
    // All three are evaluated before "[" is written.
    EXPECT_EQ(h.errorCode(execBar, "1,10,5/0"), exec_error::kDivisionByZero);
    EXPECT_EQ(h.output(), "");
    EXPECT_EQ(h.errorCode(execBarL, "1,0,5"), exec_error::kDivisionByZero);
    EXPECT_EQ(h.output(), "[");
}

TEST(OutputBar, AbsurdLengthsStayBounded) {
    Harness h;
    h.run(execBar, "1,1,2000000000");
    h.run(execBar, "0-2147483647,1,1000");
    std::string out = h.output();
    EXPECT_LE(out.size(), 4u * (1u << 20) + 4);
    EXPECT_EQ(out.substr(0, 4), "[***");
}

TEST(OutputInput, InputSkipsWhatIsNotANumber) {
    Harness h("abc\n7\n");
    h.run(execInput, "");
    EXPECT_EQ(h.store.at(kResult), 7);
    EXPECT_EQ(h.output(), "");
}

TEST(OutputInput, InputSTakesOneWordOfTheNextLine) {
    Harness h(sjis("あか あお\nあか　あお\n"));
    h.run(execInputS, "");
    EXPECT_EQ(h.store.strings(kResults)[0], sjis("あか"));
    h.run(execInputS, "");
    EXPECT_EQ(h.store.strings(kResults)[0], sjis("あか　あお"));  // a full-width blank is no blank
    h.run(execInputS, "");
    EXPECT_EQ(h.store.strings(kResults)[0], "");  // end of input
}

TEST(OutputInput, InputSAfterInputDiscardsTheRestOfItsLine) {
    Harness h("5 abc\ndef\n");
    h.run(execInput, "");
    h.run(execInputS, "");
    EXPECT_EQ(h.store.at(kResult), 5);
    EXPECT_EQ(h.store.strings(kResults)[0], "def");
}

}  // namespace
}  // namespace kiro
