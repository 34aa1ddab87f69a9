// The CSV loader: file recognition, the shared key table, field counts,
// numbers and texts, line handling, and loading a real csv folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>

#include "console/console.h"
#include "data/csv_loader.h"
#include "messages.h"
#include "script/errors.h"
#include "support/sjis.h"
#include "support/test_game.h"

namespace kiro {
namespace {

using test::sjis;

class CsvLoader : public ::testing::Test {
protected:
    CsvLoader() : console(io) {}

    // Loads UTF-8 test text as the Shift-JIS file `name`.
    void load(const std::string& name, std::string_view text) {
        loadCsvText(store, base, console, name, sjis(text));
    }
    std::string name(std::int32_t table, std::int32_t number) { return store.nameTable(table)[number]; }
    CharacterRecord& slot(std::int32_t n) { return store.templateAt(n); }

    VariableStore store;
    GameBase base;
    StringConsoleIo io;
    Console console;
};

TEST_F(CsvLoader, FileNamesAreRecognisedWithoutRegardToCase) {
    load("GAMEBASE.CSV", "タイトル,T\n");
    load("Chara5.csv", "名前,five\n");
    load("Abl.Csv", "1,a\n");
    load("readme.csv", "タイトル,R\n");
    load("xchara1.csv", "名前,x\n");
    EXPECT_EQ(base.title, "T");
    EXPECT_EQ(slot(5).name, "five");
    EXPECT_EQ(name(kAblName, 1), "a");
    EXPECT_EQ(slot(1).name, "");
    EXPECT_TRUE(io.output.empty());
}

TEST_F(CsvLoader, CharacterSlotIsTheNumberAfterChara) {
    load("chara5b.csv", "名前,b\n");
    load("chara.csv", "名前,zero\n");
    load("chara99.csv.bak", "名前,n\n");  // only needs to contain ".csv"
    EXPECT_EQ(slot(5).name, "b");
    EXPECT_EQ(slot(0).name, "zero");
    EXPECT_EQ(slot(99).name, "n");
    EXPECT_THROW(load("chara100.csv", "名前,x\n"), ArrayError);
    EXPECT_THROW(load("chara-1.csv", "名前,x\n"), ArrayError);
    EXPECT_THROW(load("chara99999999.csv", "名前,x\n"), ArrayError);
}

TEST_F(CsvLoader, LaterFileForTheSameSlotStartsFromAFreshRecord) {
    load("chara3.csv", "番号,3\n名前,A\n基礎,1,5\n");
    load("chara03.csv", "名前,B\n");
    EXPECT_EQ(slot(3).name, "B");
    EXPECT_EQ(slot(3).no, -1);
    EXPECT_EQ(slot(3).get(kBase, 1), 0);
}

TEST_F(CsvLoader, CharacterKeys) {
    load("chara1.csv",
         "番号,7\n名前,Full Name\n呼び名,Call\n助手,1\n基礎,2,500\n素質,10,0\n素質,11\n"
         "能力,3,4\n経験,5,6\n刻印,7,8\n相性,9,10\nフラグ,999,12\n");
    const CharacterRecord& c = slot(1);
    EXPECT_EQ(c.no, 7);
    EXPECT_EQ(c.name, "Full Name");
    EXPECT_EQ(c.callName, "Call");
    EXPECT_EQ(c.isAssi, 1);
    EXPECT_EQ(c.get(kBase, 2), 500);
    EXPECT_EQ(c.get(kMaxBase, 2), 500);
    EXPECT_EQ(c.get(kTalent, 10), 1);  // always 1, whatever follows
    EXPECT_EQ(c.get(kTalent, 11), 1);
    EXPECT_EQ(c.get(kAbl, 3), 4);
    EXPECT_EQ(c.get(kExp, 5), 6);
    EXPECT_EQ(c.get(kMark, 7), 8);
    EXPECT_EQ(c.get(kRelation, 9), 10);
    EXPECT_EQ(c.get(kCflag, 999), 12);
}

TEST_F(CsvLoader, GameBaseKeysActByTheirCodeInCharacterFiles) {
    // The shared table: "title" has the experience code, "version" the name code.
    load("chara2.csv", "タイトル,5,7\nバージョン,N\n");
    EXPECT_EQ(slot(2).get(kExp, 5), 7);
    EXPECT_EQ(slot(2).name, "N");
    EXPECT_EQ(base.title, "");
}

TEST_F(CsvLoader, CharacterFieldErrorsThrowKeepingEarlierLines) {
    EXPECT_THROW(load("chara4.csv", "名前,kept\n能力,3\n名前,late\n"), ArrayError);
    EXPECT_EQ(slot(4).name, "kept");
    EXPECT_THROW(load("chara4.csv", "名前\n"), ArrayError);
    EXPECT_THROW(load("chara4.csv", "能力,100,1\n"), ArrayError);
    EXPECT_THROW(load("chara4.csv", "能力,-1,1\n"), ArrayError);
    EXPECT_THROW(load("chara4.csv", "素質,1000\n"), ArrayError);
    EXPECT_THROW(load("chara4.csv", "基礎,100,1\n"), ArrayError);
}

TEST_F(CsvLoader, GameBaseKeys) {
    load("gamebase.csv",
         "コード,123\nバージョン,1010\nバージョン違い認める,1000\nタイトル,A,B\n作者,Me\n製作年,2004\n"
         "追加情報, extra \n最初からいるキャラ,2\nアイテムなし,1\n");
    EXPECT_EQ(base.gameCode, 123);
    EXPECT_EQ(base.version, 1010);
    EXPECT_EQ(base.acceptedVersion, 1000);
    EXPECT_EQ(base.title, "A");
    EXPECT_EQ(base.author, "Me");
    EXPECT_EQ(base.year, "2004");
    EXPECT_EQ(base.extraInfo, " extra");  // only the whole line is trimmed
    EXPECT_EQ(base.initialCharacter, 2);
    EXPECT_EQ(base.noItem, 1);
}

TEST_F(CsvLoader, GameBaseDefaultsAndCrossKinds) {
    EXPECT_EQ(base.acceptedVersion, -1);
    EXPECT_EQ(base.initialCharacter, -1);
    load("gamebase.csv", "番号,42\n基礎\n能力,5\n素質,255\n");
    EXPECT_EQ(base.gameCode, 42);
    EXPECT_EQ(base.noItem, -1);
    load("gamebase.csv", "アイテムなし,256\n");
    EXPECT_EQ(base.noItem, 0);
    EXPECT_THROW(load("gamebase.csv", "タイトル\n"), ArrayError);
    EXPECT_THROW(load("gamebase.csv", "能力\n"), ArrayError);
}

TEST_F(CsvLoader, NumbersReadLikeStrtolAndSaturate) {
    load("gamebase.csv", "コード,12abc\nバージョン,abc\n最初からいるキャラ, -3\n");
    EXPECT_EQ(base.gameCode, 12);
    EXPECT_EQ(base.version, 0);
    EXPECT_EQ(base.initialCharacter, -3);
    load("gamebase.csv", "コード,99999999999\nバージョン,-99999999999\n");
    EXPECT_EQ(base.gameCode, INT32_MAX);
    EXPECT_EQ(base.version, INT32_MIN);
}

TEST_F(CsvLoader, InvalidKeyStopsTheFileAndNamesTheLine) {
    load("GameBase.csv", "コード,1\n; note\n\nバージョン,2\n作者,a\n製作年,y\n  bogus,1  \nタイトル,late\n");
    EXPECT_EQ(base.gameCode, 1);
    EXPECT_EQ(base.year, "y");
    EXPECT_EQ(base.title, "");
    EXPECT_EQ(io.output, sjis("(gamebase.csv)7行目にbogus,1という無効な命令を発見しました。\n"));
}

TEST_F(CsvLoader, SkippedLinesAndLineEnds) {
    load("abl.csv", "  \n;0,comment\n\n\t\n1,one\r\n,x\n0, 体力,extra\n2,last without line feed");
    EXPECT_EQ(name(kAblName, 1), "one");
    EXPECT_EQ(name(kAblName, 0), sjis(" 体力"));  // ",x" set it first, then replaced
    EXPECT_FALSE(store.nameTable(kAblName).count(2));
    EXPECT_EQ(store.nameTable(kAblName).size(), 2u);
}

TEST_F(CsvLoader, NameTablesFillTheirOwnTables) {
    load("talent.csv", "1,t\n");
    load("mark.csv", "1,m\n");
    load("exp.csv", "1,e\n");
    load("palam.csv", "1,p\n");
    load("train.csv", "3,first\n3,second\n-1,neg\n");
    EXPECT_EQ(name(kTalentName, 1), "t");
    EXPECT_EQ(name(kMarkName, 1), "m");
    EXPECT_EQ(name(kExpName, 1), "e");
    EXPECT_EQ(name(kPalamName, 1), "p");
    EXPECT_EQ(store.trainNames.at(3), "second");
    EXPECT_EQ(store.trainNames.at(-1), "neg");
    EXPECT_THROW(load("abl.csv", "5\n"), ArrayError);
    EXPECT_FALSE(store.nameTable(kAblName).count(5));
}

TEST_F(CsvLoader, ItemNameIsStoredBeforeAMissingPrice) {
    load("item.csv", "5,薬草,100\n6,x,12abc,extra\n");
    EXPECT_EQ(name(kItemName, 5), sjis("薬草"));
    EXPECT_EQ(store.itemPrices.at(5), 100);
    EXPECT_EQ(store.itemPrices.at(6), 12);
    EXPECT_THROW(load("item.csv", "7,薬草\n"), ArrayError);
    EXPECT_EQ(name(kItemName, 7), sjis("薬草"));
    EXPECT_FALSE(store.itemPrices.count(7));
}

TEST_F(CsvLoader, StrIndexesMustLieInTheArray) {
    load("str.csv", "0,first\n19999,last\n");
    EXPECT_EQ(store.strings(kStr)[0], "first");
    EXPECT_EQ(store.strings(kStr)[19999], "last");
    EXPECT_THROW(load("str.csv", "1,kept\n20000,x\n2,no\n"), ArrayError);
    EXPECT_EQ(store.strings(kStr)[1], "kept");
    EXPECT_EQ(store.strings(kStr)[2], "");
    EXPECT_THROW(load("str.csv", "-1,x\n"), ArrayError);
    EXPECT_THROW(load("str.csv", "3\n"), ArrayError);
}

TEST(CsvLoaderFolder, ReadsRecognisedFilesInListingOrder) {
    test::TempDir game;
    game.write("csv/gamebase.csv", sjis("タイトル,Folder\n"));
    game.write("csv/chara03.csv", sjis("名前,zero-three\n基礎,1,5\n"));
    game.write("csv/chara3.csv", sjis("名前,three\n"));
    game.write("csv/notes.txt", "garbage\n");
    game.write("csv/readme.csv", "garbage\n");
    VariableStore store;
    GameBase base;
    StringConsoleIo io;
    Console console(io);
    EXPECT_TRUE(loadCsvFiles(store, base, console, game.path() + "/csv"));
    EXPECT_EQ(base.title, "Folder");
    EXPECT_EQ(store.templateAt(3).name, "three");  // chara3.csv sorts after chara03.csv
    EXPECT_EQ(store.templateAt(3).get(kBase, 1), 0);
    EXPECT_TRUE(io.output.empty());
}

TEST(CsvLoaderFolder, MissingFolderLoadsNothingAndSucceeds) {
    test::TempDir game;
    VariableStore store;
    GameBase base;
    StringConsoleIo io;
    Console console(io);
    EXPECT_TRUE(loadCsvFiles(store, base, console, game.path() + "/csv"));
    EXPECT_EQ(base.initialCharacter, -1);
    EXPECT_EQ(store.templateAt(0).no, -1);
    EXPECT_TRUE(io.output.empty());
}

TEST(CsvLoaderFolder, UnopenableFileEndsLoadingWithItsListedName) {
    test::TempDir game;
    game.write("csv/item.csv", "1,a,2\n");
    game.write("csv/str.csv", "1,after\n");
    // Dangling links are listed but cannot be opened; an unrecognised one is
    // never opened at all.
    ASSERT_EQ(symlink("missing", (game.path() + "/csv/Readme.csv").c_str()), 0);
    ASSERT_EQ(symlink("missing", (game.path() + "/csv/Palam.CSV").c_str()), 0);
    VariableStore store;
    GameBase base;
    StringConsoleIo io;
    Console console(io);
    EXPECT_FALSE(loadCsvFiles(store, base, console, game.path() + "/csv"));
    EXPECT_EQ(io.output, "Palam.CSV" + std::string(msg::OPEN_FAILED) + "\n");
    EXPECT_EQ(store.nameTable(kItemName)[1], "");  // "Palam.CSV" sorts first
    EXPECT_EQ(store.strings(kStr)[1], "");
}

}  // namespace
}  // namespace kiro
