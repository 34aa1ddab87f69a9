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

// A runtime over an in-memory console, with the typed input given.
using Harness = test::InstructionRuntime;

TEST(OutputPrint, WritesTheArgumentAsItStands) {
    Harness h;
    h.run(kPRINT, "{1+1}%STR:0%*** 100%");
    h.run(kPRINTL, " x ");
    h.run(kPRINTL, "");
    EXPECT_EQ(h.output(), "{1+1}%STR:0%*** 100% x \n\n");
}

TEST(OutputPrint, PrintVWritesValuesAndLiteralItems) {
    Harness h;
    h.store.at(kCount) = 4;
    h.run(kPRINTV, "'COUNT=,COUNT");
    h.run(kPRINTVL, "1,2,3");
    h.run(kPRINTVL, " 'a b ,  2*3 , 'c ");
    h.run(kPRINTVL, "',0-4");
    EXPECT_EQ(h.output(), "COUNT=4123\na b 6c\n-4\n");
}

TEST(OutputPrint, PrintVKeepsItemsWrittenBeforeAFailingOne) {
    Harness h;
    EXPECT_EQ(h.errorCode(kPRINTV, "1,1/0,3"), error_code::DivisionByZero);
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
    h.run(kPRINTVL, list + "1");
    EXPECT_EQ(h.output(), expected + "1\n");
    EXPECT_EQ(h.errorCode(kPRINTV, list + "1/0,5"), error_code::DivisionByZero);
    EXPECT_EQ(h.output(), expected + "1\n" + expected);
}

TEST(OutputPrint, PrintSWritesAStringVariable) {
    Harness h;
    h.store.strings(kStr)[3] = sjis("文字{1}");
    h.run(kPRINTS, "STR:3");
    h.run(kPRINTSL, "STR:3");
    EXPECT_EQ(h.output(), sjis("文字{1}文字{1}\n"));
}

TEST(OutputPrint, PrintCRightAlignsInTwentyFiveBytes) {
    Harness h;
    h.run(kPRINTC, "abc");
    EXPECT_EQ(h.output(), std::string(22, ' ') + "abc");
    Harness wide;
    wide.runSjis(kPRINTC, "あい");
    EXPECT_EQ(wide.output(), std::string(21, ' ') + sjis("あい"));
    Harness exact;
    exact.run(kPRINTC, std::string(25, 'x'));
    exact.run(kPRINTC, std::string(30, 'y'));
    EXPECT_EQ(exact.output(), std::string(25, 'x') + std::string(30, 'y'));
}

TEST(OutputWaits, PrintWWaitsOnlyWithTextButAlwaysCountsAsAWait) {
    Harness h("9\n8\n");
    h.run(kPRINTW, "");
    EXPECT_TRUE(h.rt.waited);
    h.run(kINPUT, "");
    EXPECT_EQ(h.store.at(kResult), 9) << "an empty PRINTW must not consume a line";
    EXPECT_EQ(h.output(), "");

    Harness text("\n5\n");
    text.run(kPRINTW, "hello");
    EXPECT_TRUE(text.rt.waited);
    text.run(kINPUT, "");
    EXPECT_EQ(text.store.at(kResult), 5);
    EXPECT_EQ(text.output(), "hello");
}

TEST(OutputWaits, EmptyPrintFormWDoesNothingAtAll) {
    Harness h("7\n8\n");
    h.run(kPRINTFORMW, "");
    EXPECT_FALSE(h.rt.waited);
    h.run(kINPUT, "");
    EXPECT_EQ(h.store.at(kResult), 7);
    EXPECT_EQ(h.output(), "");

    Harness text("\n5\n");
    text.run(kPRINTFORMW, "a{2*3}");
    EXPECT_TRUE(text.rt.waited);
    text.run(kINPUT, "");
    EXPECT_EQ(text.store.at(kResult), 5);
    EXPECT_EQ(text.output(), "a6");
}

TEST(OutputWaits, PrintFormSWWaitsOnlyForANonEmptyExpansion) {
    Harness h("7\n8\n");
    h.run(kPRINTFORMSW, "STR:0");
    EXPECT_FALSE(h.rt.waited);
    h.run(kINPUT, "");
    EXPECT_EQ(h.store.at(kResult), 7);

    Harness text("\n5\n");
    text.store.strings(kStr)[0] = "abc{1+1}";
    text.run(kPRINTFORMSW, "STR:0");
    EXPECT_TRUE(text.rt.waited);
    text.run(kINPUT, "");
    EXPECT_EQ(text.store.at(kResult), 5);
    EXPECT_EQ(text.output(), "abc2");
}

TEST(OutputWaits, WaitConsumesOneLine) {
    Harness h("1 2\n3\n");
    h.run(kWAIT, "");
    EXPECT_TRUE(h.rt.waited);
    h.run(kINPUT, "");
    EXPECT_EQ(h.store.at(kResult), 3);
}

TEST(OutputForms, FormVariantsExpandBeforeWriting) {
    Harness h;
    h.store.at(kMoney) = 500;
    h.store.strings(kStr)[1] = "x{2*3}";
    h.runSjis(kPRINTFORM, "所持金{MONEY}円");
    h.run(kPRINTFORML, "{1+2}{3*4}");
    h.run(kPRINTFORMS, "STR:1");
    h.run(kPRINTFORMSL, "STR:1");
    EXPECT_EQ(h.output(), sjis("所持金500円312\nx6x6\n"));
}

TEST(OutputForms, AFailedExpansionWritesNothingOfTheLine) {
    Harness h;
    EXPECT_EQ(h.errorCode(kPRINTFORML, "abc{1"), error_code::UnclosedBrace);
    EXPECT_EQ(h.errorCode(kPRINTFORM, "abc 100%"), error_code::UnclosedPercent);
    EXPECT_EQ(h.output(), "");
}

TEST(OutputForms, PutFormAppendsToTheSaveDescriptionOnly) {
    Harness h;
    h.rt.saveDescription = "2024/";
    h.run(kPUTFORM, "day {1+1} ");
    h.run(kPUTFORM, "end");
    EXPECT_EQ(h.rt.saveDescription, "2024/day 2 end");
    EXPECT_EQ(h.output(), "");
}

TEST(OutputForms, RepeatedPutFormCannotGrowTheDescriptionWithoutEnd) {
    Harness h;
    h.store.strings(kStr)[0] = std::string(100000, 'x');
    int added = 0;
    while (h.errorCode(kPUTFORM, "%STR:0%") == -1) ASSERT_LT(++added, 100);
    EXPECT_EQ(added, 10);
    EXPECT_EQ(h.rt.saveDescription.size(), 1000000u);
}

TEST(OutputLines, DrawLineWritesSeventyNineDashes) {
    Harness h;
    h.run(kDRAWLINE, "ignored");
    EXPECT_EQ(h.output(), std::string(79, '-') + "\n");
}

TEST(OutputBar, FillIsProportionalAndCappedAtTheMaximum) {
    Harness h;
    h.run(kBAR, "5,10,10");
    h.run(kBARL, "20,10,4");
    h.run(kBARL, "3,10,20");
    h.run(kBARL, "0-5,10,10");  // no fill, more dots than the length
    EXPECT_EQ(h.output(), "[*****.....][****]\n[******..............]\n[...............]\n");
}

TEST(OutputBar, ArgumentErrors) {
    Harness h;
    std::string detail;
    EXPECT_EQ(h.errorCode(kBAR, "5,10", &detail), error_code::BarArguments);
    EXPECT_EQ(detail, "10");
    EXPECT_EQ(h.errorCode(kBAR, "5", &detail), error_code::BarArguments);
    EXPECT_EQ(detail, "5");
    // All three are evaluated before "[" is written.
    EXPECT_EQ(h.errorCode(kBAR, "1,10,5/0"), error_code::DivisionByZero);
    EXPECT_EQ(h.output(), "");
    EXPECT_EQ(h.errorCode(kBARL, "1,0,5"), error_code::DivisionByZero);
    EXPECT_EQ(h.output(), "[");
}

TEST(OutputBar, AbsurdLengthsStayBounded) {
    Harness h;
    h.run(kBAR, "1,1,2000000000");
    h.run(kBAR, "0-2147483647,1,1000");
    std::string out = h.output();
    EXPECT_LE(out.size(), 4u * (1u << 20) + 4);
    EXPECT_EQ(out.substr(0, 4), "[***");
}

TEST(OutputInput, InputSkipsWhatIsNotANumber) {
    Harness h("abc\n7\n");
    h.run(kINPUT, "");
    EXPECT_EQ(h.store.at(kResult), 7);
    EXPECT_EQ(h.output(), "");
}

TEST(OutputInput, InputSTakesOneWordOfTheNextLine) {
    Harness h(sjis("あか あお\nあか　あお\n"));
    h.run(kINPUTS, "");
    EXPECT_EQ(h.store.strings(kResults)[0], sjis("あか"));
    h.run(kINPUTS, "");
    EXPECT_EQ(h.store.strings(kResults)[0], sjis("あか　あお"));  // a full-width blank is no blank
    h.run(kINPUTS, "");
    EXPECT_EQ(h.store.strings(kResults)[0], "");  // end of input
}

TEST(OutputInput, InputSAfterInputDiscardsTheRestOfItsLine) {
    Harness h("5 abc\ndef\n");
    h.run(kINPUT, "");
    h.run(kINPUTS, "");
    EXPECT_EQ(h.store.at(kResult), 5);
    EXPECT_EQ(h.store.strings(kResults)[0], "def");
}

}  // namespace
}  // namespace kiro
