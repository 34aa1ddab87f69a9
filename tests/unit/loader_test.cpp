// The script loader: line classification, the stored fields the executor
// relies on, and the exact bytes of every loader warning.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "console/console.h"
#include "data/game_files.h"
#include "data/text.h"
#include "data/variable_store.h"
#include "script/instruction_table.h"
#include "script/loader.h"
#include "script/errors.h"
#include "support/sjis.h"
#include "support/test_game.h"

namespace kiro {
namespace {

using test::sjis;
using test::utf8;

// Loads `source` (UTF-8, converted to Shift-JIS) as one file "main.kst".
struct Loaded {
    explicit Loaded(std::string_view source, bool convert = true) : console(io) {
        std::string bytes = convert ? sjis(source) : std::string(source);
        loadScriptText(program, console, "main.kst", bytes);
        console.flush();
    }
    const FunctionDefinition& function(std::string_view name) const {
        const FunctionDefinition* def = program.findFunction(name);
        if (!def) throw std::logic_error("function not loaded");
        return *def;
    }
    // Everything after the progress line.
    std::string warnings() const { return io.output.substr(io.output.find('\n') + 1); }

    StringConsoleIo io;
    Console console;
    ScriptProgram program;
};

// The only line of function F.
const ScriptLine& onlyLine(const Loaded& loaded) {
    const FunctionDefinition& f = loaded.function("F");
    if (f.lines.size() != 1) throw std::logic_error("expected one line");
    return f.lines[0];
}

TEST(LoaderLines, ProgressLineAndLastLineWithoutLineFeed) {
    Loaded loaded("@F\nPRINTL a\nPRINTL b");
    EXPECT_EQ(loaded.io.output, sjis("main.kst読み込み中・・・\n"));
    const FunctionDefinition& f = loaded.function("F");
    ASSERT_EQ(f.lines.size(), 1u);
    EXPECT_EQ(f.lines[0].argument, "a");
    EXPECT_EQ(f.sourceFile, "main.kst");
    EXPECT_EQ(f.headerLine, 1);
}

TEST(LoaderLines, CarriageReturnBeforeLineFeedIsDropped) {
    Loaded loaded("@F \r\n$top\r\nPRINTL a \r\nA = 1\r\r\n");
    const FunctionDefinition& f = loaded.function("F ");
    ASSERT_EQ(f.lines.size(), 3u);
    EXPECT_EQ(f.labels[0].name, "TOP");
    EXPECT_EQ(f.lines[1].argument, "a ");
    // Only the CR just before the LF goes; another is a byte of the line,
    // and not a blank.
    EXPECT_EQ(f.lines[2].argument, "1\r");
}

TEST(LoaderLines, EveryLineInsideAFunctionKeepsItsNumber) {
    Loaded loaded("; before\n\n@F\n\n  ; note\n$L\n#PRI\nA=5\nPRINTL x\n");
    const FunctionDefinition& f = loaded.function("F");
    EXPECT_EQ(f.headerLine, 3);
    ASSERT_EQ(f.lines.size(), 5u);  // the failed A=5 gives none
    const std::int32_t numbers[] = {4, 5, 6, 7, 9};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(f.lines[i].lineNumber, numbers[i]);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(f.lines[i].code, kNoOp);
    EXPECT_EQ(f.lines[2].argument, "L");
    EXPECT_EQ(f.lines[4].code, kPRINTL);
}

TEST(LoaderStatements, InstructionArgumentIsTheRestAfterOneBlank) {
    struct Case {
        const char* source;
        std::int32_t code;
        const char* text;
        const char* argument;
    } cases[] = {
        {"PRINT  x", kPRINT, "PRINT  x", " x"},
        {"PRINT x \t", kPRINT, "PRINT x \t", "x \t"},
        {"PRINTL", kPRINTL, "PRINTL", "PRINTL"},
        {"ENDIF", kENDIF, "ENDIF", "ENDIF"},
        {"PRINTL ", kPRINTL, "PRINTL ", ""},
        {"print abc", kPRINT, "print abc", "abc"},
        {"?PRINT x", kPRINT, "PRINT x", "x"},
        {"  \t?PRINT x", kPRINT, "PRINT x", "x"},
        {"PRINTL\tx", kPRINTL, "PRINTL\tx", "x"},
        {"PRINT_TALENT 0", kPRINT_TALENT, "PRINT_TALENT 0", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Loaded loaded(std::string("@F\n") + c.source + "\n");
        const ScriptLine& line = onlyLine(loaded);
        EXPECT_EQ(line.code, c.code);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(line.argument, c.argument);
        EXPECT_EQ(line.target, "");
        EXPECT_EQ(line.targetCode, -1);
    }
}

// The keyword table is hashed; every keyword must still be found by its
// exact (upper-case) spelling, and nothing else.
TEST(LoaderStatements, EveryKeywordAndNothingElseIsAnInstruction) {
    const std::pair<std::string_view, std::int32_t> keywords[] = {
#define INSTRUCTION(keyword, code, handler, shape, after) {#keyword, code},
#define STATEMENT(name, code, handler, shape, after)
#include "script/instructions.def"
#undef STATEMENT
#undef INSTRUCTION
    };
    // Rows without a keyword are no instruction by their name.
    EXPECT_FALSE(lookupInstruction("ASSIGN"));
    EXPECT_EQ(instructionKeyword(kStrAssign), "");
    auto isKeyword = [&](std::string_view word) {
        for (const auto& k : keywords)
            if (k.first == word) return true;
        return false;
    };
    for (const auto& [name, code] : keywords) {
        SCOPED_TRACE(name);
        EXPECT_EQ(lookupInstruction(name), code);
        EXPECT_EQ(instructionKeyword(code), name);
        const std::string word(name);
        for (const std::string& near : {upperCased(word).insert(0, "X"), word + "X", word.substr(1),
                                        word.substr(0, word.size() - 1), word + " ", std::string(word).append(20, 'S')})
            if (!isKeyword(near)) {
                EXPECT_FALSE(lookupInstruction(near)) << near;
            }
        std::string lower = word;
        lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
        EXPECT_FALSE(lookupInstruction(lower));
    }
    for (std::string_view word : {"", "A", "FLAG:3", "PRINTFORMSWX", "\x82\xA0"}) EXPECT_FALSE(lookupInstruction(word));
}

TEST(LoaderStatements, AssignmentsResolveTargetOperatorAndRightHandSide) {
    struct Case {
        const char* source;
        std::int32_t code;
        const char* target;
        const char* index;
        const char* argument;
    } cases[] = {
        {"A:3 += 2", kIntAssign + 1, "A", "3", "2"},
        {"A 1 = 2", kIntAssign + 0, "A", "", "2"},
        {"flag:tflag:2 |=  4 ", kIntAssign + 7, "FLAG", "TFLAG:2", "4"},
        {"A -= -1", kIntAssign + 2, "A", "", "-1"},
        {"A *= 3", kIntAssign + 3, "A", "", "3"},
        {"A /= 3", kIntAssign + 4, "A", "", "3"},
        {"A %= 3", kIntAssign + 5, "A", "", "3"},
        {"A &= 3", kIntAssign + 6, "A", "", "3"},
        {"A x+= 3", kIntAssign + 1, "A", "", "3"},  // the scan passes over other text
        {"A ==", kIntAssign + 0, "A", "", "="},
        {"STR:0 = a b ", kStrAssign, "STR", "0", "a b"},
        {"callname:1 = x", kStrAssign, "CALLNAME", "1", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Loaded loaded(std::string("@F\n") + c.source + "\n");
        const FunctionDefinition& f = loaded.function("F");
        ASSERT_EQ(f.lines.size(), 1u);
        const ScriptLine& line = f.lines[0];
        EXPECT_EQ(line.code, c.code);
        EXPECT_EQ(line.text, c.source);
        EXPECT_EQ(line.target, c.target);
        EXPECT_EQ(line.targetIndex, c.index);
        EXPECT_EQ(line.argument, c.argument);
        auto expected = c.code == kStrAssign ? VariableStore::lookupStringVariable(c.target)
                                             : VariableStore::lookupIntVariable(c.target);
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(line.targetCode, *expected);
    }
}

// Lines are kept as records in large blocks and made into ScriptLines when
// a function is first looked at; functions longer than a block, and ones
// crossing a block's end, keep all their lines in order.
TEST(LoaderLines, FunctionsOfEverySizeKeepTheirLinesAcrossStorageBlocks) {
    std::string source;
    const int sizes[] = {3, 70000, 1, 40000, 0, 65536, 25};
    int number = 0;
    for (int f = 0; f < 7; ++f) {
        source += "@F" + std::to_string(f) + "\n";
        ++number;
        for (int i = 0; i < sizes[f]; ++i, ++number) source += i % 3 == 0 ? "\n" : "PRINTL " + std::to_string(number + 1) + "\n";
    }
    Loaded loaded(source, false);
    number = 0;
    for (int f = 0; f < 7; ++f) {
        SCOPED_TRACE(f);
        const FunctionDefinition& def = loaded.function("F" + std::to_string(f));
        ++number;
        ASSERT_EQ(def.lines.size(), static_cast<std::size_t>(sizes[f]));
        for (int i = 0; i < sizes[f]; ++i) {
            ++number;
            const ScriptLine& line = def.lines[static_cast<std::size_t>(i)];
            ASSERT_EQ(line.lineNumber, number);
            ASSERT_EQ(line.code, i % 3 == 0 ? kNoOp : kPRINTL);
            if (i % 3 != 0) {
                ASSERT_EQ(line.argument, std::to_string(number));
            }
        }
    }
    // Made once: the lines stay where they are.
    const FunctionDefinition& first = loaded.function("F1");
    EXPECT_EQ(&first.lines[1], first.lines.begin() + 1);
    EXPECT_EQ(&first.lines[1], &loaded.function("F1").lines[1]);
}

// Upper-casing the first word changes every byte a-z, also the second byte
// of a double-byte character, and so does the target index kept.
TEST(LoaderStatements, TargetWordsAreUpperCasedByteForByte) {
    Loaded loaded("@F\nFLAG:\x82" "a = 1\nflag:\x82" "aa += 2\n", false);
    const FunctionDefinition& f = loaded.function("F");
    ASSERT_EQ(f.lines.size(), 2u);
    EXPECT_EQ(f.lines[0].targetIndex, "\x82\x41");
    EXPECT_EQ(f.lines[0].text, "FLAG:\x82" "a = 1");
    EXPECT_EQ(f.lines[1].target, "FLAG");
    EXPECT_EQ(f.lines[1].targetIndex, "\x82\x41\x41");
    EXPECT_EQ(f.lines[1].code, kIntAssign + kAdd);
}

TEST(LoaderFailures, EachFailurePrintsThreeLinesAndStoresNothing) {
    struct Case {
        const char* statement;
        const char* reason;
    } cases[] = {
        {"A=5", "の行頭に不明な命令もしくは変数があります。"},
        {"A", "の行頭に変数名がありますが、代入演算子が見つかりません。"},
        {"A ", "の行頭に変数名がありますが、代入演算子が見つかりません。"},
        {"A 5", "の行頭に変数名がありますが、代入演算子が見つかりません。"},
        {"A =", "の行頭に変数名がありますが、代入演算子が見つかりません。"},  // the last byte is never looked at
        {"STR:0 += X",
         "の行頭に文字列変数名がありますが、代入演算子が見つかりません。もしくは、= 以外の代入演算子が使われています。"},
        {"STR:0 X",
         "の行頭に文字列変数名がありますが、代入演算子が見つかりません。もしくは、= 以外の代入演算子が使われています。"},
        {"能力 5", "の行頭に不明な命令もしくは変数があります。"},
        {"　　", "の行頭に不明な命令もしくは変数があります。"},
        {"PRINTLX", "の行頭に不明な命令もしくは変数があります。"},
        {"? PRINT x", "の行頭に不明な命令もしくは変数があります。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        Loaded loaded(std::string("@F\nPRINTL a\n") + c.statement + "\nPRINTL b\n");
        const std::string statement =
            c.statement[0] == '?' ? std::string(c.statement + 1) : std::string(c.statement);
        EXPECT_EQ(utf8(loaded.warnings()),
                  "(main.kst)3行目の\n" + statement + "\n" + c.reason + "\n");
        const FunctionDefinition& f = loaded.function("F");
        ASSERT_EQ(f.lines.size(), 2u);
        EXPECT_EQ(f.lines[1].lineNumber, 4);
    }
}

TEST(LoaderFailures, DoubleByteTextIsReportedByteForByte) {
    // 能 ends in 0x5C: a byte-level bug (escaping, searching for a
    // backslash) would corrupt the report.
    Loaded loaded("@F\n能力 5\n");
    EXPECT_EQ(loaded.warnings(),
              sjis("(main.kst)2行目の\n能力 5\nの行頭に不明な命令もしくは変数があります。\n"));
    EXPECT_EQ(sjis("能")[1], '\x5C');
}

TEST(LoaderFailures, LoneLeadByteEndingAOneWordStatementThrows) {
    EXPECT_THROW(Loaded("@F\nPRINTL\x82\n", false), ArrayError);
    EXPECT_THROW(Loaded("@F\n?\x82\n", false), ArrayError);
    // The lead byte takes a following blank with it, so the word runs on.
    Loaded runOn("@F\nPRINTL\x82 x\n", false);
    EXPECT_TRUE(runOn.function("F").lines.empty());
    // After the first word a lone lead byte is just argument text.
    Loaded inArgument("@F\nPRINTL x\x82\n", false);
    EXPECT_EQ(onlyLine(inArgument).argument, "x\x82");
}

TEST(LoaderHeaders, NamesAreTakenExactlyAsWritten) {
    Loaded loaded("  @EVENTFIRST\nPRINTL a\n@SHOW_SHOP \n@ X\n@show_shop\n@\n");
    EXPECT_NE(loaded.program.findFunction("EVENTFIRST"), nullptr);
    EXPECT_EQ(loaded.program.findFunction("SHOW_SHOP"), nullptr);
    EXPECT_NE(loaded.program.findFunction("SHOW_SHOP "), nullptr);
    EXPECT_NE(loaded.program.findFunction(" X"), nullptr);
    EXPECT_NE(loaded.program.findFunction("show_shop"), nullptr);
    EXPECT_NE(loaded.program.findFunction(""), nullptr);
    EXPECT_EQ(loaded.function("EVENTFIRST").lines.size(), 1u);
}

TEST(LoaderHeaders, LabelsAndAttributes) {
    Loaded loaded("@F\n$loop\n $Loop 2\n#SINGLE\n#single\n#SINGLE \n#PRI\n#LATER\n#LATER\n");
    const FunctionDefinition& f = loaded.function("F");
    ASSERT_EQ(f.labels.size(), 2u);
    EXPECT_EQ(f.labels[0].name, "LOOP");
    EXPECT_EQ(f.labels[0].lineNumber, 2);
    EXPECT_EQ(f.labels[1].name, "LOOP 2");
    EXPECT_EQ(findLabel(f, "loop"), &f.labels[0]);
    EXPECT_EQ(f.attributes, (std::vector<std::int32_t>{kSingle, kPri, kLater, kLater}));
    EXPECT_EQ(f.lines.size(), 8u);
    EXPECT_EQ(loaded.warnings(), sjis("(main.kst)5行目でsingleという無効な属性があります。\n"
                                      "(main.kst)6行目でSINGLE という無効な属性があります。\n"));
}

TEST(LoaderHeaders, LinesBeforeTheFirstFunctionAreReportedAndDropped) {
    Loaded loaded("; comment\n\n$start\n  #PRI\n ?PRINTL x\n@F\nPRINTL y\n");
    EXPECT_EQ(loaded.warnings(),
              sjis("(main.kst)3行目ではまだ関数が宣言されていませんが、$startというラベルがあります。\n"
                   "(main.kst)4行目ではまだ関数が宣言されていませんが、#PRIという属性があります。\n"
                   "(main.kst)5行目ではまだ関数が宣言されていませんが、\n?PRINTL x\nという命令があります。\n"));
    const FunctionDefinition& f = loaded.function("F");
    EXPECT_TRUE(f.labels.empty());
    EXPECT_TRUE(f.attributes.empty());
    ASSERT_EQ(f.lines.size(), 1u);
}

class LoaderFiles : public ::testing::Test {
protected:
    LoaderFiles() : console(io), cwd(dir.path()) {}
    bool load() {
        bool ok = loadScriptFiles(program, console);
        console.flush();
        return ok;
    }
    test::TempDir dir;
    StringConsoleIo io;
    Console console;
    test::WorkingDirectory cwd;
    ScriptProgram program;
};

TEST_F(LoaderFiles, DuplicateFunctionsKeepLoadOrderAndNoFunctionCarriesOver) {
    dir.write("kst/b.KST", "@EVENTFIRST\nPRINTL b\n");
    dir.write("kst/a.kst", "@EVENTFIRST\nPRINTL a\n");
    dir.write("kst/c.kst", "PRINTL orphan\n");
    dir.write("kst/notes.txt", "@X\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(utf8(io.output), "a.kst読み込み中・・・\nb.KST読み込み中・・・\nc.kst読み込み中・・・\n"
                               "(c.kst)1行目ではまだ関数が宣言されていませんが、\nPRINTL orphan\n"
                               "という命令があります。\n");
    const auto& defs = program.definitionsOf("EVENTFIRST");
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(defs[0]->sourceFile, "a.kst");
    EXPECT_EQ(defs[1]->sourceFile, "b.KST");
    EXPECT_EQ(program.findFunction("EVENTFIRST"), defs[0]);
    EXPECT_EQ(program.findFunction("X"), nullptr);
}

// Names are indexed when first looked up; functions loaded after a lookup
// (enough to outgrow the table) are found too, in load order.
TEST(LoaderNames, FunctionsAddedAfterALookupAreFound) {
    StringConsoleIo io;
    Console console(io);
    ScriptProgram program;
    loadScriptText(program, console, "a.kst", "@A\n");
    ASSERT_NE(program.findFunction("A"), nullptr);
    std::string more = "@A\n";
    for (int i = 0; i < 100; ++i) more += "@F" + std::to_string(i) + "\n";
    loadScriptText(program, console, "b.kst", more);
    const auto defs = program.definitionsOf("A");
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(defs[0]->sourceFile, "a.kst");
    EXPECT_EQ(defs[1]->sourceFile, "b.kst");
    EXPECT_NE(program.findFunction("F99"), nullptr);
    EXPECT_EQ(program.functions().size(), 101u);
}

TEST_F(LoaderFiles, MissingOrEmptyFolderLoadsNothing) {
    EXPECT_TRUE(load());
    std::filesystem::create_directories(dir.path() + "/kst/sub.kst");
    EXPECT_TRUE(load());
    EXPECT_TRUE(io.output.empty());
    EXPECT_TRUE(program.functions().empty());
}

// Script files are read whole into a block of their own.
TEST_F(LoaderFiles, WholeFilesAreReadIntoBlocksOfTheirOwn) {
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "PRINTL line " + std::to_string(i) + "\n";
    dir.write("big.kst", big);
    dir.write("empty.kst", "");
    std::filesystem::create_directories(dir.path() + "/folder.kst");
    FileBytes bytes;
    ASSERT_TRUE(readWholeFile(dir.path() + "/big.kst", bytes));
    EXPECT_EQ(std::string_view(bytes.data.get(), bytes.size), big);
    ASSERT_TRUE(readWholeFile(dir.path() + "/empty.kst", bytes));
    EXPECT_EQ(bytes.size, 0u);
    EXPECT_FALSE(readWholeFile(dir.path() + "/folder.kst", bytes));
    EXPECT_FALSE(readWholeFile(dir.path() + "/missing.kst", bytes));
}

TEST_F(LoaderFiles, AFileThatCannotBeOpenedStopsLoading) {
    dir.write("kst/a.kst", "@A\n");
    std::filesystem::create_symlink(dir.path() + "/nowhere", dir.path() + "/kst/b.kst");
    dir.write("kst/c.kst", "@C\n");
    EXPECT_FALSE(load());
    EXPECT_EQ(utf8(io.output), "a.kst読み込み中・・・\nb.kstが開けません。ゲームを終了します。\n");
    EXPECT_EQ(program.findFunction("C"), nullptr);
}

}  // namespace
}  // namespace kiro
