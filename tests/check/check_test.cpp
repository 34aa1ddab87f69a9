// kiro-check over small games written to a temporary directory: each
// seeded fault must be reported on its file and line, a clean game must
// give nothing, and a game kiro cannot load must say where it stops.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "check_game.h"
#include "data/variable_store.h"
#include "suggestions.h"
#include "script/instruction_table.h"
#include "support/sjis.h"
#include "support/test_game.h"

namespace kiro::check {
namespace {

using test::sjis;

class CheckTest : public ::testing::Test {
protected:
    // Texts are written readable, in UTF-8, and stored as Shift-JIS.
    void file(const std::string& relative, std::string_view utf8) { dir.write(relative, sjis(utf8)); }
    CheckReport check() { return checkGame(dir.path()); }

    test::TempDir dir;
};

std::string listing(const CheckReport& report) {
    std::string all;
    for (const Finding& f : report.findings.list()) all += formatFinding(f) + "\n";
    return all;
}

// A finding on file:line whose message contains every one of `parts`.
::testing::AssertionResult hasFinding(const CheckReport& report, const std::string& file, int line,
                                      std::initializer_list<std::string_view> parts) {
    for (const Finding& f : report.findings.list()) {
        if (f.file != file || f.line != line) continue;
        bool all = true;
        for (std::string_view part : parts) all = all && f.message.find(part) != std::string::npos;
        if (all) return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no finding at " << file << ":" << line << " in:\n" << listing(report);
}

// A small game that plays without a fault.
void writeCleanGame(const test::TempDir& dir) {
    dir.write("csv/gamebase.csv", sjis("コード,1\nタイトル,テスト\n"));
    dir.write("csv/train.csv", sjis("0,愛撫\n1,キス\n"));
    dir.write("csv/chara1.csv", sjis("番号,1\n名前,花子\n"));
    dir.write("csv/chara2.csv", sjis("番号,2\nフラグ,0,1\n"));
    dir.write("kst/system.kst", sjis(
        "@EVENTFIRST\n"
        "ADDCHARA 1\n"
        "ADDSPCHARA 2\n"
        "FLAG:3 += 1\n"
        "NAME:0 = 花子\n"
        "REPEAT 3\n"
        "\tIF COUNT == 1\n"
        "\t\tCONTINUE\n"
        "\tELSEIF (COUNT + 1) * 2 >= 5 && FLAG:10000 == 0\n"
        "\t\tBREAK\n"
        "\tELSE\n"
        "\t\tPRINTV 'count ,COUNT, '=, 5--3\n"
        "\tENDIF\n"
        "REND\n"
        "$again\n"
        "SIF 1 / A\n"
        "\tgoto AGAIN\n"
        "PRINTFORML 所持金{MONEY}円 %STR:{COUNT}% ***\n"
        "PRINTS NAME:TARGET\n"
        "BAR 1,0,5\n"
        "TIMES MONEY, 1.5\n"
        "CALL helper\n"
        "CALL com_able9\n"
        "BEGIN SHOP\n"
        "@helper\n"
        "RETURN 1\n"
        "@com_able9\n"
        "RETURN 0\n"
        "@EVENTFIRST\n"
        "#LATER\n"
        "PRINTL 二つ目\n"
        "@COM0\n@COM1\n@SOURCE_CHECK\n"
        "@SHOW_SHOP\n@USERSHOP\nBEGIN TRAIN\n"));
}

TEST_F(CheckTest, CleanGameHasNoFinding) {
    writeCleanGame(dir);
    CheckReport report = check();
    EXPECT_EQ(listing(report), "");
    EXPECT_EQ(report.status, CheckStatus::Clean);
}

TEST_F(CheckTest, LoaderWarningsBecomeFindingsOnTheirLines) {
    file("csv/GameBase.csv", "コード,1\n謎,2\n");
    file("kst/a.kst",
         "$OUTSIDE\n"
         "PRINTL まだ\n"
         "@F\n"
         "#single\n"
         "A=5\n"
         "STR:0 += x\n"
         "PRINTL ok\n");
    CheckReport report = check();
    EXPECT_EQ(report.status, CheckStatus::Faults);
    EXPECT_TRUE(hasFinding(report, "csv/GameBase.csv", 2, {"謎,2", "無効な命令"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 1, {"$OUTSIDE", "ラベル"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 2, {"PRINTL まだ", "という命令があります。"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 4, {"single", "無効な属性"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 5, {"A=5", "不明な命令"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 6, {"STR:0 += x", "文字列変数"}));
    // The three-line warnings make one finding each, and no progress line
    // ("...読み込み中") is reported.
    EXPECT_EQ(report.findings.list().size(), 6u) << listing(report);
}

// Both loaders cut lines at line feeds only and drop a last line without
// one, so these slips lose script or data without a word from kiro.
TEST_F(CheckTest, LineEndsKiroReadsDifferently) {
    struct Case {
        std::string path, bytes;
        int line;  // 0: nothing to report
        std::string_view why;
    };
    const Case cases[] = {
        {"kst/a.kst", "@F\nPRINTL a", 2, "no line feed, so kiro drops it"},
        {"csv/str.csv", "0,a\n1,b", 2, "no line feed, so kiro drops it"},
        {"kst/a.kst", "@F\rPRINTL a\r", 1, "kiro sees the whole file as one line and, as no line feed ends it"},
        {"kst/a.kst", "@F\rPRINTL a\r\n", 1, "kiro sees the whole file as one line"},
        {"kst/a.kst", "@F\r\nPRINTL a\r\n", 0, ""},
        {"kst/a.kst", "@F\nPRINTL a\n ; the end", 0, ""},  // a comment or blanks lose nothing
        {"kst/a.kst", "@F\nPRINTL a\n \t", 0, ""},
        {"csv/notes.csv", "x", 0, ""},  // kiro does not read this name
    };
    for (const Case& c : cases) {
        test::TempDir game;
        game.write(c.path, c.bytes);
        CheckReport report = checkGame(game.path());
        if (c.line == 0) {
            EXPECT_EQ(listing(report), "") << c.bytes;
            continue;
        }
        EXPECT_TRUE(hasFinding(report, c.path, c.line, {c.why})) << c.bytes;
        EXPECT_EQ(report.findings.list().size(), 1u) << listing(report);
    }
}

TEST_F(CheckTest, LoadFailuresNameTheLineWhereKiroStops) {
    struct Case {
        std::string path, bytes;
        int line;
        std::string_view why;
    };
    const Case cases[] = {
        {"csv/item.csv", sjis("1,薬草,10\n;x\n2,毒\n3,水,5\n"), 3, "too few fields"},
        {"csv/str.csv", sjis("0,a\n20000,b\n"), 2, "too few fields"},
        {"csv/chara100.csv", sjis("番号,1\n"), 1, "character slots"},
        {"kst/a.kst", "@F\nPRINTL a\nPRINTL\x82\n", 3, "double-byte"},
    };
    for (const Case& c : cases) {
        test::TempDir game;
        game.write(c.path, c.bytes);
        game.write("kst/z.kst", sjis("@F\nCALL MISSING\n"));  // never reached: loading has stopped
        CheckReport report = checkGame(game.path());
        EXPECT_EQ(report.status, CheckStatus::NotLoaded) << c.path;
        EXPECT_TRUE(hasFinding(report, c.path, c.line, {c.why, "配列エラー"}));
        EXPECT_EQ(report.findings.list().size(), 1u) << listing(report);
    }
}

TEST_F(CheckTest, FileThatCannotBeOpenedStopsTheLoadButUnreadNamesDoNot) {
    file("kst/a.kst", "@F\nA=1\n");
    std::filesystem::create_directories(dir.path() + "/csv");
    std::filesystem::create_symlink(dir.path() + "/nowhere", dir.path() + "/kst/b.kst");
    std::filesystem::create_symlink(dir.path() + "/nowhere", dir.path() + "/csv/readme.csv");
    CheckReport report = check();
    EXPECT_EQ(report.status, CheckStatus::NotLoaded);
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 2, {"A=1"}));
    EXPECT_TRUE(hasFinding(report, "kst/b.kst", 1, {"b.kstが開けません"}));
    EXPECT_EQ(report.findings.list().size(), 2u) << listing(report);
}

TEST_F(CheckTest, NotAGameDirectory) {
    EXPECT_EQ(check().status, CheckStatus::NotLoaded);  // neither csv nor kst
    CheckReport missing = checkGame(dir.path() + "/absent");
    EXPECT_EQ(missing.status, CheckStatus::NotLoaded);
    EXPECT_NE(missing.problem.find("not a directory"), std::string::npos);
}

TEST_F(CheckTest, UnbalancedBlocks) {
    file("kst/a.kst",
         "@F\n"
         "ELSE\n"              // 2
         "IF 1\n"              // 3
         "\tREPEAT 2\n"        // 4
         "\t\tREPEAT 3\n"      // 5: inside the running loop
         "\t\tREND\n"
         "\tREND\n"
         "ENDIF\n"             // 8: closes line 3
         "ENDIF\n"             // 9: no IF left
         "REND\n"              // 10
         "BREAK\n"             // 11
         "IF 1\n"              // 12
         "REPEAT 1\n");        // 13
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 2, {"ELSE without an open IF"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 5, {"inside the loop of line 4", "203"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 9, {"ENDIF without an open IF"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 10, {"REND without REPEAT"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 11, {"BREAK outside a REPEAT loop"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 12, {"IF without ENDIF", "206"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 13, {"REPEAT without REND", "207"}));
    EXPECT_EQ(report.findings.list().size(), 7u) << listing(report);
}

TEST_F(CheckTest, BlocksAreMatchedPerFunction) {
    file("kst/a.kst", "@F\nIF 1\n@G\nENDIF\n");
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 2, {"IF without ENDIF"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 4, {"ENDIF without an open IF"}));
}

TEST_F(CheckTest, JumpsToNamesThatDoNotExist) {
    file("kst/a.kst",
         "@F\n"
         "$TOP\n"
         "GOTO top\n"         // 3: fine, labels are upper-cased on both sides
         "GOTO BOTTOM\n"      // 4
         "CALL G \n"          // 5: the trailing blank is part of the name
         "CALL g\n"           // 6
         "JUMP NONE\n"        // 7
         "BEGIN shop\n"       // 8
         "CALL\n"             // 9: the keyword is its own argument
         "CALL G\n"
         "@G\n"
         "GOTO TOP\n");       // 12: labels belong to their function
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 4, {"GOTO", "'BOTTOM'"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 5, {"CALL", "'G '", "ends in a blank", "'G' exists"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 6, {"'g'", "case-sensitive", "'G' exists"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 7, {"JUMP", "'NONE'"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 8, {"BEGIN", "'shop'"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 9, {"keyword itself"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 12, {"GOTO", "'TOP'"}));
    EXPECT_EQ(report.findings.list().size(), 7u) << listing(report);
}

TEST_F(CheckTest, ExpressionsThatFailWhateverTheValues) {
    struct Case {
        std::string_view line;
        int code;
    };
    const Case cases[] = {
        {"IF FLAG:0 == 1)", 10},
        {"SIF ()", 11},
        {"IF ＦＬＡＧ", 12},
        {"REPEAT 5---3", 13},
        {"IF CFLAG:0:5", 14},
        {"IF A1", 15},
        {"ELSEIF 5 5", 16},
        {"IF A = 1", 17},
        {"PRINTV 1,,2", 17},
        {"IF FOO", 4},
        {"IF (1 / A) + FOO", 4},  // the division by zero hides FOO unless A is not 0
        {"A += BOGUS", 4},
        {"FLAG:BOGUS = 1", 4},
        {"STR:BOGUS = x", 4},
        {"PRINTVL 'ok, NOPE", 4},
        {"BARL 1, FOO, 10", 4},
        {"PRINT_ABL TARGETT", 4},
        {"DELCHARA Ｘ", 12},
        {"TIMES MONY, 2", 4},
        {"PRINTS str:0", 24},
        {"PRINTFORMSL BAD:0", 24},
        {"PRINTFORM {1", 30},
        {"PRINTFORMW 100%", 31},
        {"PUTFORM %NAMAE:0%", 24},
        {"PRINTFORML {ＡＢＣ}", 12},
    };
    std::string script = "@F\n";
    for (const Case& c : cases) script += std::string(c.line) + "\n";
    file("kst/a.kst", script);
    CheckReport report = check();
    int line = 2;
    for (const Case& c : cases) {
        EXPECT_TRUE(hasFinding(report, "kst/a.kst", line++, {"reports error " + std::to_string(c.code)})) << c.line;
    }
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 21, {"looked up as written"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 20, {"unknown variable MONY"}));
    // Unclosed IF and REPEAT blocks are reported too; count only these.
    std::size_t expressionFindings = 0;
    for (const Finding& f : report.findings.list()) expressionFindings += f.message.find("reports error ") != std::string::npos;
    EXPECT_EQ(expressionFindings, std::size(cases)) << listing(report);
}

// The checker walks the operands the engine cuts each argument into, so
// every instruction whose shape holds an expression, a reference or a name
// is checked without code of its own: each gets a finding for a bad one.
TEST_F(CheckTest, EveryInstructionWithAnExpressionOrANameIsChecked) {
    struct Bad {
        Shape shape;
        std::string_view argument;
        std::string_view shown;  // what the finding quotes
    };
    const Bad bad[] = {
        {Shape::Expression, "FOO", "'FOO'"},         {Shape::ValueList, "'a, FOO", "'FOO'"},
        {Shape::BarTriple, "1, FOO, 2", "' FOO'"},   {Shape::StringReference, "FOO", "'FOO'"},
        {Shape::FormReference, "FOO", "'FOO'"},      {Shape::Form, "a{FOO}", "'a{FOO}'"},
        {Shape::Label, "NOWHERE", "'NOWHERE'"},      {Shape::Function, "NOWHERE", "'NOWHERE'"},
        {Shape::BeginTarget, "NOWHERE", "'NOWHERE'"}, {Shape::Times, "FOO, 2", "'FOO'"},
    };
    // Shapes that hold nothing that can fail as written.
    const Shape unchecked[] = {Shape::None, Shape::Text, Shape::Number};
    std::string script = "@F\n";
    std::vector<std::pair<std::string_view, const Bad*>> lines;  // from line 2 on
    for (const KeywordEntry& keyword : instructionKeywords()) {
        const Shape shape = instructionTraits(keyword.code).shape;
        const Bad* found = std::find_if(std::begin(bad), std::end(bad), [&](const Bad& b) { return b.shape == shape; });
        if (found == std::end(bad)) {
            EXPECT_NE(std::find(std::begin(unchecked), std::end(unchecked), shape), std::end(unchecked)) << keyword.name;
            continue;
        }
        script += std::string(keyword.name) + " " + std::string(found->argument) + "\n";
        lines.emplace_back(keyword.name, found);
    }
    EXPECT_GE(lines.size(), 30u);
    file("kst/a.kst", script);
    CheckReport report = check();
    int line = 2;
    for (const auto& [keyword, b] : lines) EXPECT_TRUE(hasFinding(report, "kst/a.kst", line++, {keyword, b->shown}));
}

TEST_F(CheckTest, ArgumentCountsOfBarAndTimes) {
    file("kst/a.kst", "@F\nBAR 1,2\nTIMES MONEY\n");
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 2, {"three arguments", "300"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 3, {"variable and a factor", "301"}));
}

TEST_F(CheckTest, TrainingCommandsNeedTheirFunctions) {
    file("csv/train.csv", "; commands\n0,愛撫\n5,キス\n");
    file("csv/TRAIN2.csv", "x\n");  // not a data file kiro reads
    file("kst/a.kst", "@COM0\n@SHOW_SHOP\n@USERSHOP\nBEGIN TRAIN\n");
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "csv/train.csv", 3, {"command 5", "COM5", "が見つからない"}));
    EXPECT_TRUE(hasFinding(report, "csv/train.csv", 2, {"SOURCE_CHECK"}));
    EXPECT_EQ(report.findings.list().size(), 2u) << listing(report);
}

TEST_F(CheckTest, EntryPointsMisspeltInCaseOrBlanks) {
    file("kst/a.kst",
         "@show_shop\n"     // 1
         "@SHOW_SHOP \n"    // 2
         "@Com_Able3\n"     // 3
         "@ablup12\n"       // 4: called below, so it is the game's own
         "@COM01\n"         // 5: not a case or blank difference
         "@SHOW_SHOP\n"
         "CALL ablup12\n"
         "CALL SHOW_SHOPS\n"
         "@USERSHOP\n"
         "BEGIN TRAIN\n"
         "@SAVE_INFO\n"    // 11: close to SAVEINFO, and nothing calls it
         "@SHOW_SHOPS\n"); // called above, so it is the game's own
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 1, {"'show_shop'", "'SHOW_SHOP'"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 2, {"'SHOW_SHOP '", "never run"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 3, {"'COM_ABLE3'"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 5, {"'COM01' never runs"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 11, {"'SAVE_INFO' is never run", "'SAVEINFO'"}));
    EXPECT_EQ(report.findings.list().size(), 5u) << listing(report);
}

// What the game loop needs from the scripts, judged over the whole game.
TEST_F(CheckTest, GameLoopNeedsAShopScreenAndAWayOut) {
    struct Case {
        std::string_view script, expected;
    };
    const Case cases[] = {
        {"@EVENTFIRST\nPRINTL a\n", "no-shop-screen phase-never-left "},
        {"@EVENTFIRST\nQUIT\n", ""},  // the shop is never reached
        {"@SHOW_SHOP\nCALL F\n@F\nSIF RESULT\n  BEGIN TRAIN\n", ""},
        {"@PRINT_ONLY\nPRINTL a\n", ""},  // no function the engine runs: not a game yet
    };
    for (const Case& c : cases) {
        test::TempDir game;
        game.write("kst/a.kst", sjis(c.script));
        std::string codes;
        const CheckReport report = checkGame(game.path());
        for (const Finding& f : report.findings.list()) codes += std::string(findingRow(f.code).code) + " ";
        EXPECT_EQ(codes, c.expected) << c.script;
    }
}

TEST_F(CheckTest, AddedCharactersNeedATemplate) {
    file("csv/chara1.csv", "番号,7\n");
    file("csv/chara2.csv", "番号,8\nフラグ,0,1\n");
    file("kst/a.kst",
         "@F\n"
         "ADDCHARA 7\n"
         "ADDCHARA 9\n"        // 3: no template
         "ADDCHARA 8\n"        // 4: only a special one
         "ADDSPCHARA 8\n"
         "ADDSPCHARA 7\n"      // 6
         "ADDCHARA FLAG:9\n"); // depends on values
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 3, {"NO 9", "キャラデータが見つかりません"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 4, {"NO 8", "ADDSPCHARA adds it"}));
    EXPECT_TRUE(hasFinding(report, "kst/a.kst", 6, {"NO 7", "CFLAG:0 = 1", "ADDCHARA adds it"}));
    EXPECT_EQ(report.findings.list().size(), 3u) << listing(report);
}

TEST_F(CheckTest, DuplicateFunctionsExceptEvents) {
    file("kst/a.kst", "@F\n@EVENTSHOP\nCALL F\n@SHOW_SHOP\n@USERSHOP\nBEGIN TRAIN\n");
    file("kst/b.kst", "@EVENTSHOP\n\n@F\n");
    CheckReport report = check();
    EXPECT_TRUE(hasFinding(report, "kst/b.kst", 3, {"'F'", "kst/a.kst:1"}));
    EXPECT_EQ(report.findings.list().size(), 1u) << listing(report);
}

TEST_F(CheckTest, FindingsAreSortedByFileAndLineInUtf8) {
    file("kst/b.kst", "@F\nCALL X\nA=1\n");
    file("kst/a.kst", "@F2\nCALL 関数\n");
    file("csv/gamebase.csv", "謎,1\n");
    CheckReport report = check();
    std::vector<std::string> lines;
    for (const Finding& f : report.findings.list()) lines.push_back(formatFinding(f));
    ASSERT_EQ(lines.size(), 4u) << listing(report);
    EXPECT_TRUE(lines[0].starts_with("csv/gamebase.csv:1: error: (gamebase.csv)1行目に謎,1"));
    EXPECT_TRUE(lines[1].starts_with("kst/a.kst:2:6: error: CALL of a function that does not exist: '関数'"));
    EXPECT_TRUE(lines[2].starts_with("kst/b.kst:2:6: error: "));
    EXPECT_TRUE(lines[3].starts_with("kst/b.kst:3: error: "));
}

TEST_F(CheckTest, BrokenBytesPrintAsEscapes) {
    dir.write("kst/a.kst", "@F\nCALL X\x82\x20\xFF\rY\n");
    CheckReport report = check();
    ASSERT_EQ(report.findings.list().size(), 1u);
    EXPECT_NE(formatFinding(report.findings.list()[0]).find("\\xFF\\x0DY"), std::string::npos)
        << formatFinding(report.findings.list()[0]);
}

// The program itself: arguments, output and exit status.
using test::ProgramRun;

ProgramRun runChecker(const std::string& arguments) {
    // Under a time limit: a checker that hangs fails the test instead.
    return test::runCommand("timeout 60 " + std::string(KIRO_CHECK_BINARY) + " " + arguments + " 2>/dev/null");
}

TEST_F(CheckTest, ProgramExitStatusAndOutput) {
    writeCleanGame(dir);
    EXPECT_EQ(runChecker(dir.path()).status, 0);
    EXPECT_EQ(runChecker("'" + dir.path() + "' --extra").status, 2);
    ProgramRun help = runChecker("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("usage: kiro-check"), std::string::npos);

    // Warnings alone pass, unless --strict.
    file("kst/y.kst", "@helper\nRETURN 2\n");
    const std::string warning = "kst/y.kst:1: warning: function 'helper' is defined again and never runs: only the "
                                "first definition (kst/system.kst:25) is called\n";
    EXPECT_EQ(runChecker(dir.path()).output, warning);
    EXPECT_EQ(runChecker(dir.path()).status, 0);
    EXPECT_EQ(runChecker("--strict " + dir.path()).status, 1);

    file("kst/z.kst", "@USERCOM\nGOTO NOWHER\n$NOWHERE\n");
    ProgramRun faulty = runChecker(dir.path());
    EXPECT_EQ(faulty.status, 1);
    EXPECT_EQ(faulty.output, warning + "kst/z.kst:2:6: error: GOTO to a label this function does not define: "
                                       "'NOWHER' (kiro reports error 200); did you mean NOWHERE?\n");
    EXPECT_EQ(runChecker("--format json " + dir.path()).output,
              "{\"file\":\"kst/y.kst\",\"line\":1,\"column\":0,\"severity\":\"warning\",\"code\":\"duplicate-function\","
              "\"message\":\"function 'helper' is defined again and never runs: only the first definition "
              "(kst/system.kst:25) is called\",\"suggestions\":[]}\n"
              "{\"file\":\"kst/z.kst\",\"line\":2,\"column\":6,\"severity\":\"error\",\"code\":\"unknown-label\","
              "\"message\":\"GOTO to a label this function does not define: 'NOWHER' (kiro reports error 200)\","
              "\"suggestions\":[\"NOWHERE\"]}\n");
    EXPECT_EQ(runChecker("--format xml " + dir.path()).status, 2);

    // A finding about the game as a whole is put on the directory.
    test::TempDir shop;
    shop.write("kst/a.kst", "@EVENTFIRST\nBEGIN SHOP\n@USERSHOP\nQUIT\n");
    EXPECT_TRUE(runChecker(shop.path()).output.starts_with(shop.path() + ": warning: the game reaches the shop"));

    file("csv/abl.csv", "1\n");
    EXPECT_EQ(runChecker(dir.path()).status, 2);
}

// Close names: case ignored, a swap of neighbours is one edit, the limit
// grows with the name, closest first, at most three.
TEST(Suggestions, CloseNamesClosestFirst) {
    const struct {
        std::string_view name;
        std::vector<std::string> candidates, expected;
    } cases[] = {
        {"MONY", VariableStore::intVariableNames(), {"MONEY"}},
        {"SUM_ABLE", {"X", "SUMABLE2", "SUM_ABL"}, {"SUM_ABL", "SUMABLE2"}},
        {"SHWO_SHOP", {"SHOW_SHOP", "SHOP"}, {"SHOW_SHOP"}},
        {"AB", {"AC", "ab", "AB"}, {"ab"}},
        {"FLAG", {"FLAGA", "FLAGB", "FLAGC", "FLAGD"}, {"FLAGA", "FLAGB", "FLAGC"}},
        {"TRAINING", {"TRAIN"}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(closestNames(c.name, c.candidates), c.expected) << c.name;
}

// JSON Lines that a standard parser reads back as written: Japanese text
// passes, quotes, backslashes and control characters are escaped, and a
// byte that is no UTF-8 becomes the text \xNN.
TEST_F(CheckTest, JsonOutputParsesAsWritten) {
    EXPECT_EQ(jsonString("a\"b\\c\x01\x7F 能力 \xFF\xE3\x81"), "\"a\\\"b\\\\c\\u0001\\u007f 能力 \\\\xFF\\\\xE3\\\\x81\"");
    file("kst/a.kst", "@F\nCALL 関数\nPRINTFORML {ＭＯＮＹ}\n");
    dir.write("kst/b.kst", "@G\nCALL \"A\\B\"\tC\n");
    const std::string parse =
        " | python3 -c 'import json,sys; [print(o[\"line\"], o[\"column\"], o[\"code\"], *o[\"suggestions\"]) "
        "for o in map(json.loads, sys.stdin) if o[\"message\"]]'";
    ProgramRun parsed = test::runCommand("timeout 60 " + std::string(KIRO_CHECK_BINARY) + " --format json " +
                                         dir.path() + parse);
    EXPECT_EQ(parsed.status, 0);
    EXPECT_EQ(parsed.output, "2 6 unknown-function\n3 13 full-width-character\n2 6 unknown-function\n");
}

// A FIFO or a device among the scripts is skipped, never read (a finding, the
// check goes on); a file above the size limit and a folder that cannot be
// listed stop the load, as they stop kiro.
TEST_F(CheckTest, FilesAndFoldersKiroDoesNotRead) {
    writeCleanGame(dir);
    ASSERT_EQ(mkfifo((dir.path() + "/kst/b.kst").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", dir.path() + "/kst/zz.kst");
    ProgramRun skipped = runChecker(dir.path());
    EXPECT_EQ(skipped.status, 0);
    EXPECT_EQ(skipped.output, "kst/b.kst:1: warning: b.kstは通常のファイルではないため読み込みません。\n"
                              "kst/zz.kst:1: warning: zz.kstは通常のファイルではないため読み込みません。\n");

    ASSERT_EQ(truncate((dir.path() + "/kst/system.kst").c_str(), off_t{100} << 30), 0);  // sparse
    CheckReport tooLarge = check();
    EXPECT_EQ(tooLarge.status, CheckStatus::NotLoaded);
    EXPECT_TRUE(hasFinding(tooLarge, "kst/system.kst", 1, {"system.kstは大きすぎるため読み込めません", "256 MiB"}));

    test::TempDir loop;
    loop.write("csv/gamebase.csv", sjis("コード,1\n"));
    std::filesystem::create_symlink("kst", loop.path() + "/kst");
    CheckReport unreadable = checkGame(loop.path());
    EXPECT_EQ(unreadable.status, CheckStatus::NotLoaded);
    EXPECT_TRUE(hasFinding(unreadable, "kst", 1, {"kstフォルダを読み込めません"}));
}

}  // namespace
}  // namespace kiro::check
