// Error messages and report sequences: exact bytes, and how many lines of
// input each report consumes.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/startup.h"
#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/error_reports.h"
#include "script/executor.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "support/sjis.h"
#include "support/test_game.h"

namespace kiro {
namespace {

using test::sjis;
using test::utf8;

TEST(ErrorMessages, EveryExecCodeHasItsLine) {
    struct Case {
        std::int32_t code;
        const char* expected;  // with the detail "D"
    } cases[] = {
        {2, "計算式展開時に配列のサイズを超える位置の参照がありました。（１）"},
        {3, "計算式展開時に配列のサイズを超える位置の参照がありました。（２）"},
        {4, "計算式展開時に不明な変数名が見つかりました。"},
        {5, "代入先展開時に配列のサイズを超える位置の参照がありました。（１）"},
        {6, "代入先展開時に配列のサイズを超える位置の参照がありました。（２）"},
        {7, "代入先展開時に不明な変数名が見つかりました。"},
        {10, "計算式の中にカッコに対応していない ) を発見しました。"},
        {11, "計算式の中に中身が空のカッコを発見しました。"},
        {12, "計算式の中に全角文字を見つけました。"},
        {13, "計算式の中にマイナス符号の連続を見つけました。"},
        {14, "計算式の中に数字の直後の不正な字を見つけました。"},
        {15, "計算式の中にアルファベットの直後の不正な字を見つけました。"},
        {16, "計算式の中に空白を見つけましたが、その後に演算子がありません。"},
        {17, "計算式の中に不正な演算子を見つけました。"},
        {18, "０による除算・剰余計算はできません。"},
        {22, "文字列式展開時に配列のサイズを超える位置の参照がありました。（１）"},
        {23, "文字列式展開時に配列のサイズを超える位置の参照がありました。（２）"},
        {24, "文字列式の中に数字の直後の不正な字を見つけました。"},
        {30, "PRINTFORM展開中に{を見つけましたが対応する}がありません。"},
        {31, "PRINTFORM展開中に%を見つけましたが対応する%がありません。"},
        {32, "PRINTFORM展開の置き換えが多すぎるため、展開を打ち切りました。"},
        {100, "IFに対応しないELSE,ELSEIF,ENDIFがありました。"},
        {200, "Dというラベル名が指定されましたが存在しません。"},
        {201, "Dという関数名が指定されましたが存在しません。"},
        {202, "CALLで呼ばれた先からJUMPで関数を呼び出そうとしました。"},
        {203, "二重のREPEATがあります。"},
        {204, "０回以下のREPEATはできません。"},
        {205, "Dというシステム関数名が指定されましたが存在しません。"},
        {206, "IFがENDIFで終了していないのに関数の終端を迎えました。"},
        {207, "REPEATがRENDで終了していないのに関数の終端を迎えました。"},
        {208, "CALLの呼び出しが深すぎます。関数が自分自身を呼び続けていないか確認してください。"},
        {300, "BARには3つの引数が必要ですがDには十分な引数がありません。"},
        {301, "TIMESには2つの引数が必要ですがDには十分な引数がありません。"},
        {400, "SHOP以外の場所でDは実行できません。"},
        {1000, "内部エラー：RESULTが見つかりません。"},
        {1001, "内部エラー：COUNTが見つかりません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(messageOf(CExecError(c.code, "D")), sjis(c.expected));
    }
}

TEST(ErrorMessages, DetailsPassThroughUnchanged) {
    // 能 ends in 0x5C, the byte a backslash-aware path would mangle.
    EXPECT_EQ(messageOf(CExecError(200, sjis("能力"))),
              sjis("能力というラベル名が指定されましたが存在しません。"));
    EXPECT_EQ(messageOf(CExecError(400)), sjis("SHOP以外の場所では実行できません。"));
    EXPECT_EQ(messageOf(CProcessError(1, "COM12")), sjis("COM12が見つからないためコマンドを実行できません。"));
    EXPECT_EQ(messageOf(CInitError{0, 1}),
              sjis("ゲームには主人公と調教対象キャラの最低２キャラが必要ですが1キャラしかいません。"));
}

TEST(ErrorMessages, UnknownCodesShowTheirNumber) {
    EXPECT_EQ(messageOf(CExecError(9)), "9");
    EXPECT_EQ(messageOf(CExecError(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(messageOf(CProcessError(2, "X")), "2");
    EXPECT_EQ(messageOf(CInitError{5}), "5");
}

TEST(ErrorPrint, DiscardsTheRestOfTheLineThenConsumesOneLine) {
    StringConsoleIo io("5 6\n7\n8\n");
    Console console(io);
    EXPECT_EQ(console.readNumber(), 5);
    printError(console, CExecError(18));
    EXPECT_EQ(io.output, sjis("０による除算・剰余計算はできません。\n"));
    EXPECT_EQ(console.readNumber(), 8);  // " 6" discarded, "7" was the Enter
}

// A runtime over a program loaded from `source`; `input` is what is typed.
struct ReportFixture {
    ReportFixture(std::string_view source, std::string input) : io(std::move(input)), console(io) {
        loadScriptText(program, console, "main.kst", sjis(source));
        console.flush();
        io.output.clear();
    }
    const FunctionDefinition& function(std::string_view name) const { return *program.findFunction(name); }
    // Makes the top-level executor the running frame, at line index `pc` of `name`.
    void runTop(std::string_view name, std::int32_t pc) {
        rt.topExecutor->start(function(name), FrameStart::TopLevel);
        rt.topExecutor->pc = pc;
    }
    std::string output() {
        console.flush();
        return utf8(io.output);
    }
    std::string nextTyped() { return console.readWord(); }

    StringConsoleIo io;
    Console console;
    ScriptProgram program;
    VariableStore store;
    GameBase gameBase;
    Runtime rt{console, store, program, gameBase};
};

constexpr const char* kSource = "@F\nPRINTL a\n\n  ?TALENT:0:1000 = 1 \n@G\nCALL F\n";

TEST(ErrorReports, ExecErrorNamesFileAndLineAndWaitsTwice) {
    ReportFixture f(kSource, "one\ntwo\nthree\n");
    f.runTop("F", 2);
    f.console.writeText("12");
    reportExecError(f.rt, CExecError(18));
    EXPECT_EQ(f.output(), "12\n(main.kst)4行目：\n０による除算・剰余計算はできません。\n");
    EXPECT_EQ(f.nextTyped(), "three");
}

TEST(ErrorReports, ExecErrorAfterACallNamesTheCallLine) {
    // A CALLed function that ends inside an IF leaves the chain; the
    // caller's guard then reports the CALL line of the caller's file.
    ReportFixture f(kSource, "");
    f.runTop("G", 0);
    ScriptExecutor called(f.rt);
    called.start(f.function("F"), FrameStart::Call);
    called.pc = 3;
    called.finish();
    reportExecError(f.rt, CExecError(206));
    EXPECT_EQ(f.output(), "\n(main.kst)6行目：\nIFがENDIFで終了していないのに関数の終端を迎えました。\n");
}

TEST(ErrorReports, ArrayErrorRepeatsTheBannerAroundTheLocation) {
    ReportFixture f(kSource, "one\ntwo\n");
    f.runTop("G", 0);
    ScriptExecutor called(f.rt);
    called.start(f.function("F"), FrameStart::Call);
    called.pc = 2;
    reportExecArrayError(f.rt);
    EXPECT_EQ(f.output(),
              "\nkirobasic 配列エラー:\n配列の不正な位置を参照しようとしました。main.kst4行目\n"
              "TALENT:0:1000 = 1 \n"
              "kirobasic 配列エラー:\n配列の不正な位置を参照しようとしました。");
    EXPECT_EQ(f.nextTyped(), "two");
}

TEST(ErrorReports, ArrayErrorWithoutARunningTopLevelHasNoLocation) {
    // A SAVEINFO frame with no top-level run below it.
    ReportFixture f(kSource, "");
    ScriptExecutor own(f.rt);
    own.start(f.function("F"), FrameStart::SaveInfo);
    reportExecArrayError(f.rt);
    EXPECT_EQ(f.output(),
              "\nkirobasic 配列エラー:\n配列の不正な位置を参照しようとしました。"
              "kirobasic 配列エラー:\n配列の不正な位置を参照しようとしました。");
}

TEST(ErrorReports, TopLevelLocationCountsFromTheHeader) {
    ReportFixture f(kSource, "");
    f.runTop("G", 1);  // past G's last line: headerLine 5 + pc 1 + 1
    reportTopLevelError(f.rt, CExecError(206));
    EXPECT_EQ(f.output(), "main.kst7行目\nIFがENDIFで終了していないのに関数の終端を迎えました。\n");

    f.io.output.clear();
    f.rt.topExecutor->finish();
    reportTopLevelError(f.rt, CProcessError(1, "SOURCE_CHECK"));
    EXPECT_EQ(f.output(), "SOURCE_CHECKが見つからないためコマンドを実行できません。\n");
}

TEST(ErrorReports, TopLevelAndStartupArrayErrors) {
    ReportFixture f(kSource, "");
    f.runTop("F", 0);
    reportTopLevelArrayError(f.rt);
    EXPECT_EQ(f.output(), "main.kst2行目\nkirobasic 配列エラー:\n配列の不正な位置を参照しようとしました。");

    f.io.output.clear();
    reportStartupArrayError(f.console);
    EXPECT_EQ(f.output(), "\nkirobasic 配列エラー:\n配列の不正な位置を参照しようとしました。");
}

// Input that breaks on its second line the way a failed engine check does.
class BreakingInput : public StringConsoleIo {
public:
    using StringConsoleIo::StringConsoleIo;
    bool readLine(std::string& line) override {
        if (++reads_ == 2) throw std::out_of_range("vector::_M_range_check");
        return StringConsoleIo::readLine(line);
    }

private:
    int reads_ = 0;
};

// A standard exception is the engine's own fault, not the game's: no
// script line's guard reports it, the game does not go on, and the program
// ends with the internal-error report and a status of its own.
TEST(ErrorReports, EngineFaultEndsTheProgram) {
    test::TempDir game;
    game.write("csv/gamebase.csv", sjis("コード,5\n"));
    game.write("kst/main.kst", "@EVENTFIRST\nPRINTL go\nINPUT\nPRINTL goes on\nQUIT\n");
    test::WorkingDirectory inGame(game.path());
    BreakingInput io("0\n5\n");
    Console console(io);
    EXPECT_EQ(runProgram(console), 70);
    std::string output = utf8(io.output);
    EXPECT_TRUE(output.ends_with("go\n\n内部エラー：エンジンの不具合のため、ゲームを終了します。\n"
                                 "vector::_M_range_check\n"))
        << output;
}

}  // namespace
}  // namespace kiro
