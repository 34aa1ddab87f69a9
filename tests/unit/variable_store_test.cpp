// The variable store, character records and the assignment operators:
// fixed sizes, name lookups, bounds, wrap-around and the RAND generator.
#include <gtest/gtest.h>

#include <stdexcept>

#include "data/variable_store.h"
#include "script/errors.h"
#include "script/operators.h"

namespace kiro {
namespace {

std::int32_t divisionErrorCode(AssignKind kind, std::int32_t old, std::int32_t value) {
    try {
        applyAssign(kind, old, value);
    } catch (const CExecError& e) {
        return e.code;
    }
    return -1;
}

TEST(VariableStoreFresh, ArraysHaveTheirFixedSizes) {
    VariableStore store;
    EXPECT_EQ(store.global(kFlag).size(), 10000u);
    EXPECT_EQ(store.global(kFlag)[9999], 0);
    EXPECT_EQ(store.global(kDay).size(), 1000u);
    EXPECT_EQ(store.global(kLetterZ).size(), 1000u);
    EXPECT_EQ(store.global(48).size(), 1000u);  // unnamed codes still have storage
    EXPECT_EQ(store.global(79).size(), 1000u);
    EXPECT_TRUE(store.global(19).empty());
    EXPECT_TRUE(store.global(0).empty());
    ASSERT_EQ(store.strings(kStr).size(), 20000u);
    EXPECT_EQ(store.strings(kStr)[19999], "");
    EXPECT_EQ(store.strings(kResults).size(), 100u);
    EXPECT_EQ(store.strings(kSaveStr).size(), 100u);
    EXPECT_TRUE(store.strings(kName).empty());
    EXPECT_EQ(store.characterCount(), 0);
    ASSERT_EQ(store.templates.size(), 100u);
    EXPECT_EQ(store.templateAt(99).no, -1);  // matches no character number
    EXPECT_TRUE(store.nameTable(kItemName).empty());
}

TEST(VariableStoreNames, IntegerNamesMatchExactly) {
    EXPECT_EQ(VariableStore::lookupIntVariable("BASE"), 0);
    EXPECT_EQ(VariableStore::lookupIntVariable("NOWEX"), 16);
    EXPECT_EQ(VariableStore::lookupIntVariable("NO"), 18);
    EXPECT_EQ(VariableStore::lookupIntVariable("NOITEM"), 35);
    EXPECT_EQ(VariableStore::lookupIntVariable("EX"), 8);
    EXPECT_EQ(VariableStore::lookupIntVariable("EXP"), 4);
    EXPECT_EQ(VariableStore::lookupIntVariable("EXPLV"), 27);
    EXPECT_EQ(VariableStore::lookupIntVariable("FLAG"), 23);
    EXPECT_EQ(VariableStore::lookupIntVariable("CHARANUM"), 41);
    EXPECT_EQ(VariableStore::lookupIntVariable("BOUGHT"), 47);
    EXPECT_EQ(VariableStore::lookupIntVariable("A"), 50);
    EXPECT_EQ(VariableStore::lookupIntVariable("Z"), 75);
    for (std::string_view miss : {"", "a", "flag", "Flag", "FLAGS", "FLA", "AA", "[", "ABLNAME", "NAME"})
        EXPECT_FALSE(VariableStore::lookupIntVariable(miss)) << miss;
}

TEST(VariableStoreNames, StringNamesMatchExactly) {
    EXPECT_EQ(VariableStore::lookupStringVariable("NAME"), 0);
    EXPECT_EQ(VariableStore::lookupStringVariable("CALLNAME"), 1);
    EXPECT_EQ(VariableStore::lookupStringVariable("TALENTNAME"), 3);
    EXPECT_EQ(VariableStore::lookupStringVariable("ITEMNAME"), 7);
    EXPECT_EQ(VariableStore::lookupStringVariable("STR"), 10);
    EXPECT_EQ(VariableStore::lookupStringVariable("SAVESTR"), 12);
    for (std::string_view miss : {"", "name", "NAMES", "ST", "FLAG", "RESULT"})
        EXPECT_FALSE(VariableStore::lookupStringVariable(miss)) << miss;
}

TEST(VariableStoreCharacters, RemovingMovesLaterCharactersDown) {
    VariableStore store;
    for (int no = 10; no < 13; ++no) {
        CharacterRecord c;
        c.no = no;
        store.addCharacter(c);
    }
    store.removeCharacter(0);
    ASSERT_EQ(store.characterCount(), 2);
    EXPECT_EQ(store.characterAt(0).no, 11);
    EXPECT_EQ(store.characterAt(1).no, 12);
}

TEST(VariableStoreCharacters, BadPositionsThrowAndChangeNothing) {
    VariableStore store;
    store.addCharacter(CharacterRecord());
    EXPECT_THROW(store.characterAt(1), ArrayError);
    EXPECT_THROW(store.characterAt(-1), ArrayError);
    EXPECT_THROW(store.removeCharacter(1), ArrayError);
    EXPECT_THROW(store.removeCharacter(-1), ArrayError);
    EXPECT_EQ(store.characterCount(), 1);
    EXPECT_THROW(store.templateAt(100), ArrayError);
    EXPECT_THROW(store.templateAt(-1), ArrayError);
}

TEST(VariableStoreCharacters, AddedCharacterIsACopyOfTheTemplate) {
    VariableStore store;
    store.templateAt(3).name = "x";
    store.addCharacter(store.templateAt(3));
    store.characterAt(0).name = "y";
    store.characterAt(0).at(kAbl, 0) = 9;
    EXPECT_EQ(store.templateAt(3).name, "x");
    EXPECT_EQ(store.templateAt(3).get(kAbl, 0), 0);
}

TEST(VariableStoreCharacters, TemplateSearchSeesSlotsNeverAskedForAsBlank) {
    VariableStore store;
    store.templateAt(5).no = 7;
    store.templateAt(9).no = 7;
    store.templateAt(9).at(kCflag, 0) = 1;
    EXPECT_EQ(store.findTemplate(7, 0), &store.templateAt(5));
    EXPECT_EQ(store.findTemplate(7, 1), &store.templateAt(9));
    EXPECT_EQ(store.findTemplate(8, 0), nullptr);
    const CharacterRecord* blank = store.findTemplate(-1, 0);  // slot 0, blank
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->get(kAbl, 0), 0);
    EXPECT_EQ(store.findTemplate(-1, 1), nullptr);
}

TEST(VariableStoreRandom, SequenceFromSeedOne) {
    VariableStore store;  // the state starts at 1
    EXPECT_EQ(store.randomBelow(32768), 41);
    EXPECT_EQ(store.randomBelow(32768), 18467);
    EXPECT_EQ(store.randomBelow(32768), 6334);
    EXPECT_EQ(store.randomBelow(100), 26500 % 100);
    store.seedRandom(1);
    EXPECT_EQ(store.randomBelow(-10), 1);         // 41 % -10 keeps the sign of 41
    EXPECT_EQ(store.randomBelow(INT32_MIN), 18467);  // no overflow, r itself
}

TEST(VariableStoreRandom, ZeroAndOneAreAlwaysZero) {
    VariableStore store;
    EXPECT_EQ(store.randomBelow(0), 0);
    EXPECT_EQ(store.randomState, 1u);  // RAND:0 draws nothing
    for (int i = 0; i < 50; ++i) EXPECT_EQ(store.randomBelow(1), 0);
    for (int i = 0; i < 200; ++i) {
        std::int32_t r = store.randomBelow(7);
        EXPECT_GE(r, 0);
        EXPECT_LT(r, 7);
    }
}

TEST(CharacterRecordArrays, LargestIndexesAndOneBeyond) {
    CharacterRecord c;
    struct Limit {
        std::int32_t code, size;
    };
    for (Limit l : {Limit{kTalent, 1000}, Limit{kCflag, 1000}, Limit{kJuel, 200}, Limit{kGotJuel, 200},
                    Limit{kBase, 100}, Limit{kMaxBase, 100}, Limit{kAbl, 100}, Limit{kNowEx, 100},
                    Limit{kRelation, 100}, Limit{kStain, 100}}) {
        c.at(l.code, l.size - 1) = 7;
        EXPECT_EQ(c.get(l.code, l.size - 1), 7) << l.code;
        EXPECT_THROW(c.get(l.code, l.size), ArrayError) << l.code;
        EXPECT_THROW(c.at(l.code, l.size), ArrayError) << l.code;
        EXPECT_THROW(c.get(l.code, -1), ArrayError) << l.code;
        EXPECT_EQ(CharacterRecord::arraySize(l.code), static_cast<std::size_t>(l.size));
    }
}

// No name has an unknown code, so asking for one is the engine's fault.
TEST(CharacterRecordArrays, ScalarsIgnoreTheIndexAndUnknownCodesThrow) {
    CharacterRecord c;
    EXPECT_EQ(c.get(kNo, 0), -1);
    c.at(kNo, 12345) = 4;
    c.at(kIsAssi, -7) = 1;
    EXPECT_EQ(c.get(kNo, -1), 4);
    EXPECT_EQ(c.get(kIsAssi, 999999), 1);
    for (std::int32_t code : {19, 20, -1, 80, INT32_MIN}) {
        EXPECT_THROW(c.get(code, 0), std::logic_error) << code;
        EXPECT_THROW(c.at(code, 0), std::logic_error) << code;
    }
}

TEST(CharacterRecordNames, CallNameFallsBackToACopyOfName) {
    CharacterRecord c;
    c.setName(0, "Alice");
    EXPECT_EQ(c.getName(1), "Alice");
    EXPECT_EQ(c.callName, "Alice");  // the copy stays
    c.setName(0, "Bob");
    EXPECT_EQ(c.getName(1), "Alice");
    c.setName(1, "Al");
    EXPECT_EQ(c.getName(1), "Al");
    EXPECT_EQ(c.getName(0), "Bob");
    EXPECT_THROW(c.getName(2), std::logic_error);
    EXPECT_THROW(c.setName(-1, "x"), std::logic_error);
}

TEST(CharacterRecordResets, TrainingResetClearsItsArraysAndSetsStains) {
    CharacterRecord c;
    for (std::int32_t code = 0; code < kCharacterArrayCount; ++code) c.at(code, 5) = 3;
    c.resetForTraining();
    for (std::int32_t code : {kPalam, kSource, kEx, kTequip, kGotJuel}) EXPECT_EQ(c.get(code, 5), 0) << code;
    EXPECT_EQ(c.get(kStain, 5), 0);
    EXPECT_EQ(c.get(kStain, 2), 2);
    EXPECT_EQ(c.get(kStain, 3), 1);
    EXPECT_EQ(c.get(kStain, 4), 8);
    for (std::int32_t code : {kBase, kAbl, kTalent, kNowEx, kJuel, kCflag}) EXPECT_EQ(c.get(code, 5), 3) << code;
    c.clearNowEx();
    c.clearSource();
    EXPECT_EQ(c.get(kNowEx, 5), 0);
    EXPECT_EQ(c.get(kBase, 5), 3);
}

TEST(ApplyAssign, ArithmeticWrapsInThirtyTwoBits) {
    EXPECT_EQ(applyAssign(kAssign, 5, -9), -9);
    EXPECT_EQ(applyAssign(kAdd, INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(applyAssign(kSubtract, INT32_MIN, 1), INT32_MAX);
    EXPECT_EQ(applyAssign(kMultiply, 65536, 65536), 0);
    EXPECT_EQ(applyAssign(kMultiply, INT32_MIN, -1), INT32_MIN);
    EXPECT_EQ(applyAssign(kMultiply, 100000, -100000), static_cast<std::int32_t>(-1410065408));
    EXPECT_EQ(applyAssign(kBitAnd, 12, 10), 8);
    EXPECT_EQ(applyAssign(kBitOr, 12, 3), 15);
}

TEST(ApplyAssign, DivisionTruncatesAndRemainderKeepsTheOldSign) {
    EXPECT_EQ(applyAssign(kDivide, -7, 2), -3);
    EXPECT_EQ(applyAssign(kRemainder, -7, 2), -1);
    EXPECT_EQ(applyAssign(kRemainder, 7, -2), 1);
    EXPECT_EQ(applyAssign(kDivide, INT32_MIN, -1), INT32_MIN);
    EXPECT_EQ(applyAssign(kRemainder, INT32_MIN, -1), 0);
    EXPECT_EQ(divisionErrorCode(kDivide, 5, 0), error_code::DivisionByZero);
    EXPECT_EQ(divisionErrorCode(kRemainder, 5, 0), error_code::DivisionByZero);
    for (int kind : {-1, 8}) EXPECT_THROW(applyAssign(static_cast<AssignKind>(kind), 1, 1), std::logic_error);
}

}  // namespace
}  // namespace kiro
