// The save file format: what is written, what reads back, and that no file
// content can crash the reader or half-load a game.
#include "save/save_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "data/game_base.h"
#include "data/variable_store.h"
#include "support/sjis.h"
#include "support/test_game.h"

namespace kiro {
namespace {

using test::sjis;

// The names in `folder`, sorted.
std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

// Lines for a character block whose every array is empty.
std::string emptyCharacter(std::string_view name, int no) {
    std::string s = std::string(name) + "\r\n\r\n0\r\n" + std::to_string(no) + "\r\n";
    for (int i = 0; i < kCharacterArrayCount; ++i) s += "__FINISHED\r\n";
    return s;
}

std::string emptyGlobals() {
    std::string s;
    for (int i = 0; i < kSavedGlobalCount + 1; ++i) s += "__FINISHED\r\n";  // + SAVESTR
    return s;
}

GameBase gameBase(int code = 5, int version = 1200, int accepted = -1) {
    GameBase b;
    b.gameCode = code;
    b.version = version;
    b.acceptedVersion = accepted;
    return b;
}

// Reads `bytes` into `store` the way the load menu does.
bool load(const std::string& bytes, VariableStore& store) {
    SaveContents contents;
    if (!decodeSave(bytes, store, contents)) return false;
    applySave(contents, store);
    return true;
}

CharacterRecord filledCharacter(int seed) {
    CharacterRecord c;
    c.no = seed;
    c.isAssi = seed % 2;
    c.name = sjis("名前") + std::to_string(seed);
    c.callName = seed % 3 == 0 ? std::string() : sjis("呼び名");
    for (int code = 0; code < kCharacterArrayCount; ++code) {
        auto& a = c.array(code);
        for (std::size_t i = 0; i < a.size(); i += 7 + code) a[i] = static_cast<int>(i * 31 + seed) - 500;
        a.back() = seed + code + 1;  // full arrays are the tricky ones
    }
    return c;
}

// ---- Writing ---------------------------------------------------------------

TEST(SaveFileWrite, HeaderAndArraysCutAfterLastNonZero) {
    VariableStore store;
    store.at(kFlag, 3) = 7;
    std::string bytes = encodeSave(store, gameBase(5, 1200), sjis("説明 "));
    std::vector<std::string> lines = linesOf(bytes);
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[0], "5");
    EXPECT_EQ(lines[1], "1200");
    EXPECT_EQ(lines[2], sjis("説明 "));
    EXPECT_EQ(lines[3], "0");
    // DAY, MONEY, ITEM are empty; FLAG is the fourth global array.
    EXPECT_EQ(lines[4], "__FINISHED");
    EXPECT_EQ(lines[6], "__FINISHED");
    std::vector<std::string> flag(lines.begin() + 7, lines.begin() + 12);
    EXPECT_EQ(flag, (std::vector<std::string>{"0", "0", "0", "7", "__FINISHED"}));
    EXPECT_EQ(lines.size(), 4u + 3u + 5u + 56u + 1u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(SaveFileWrite, CharacterBlockKeepsEmptyCallNameAndNegativeValues) {
    VariableStore store;
    CharacterRecord c;
    c.name = sjis("花子");
    c.no = 3;
    c.array(kCflag)[1] = -2;
    store.addCharacter(c);
    std::vector<std::string> lines = linesOf(encodeSave(store, gameBase(), ""));
    std::vector<std::string> block(lines.begin() + 4, lines.begin() + 8);
    EXPECT_EQ(block, (std::vector<std::string>{sjis("花子"), "", "0", "3"}));
    // CFLAG is the tenth array of the block.
    std::vector<std::string> cflag(lines.begin() + 8 + 9, lines.begin() + 8 + 12);
    EXPECT_EQ(cflag, (std::vector<std::string>{"0", "-2", "__FINISHED"}));
}

// ---- Round trips -----------------------------------------------------------

TEST(SaveFileRoundTrip, EveryStoredVariableComesBack) {
    VariableStore saved;
    for (int i = 0; i < 3; ++i) saved.addCharacter(filledCharacter(i + 1));
    for (int code = kFirstGlobalCode; code < kGlobalSlots; ++code) {
        auto& a = saved.global(code);
        for (std::size_t i = code % 5; i < a.size(); i += 13) a[i] = static_cast<int>(i) * code - 7000;
    }
    saved.global(kDay).back() = 4;       // a full array ...
    saved.at(kMoney) = INT_MIN;          // ... followed by another
    saved.strings(kSaveStr)[0] = sjis("セーブ");
    saved.strings(kSaveStr)[5] = "x";    // empty elements between
    saved.strings(kSaveStr)[99] = "end"; // and a full text array

    VariableStore loaded;
    loaded.strings(kStr)[1] = "kept";
    loaded.nameTable(kAblName)[0] = "kept";
    ASSERT_TRUE(load(encodeSave(saved, gameBase(), "d"), loaded));

    ASSERT_EQ(loaded.characterCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const CharacterRecord& a = saved.characters[i];
        const CharacterRecord& b = loaded.characters[i];
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.callName, a.callName);
        EXPECT_EQ(b.isAssi, a.isAssi);
        EXPECT_EQ(b.no, a.no);
        for (int code = 0; code < kCharacterArrayCount; ++code) EXPECT_EQ(b.array(code), a.array(code)) << code;
    }
    for (int code = kFirstGlobalCode; code < kGlobalSlots; ++code)
        EXPECT_EQ(loaded.global(code), saved.global(code)) << code;
    EXPECT_EQ(loaded.strings(kSaveStr), saved.strings(kSaveStr));
    // What a save does not hold stays as it was.
    EXPECT_EQ(loaded.strings(kStr)[1], "kept");
    EXPECT_EQ(loaded.nameTable(kAblName)[0], "kept");
}

TEST(SaveFileRoundTrip, SaveStrElementReadingFinishedEndsTheArray) {
    VariableStore saved;
    saved.strings(kSaveStr)[0] = "a";
    saved.strings(kSaveStr)[1] = "__FINISHED";
    saved.strings(kSaveStr)[2] = "c";
    VariableStore loaded;
    loaded.strings(kSaveStr)[3] = "old";
    ASSERT_TRUE(load(encodeSave(saved, gameBase(), ""), loaded));
    EXPECT_EQ(loaded.strings(kSaveStr)[0], "a");
    EXPECT_EQ(loaded.strings(kSaveStr)[1], "");
    EXPECT_EQ(loaded.strings(kSaveStr)[2], "");
    EXPECT_EQ(loaded.strings(kSaveStr)[3], "");
}

TEST(SaveFileRoundTrip, LoadReplacesTheWholeCharacterList) {
    VariableStore saved;
    for (int i = 0; i < 3; ++i) saved.addCharacter(filledCharacter(i));
    VariableStore loaded;
    for (int i = 0; i < 5; ++i) loaded.addCharacter(filledCharacter(10 + i));
    ASSERT_TRUE(load(encodeSave(saved, gameBase(), ""), loaded));
    ASSERT_EQ(loaded.characterCount(), 3);
    EXPECT_EQ(loaded.characters[2].no, 2);
}

// ---- Reading files not written by this engine ---------------------------

TEST(SaveFileRead, LineValuesSaturateAndGarbageReadsAsZero) {
    std::string bytes = "5\r\n1200\r\nd\r\n1\r\nN\r\nC\r\n 12abc\r\n99999999999\r\n";
    bytes += "x\r\n-99999999999\r\n+8\r\n__FINISHED\r\n";  // BASE
    for (int i = 1; i < kCharacterArrayCount; ++i) bytes += "__FINISHED\r\n";
    bytes += emptyGlobals();
    VariableStore store;
    ASSERT_TRUE(load(bytes, store));
    const CharacterRecord& c = store.characters.at(0);
    EXPECT_EQ(c.isAssi, 12);
    EXPECT_EQ(c.no, INT_MAX);
    EXPECT_EQ(c.array(kBase)[0], 0);
    EXPECT_EQ(c.array(kBase)[1], INT_MIN);
    EXPECT_EQ(c.array(kBase)[2], 8);
}

TEST(SaveFileRead, BareLineFeedsAndMissingLastLineFeed) {
    std::string bytes = "5\n1200\nd\n0\n";
    for (int i = 0; i < kSavedGlobalCount; ++i) bytes += i == 1 ? "42\n__FINISHED\n" : "__FINISHED\n";
    bytes += "last\n__FINISHED";  // SAVESTR, its end marker without a line end
    VariableStore store;
    ASSERT_TRUE(load(bytes, store));
    EXPECT_EQ(store.at(kMoney), 42);
    EXPECT_EQ(store.strings(kSaveStr)[0], "last");
}

TEST(SaveFileRead, ExtraElementLinesAreIgnoredUpToTheEndMarker) {
    std::string bytes = "5\r\n1200\r\nd\r\n1\r\nN\r\nC\r\n0\r\n1\r\n";
    for (int i = 0; i < 150; ++i) bytes += std::to_string(i + 1) + "\r\n";  // BASE has 100
    bytes += "__FINISHED\r\n3\r\n__FINISHED\r\n";                              // MAXBASE
    for (int i = 2; i < kCharacterArrayCount; ++i) bytes += "__FINISHED\r\n";
    bytes += "9\r\n__FINISHED\r\n";  // DAY
    for (int i = 1; i <= kSavedGlobalCount; ++i) bytes += "__FINISHED\r\n";  // MONEY ... and SAVESTR
    VariableStore store;
    ASSERT_TRUE(load(bytes, store));
    const CharacterRecord& c = store.characters.at(0);
    EXPECT_EQ(c.array(kBase)[99], 100);
    EXPECT_EQ(c.array(kMaxBase)[0], 3);
    EXPECT_EQ(store.at(kDay), 9);
}

// Every cut short of the last end marker is a failed load that changes
// nothing; only its missing CR LF may go.
TEST(SaveFileRead, AnyTruncationIsAFailedLoad) {
    VariableStore saved;
    CharacterRecord c;
    c.name = "N";
    c.no = 4;
    c.array(kAbl)[2] = 6;
    saved.addCharacter(c);
    saved.at(kMoney) = 55;
    saved.strings(kSaveStr)[0] = "s";
    const std::string full = encodeSave(saved, gameBase(), "d");
    VariableStore store;
    store.at(kMoney) = 1;
    for (std::size_t cut = 0; cut + 2 < full.size(); ++cut) {
        ASSERT_FALSE(load(full.substr(0, cut), store)) << cut;
        ASSERT_EQ(store.at(kMoney), 1) << cut;
        ASSERT_EQ(store.characterCount(), 0) << cut;
    }
    ASSERT_TRUE(load(full.substr(0, full.size() - 2), store));  // "__FINISHED" without CR LF
    EXPECT_EQ(store.at(kMoney), 55);
    ASSERT_TRUE(load(full.substr(0, full.size() - 1), store));  // without LF
    ASSERT_TRUE(load(full, store));
    EXPECT_EQ(store.at(kMoney), 55);
    EXPECT_EQ(store.characters.at(0).array(kAbl)[2], 6);
}

TEST(SaveFileRead, UnreadableCharacterCountsRefuseTheFile) {
    for (const char* count : {"10001", "-1", "99999999999"}) {
        SaveContents contents;
        VariableStore store;
        EXPECT_FALSE(decodeSave(std::string("5\r\n1200\r\nd\r\n") + count + "\r\n", store, contents)) << count;
    }
    std::string two = "5\r\n1200\r\nd\r\n2\r\n" + emptyCharacter("a", 1) + emptyCharacter("b", 2) + emptyGlobals();
    VariableStore store;
    ASSERT_TRUE(load(two, store));
    EXPECT_EQ(store.characterCount(), 2);
    EXPECT_EQ(store.characters[1].name, "b");
}

// ---- Slot headers and versions ---------------------------------------------

TEST(SaveSlotHeader, ReadsTheFirstThreeLines) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    SlotHeader h;
    EXPECT_FALSE(readSlotHeader("save00.sav", h));
    dir.write("save01.sav", " 5x\n 1200abc\r\n" + sjis("説明") + "\r\nmore\r\n");
    ASSERT_TRUE(readSlotHeader("save01.sav", h));
    EXPECT_EQ(h.gameCode, 5);
    EXPECT_EQ(h.version, 1200);
    EXPECT_EQ(h.description, sjis("説明"));
    dir.write("save02.sav", "7");
    ASSERT_TRUE(readSlotHeader("save02.sav", h));
    EXPECT_EQ(h.gameCode, 7);
    EXPECT_EQ(h.version, 0);
    EXPECT_EQ(h.description, "");
    dir.write("save03.sav/inner", "x");  // a folder in the slot's place
    EXPECT_FALSE(readSlotHeader("save03.sav", h));
    EXPECT_EQ(slotFileName(3), "save03.sav");
    EXPECT_EQ(slotFileName(19), "save19.sav");
}

TEST(SaveSlotHeader, VersionAcceptance) {
    GameBase lenient = gameBase(5, 1200, 1000);
    EXPECT_TRUE(versionAccepted(lenient, 1200));
    EXPECT_TRUE(versionAccepted(lenient, 1100));
    EXPECT_TRUE(versionAccepted(lenient, 1000));
    EXPECT_TRUE(versionAccepted(lenient, 1300));
    EXPECT_FALSE(versionAccepted(lenient, 999));
    EXPECT_FALSE(versionAccepted(lenient, 900));
    GameBase strict = gameBase(5, 1200, -1);
    EXPECT_TRUE(versionAccepted(strict, 1200));
    EXPECT_FALSE(versionAccepted(strict, 1100));
    EXPECT_FALSE(versionAccepted(strict, 1300));
}

// ---- Replacing a slot file -------------------------------------------------

TEST(SaveFileReplace, WritesWholeFileAndLeavesNoTemporary) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    dir.write("save04.sav", "old");
    EXPECT_TRUE(slotWritable("save04.sav"));
    ASSERT_TRUE(replaceFile("save04.sav", "new\r\n"));
    EXPECT_EQ(dir.read("save04.sav"), "new\r\n");
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"save04.sav"}));
    dir.write("save05.sav.tmp.4242.7", "stale");  // left by a killed save
    ASSERT_TRUE(replaceFile("save05.sav", "x"));
    EXPECT_EQ(dir.read("save05.sav"), "x");
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"save04.sav", "save05.sav"}));
}

TEST(SaveFileReplace, FailureKeepsTheOldFile) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    dir.write("save06.sav/inner", "x");
    EXPECT_FALSE(slotWritable("save06.sav"));
    EXPECT_FALSE(replaceFile("save06.sav", "new"));
    EXPECT_EQ(dir.read("save06.sav/inner"), "x");
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"save06.sav"}));

    // The temporary cannot be created in a folder that is gone.
    EXPECT_FALSE(replaceFile("gone/save07.sav", "new"));
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"save06.sav"}));
}

}  // namespace
}  // namespace kiro
