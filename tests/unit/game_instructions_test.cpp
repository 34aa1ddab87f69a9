// The game instructions: the listings' layout and their array errors,
// the item listings, UPCHECK, and adding and removing characters.
#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "messages.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/runtime.h"
#include "script/script_program.h"
#include "support/sjis.h"
#include "support/test_runtime.h"

namespace kiro {
namespace {

using test::sjis;

// A runtime over an in-memory console with `characters` characters named
// C0, C1, ...
class Harness : public test::InstructionRuntime {
public:
    explicit Harness(int characters = 1, std::string input = {}) : InstructionRuntime(std::move(input)) {
        addCharacters(characters);
    }

    void name(StringCode table, std::int32_t number, std::string_view utf8) {
        store.nameTable(table)[number] = sjis(utf8);
    }
};

TEST(GameListings, AllZeroWritesNothingAtAll) {
    Harness h;
    h.name(kAblName, 0, "会話");
    h.name(kTalentName, 2, "臆病");
    h.name(kMarkName, 1, "恐怖刻印");
    h.name(kExpName, 0, "学習経験");
    h.run(kPRINT_ABL, "0");
    h.run(kPRINT_TALENT, "0");
    h.run(kPRINT_MARK, "0");
    h.run(kPRINT_EXP, "0");
    EXPECT_EQ(h.output(), "");
}

TEST(GameListings, EntriesOfEachListing) {
    Harness h(2);
    h.name(kAblName, 1, "技巧");
    h.name(kAblName, 2, "体力");
    h.name(kAblName, 3, "知識");
    h.store.characterAt(1).array(kAbl)[1] = 3;
    h.store.characterAt(1).array(kAbl)[3] = -1;
    h.run(kPRINT_ABL, "0+1");

    h.name(kTalentName, 0, "素直");
    h.name(kTalentName, 150, "気丈");
    h.store.characterAt(1).array(kTalent)[0] = 1;
    h.store.characterAt(1).array(kTalent)[150] = 5;
    h.run(kPRINT_TALENT, "1");

    h.name(kExpName, 2, "運動経験");
    h.name(kExpName, 4, "会話経験");
    h.store.characterAt(1).array(kExp)[2] = 12;
    h.store.characterAt(1).array(kExp)[4] = 1;
    h.run(kPRINT_EXP, "1");

    h.name(kMarkName, 0, "反抗刻印");
    h.store.characterAt(1).array(kMark)[0] = 2;
    h.run(kPRINT_MARK, "1");
    EXPECT_EQ(h.output(), sjis("技巧LV3 知識LV-1\n[素直][気丈]\n運動経験12 会話経験1\n反抗刻印LV2\n"));
}

TEST(GameListings, NamesOutsideTheArrayAreArrayErrorsAfterWhatWasWritten) {
    Harness h;
    h.name(kAblName, 1, "技巧");
    h.name(kAblName, 100, "無効");
    h.store.characterAt(0).array(kAbl)[1] = 2;
    EXPECT_THROW(h.run(kPRINT_ABL, "0"), ArrayError);
    EXPECT_EQ(h.output(), sjis("技巧LV2"));

    Harness negative;
    negative.name(kExpName, -1, "負");
    EXPECT_THROW(negative.run(kPRINT_EXP, "0"), ArrayError);
    negative.name(kPalamName, -3, "負");
    EXPECT_THROW(negative.run(kPRINT_PALAM, "0"), ArrayError);
    EXPECT_EQ(negative.output(), "");
}

TEST(GameListings, PositionOutsideTheListWritesNothing) {
    Harness h(1);
    h.name(kAblName, 0, "会話");
    h.name(kPalamName, 0, "快Ｃ");
    EXPECT_THROW(h.run(kPRINT_ABL, "1"), ArrayError);
    EXPECT_THROW(h.run(kPRINT_PALAM, "0-1"), ArrayError);
    EXPECT_THROW(h.run(kPRINT_TALENT, "5"), ArrayError);
    EXPECT_EQ(h.output(), "");
}

class PalamListing : public ::testing::Test {
protected:
    void SetUp() override {
        const std::int32_t thresholds[] = {0, 100, 500, 3000, 10000};
        for (int i = 1; i <= 4; ++i) h.store.at(kPalamLv, i) = thresholds[i];
    }
    Harness h;
};

TEST_F(PalamListing, ThreeCellsToALineWithLevelBars) {
    const char* names[] = {"快Ｃ", "快Ｖ", "快Ａ", "潤滑", "恭順"};
    const std::int32_t values[] = {50, 250, 1500, 5000, 20000};
    for (int i = 0; i < 5; ++i) {
        h.name(kPalamName, i, names[i]);
        h.store.characterAt(0).array(kPalam)[i] = values[i];
    }
    h.name(kPalamName, 100, "範囲外");  // passed over, no error
    h.run(kPRINT_PALAM, "0");
    EXPECT_EQ(h.output(), sjis("   快Ｃ[-----.....]    50   快Ｖ[=====.....]   250   快Ａ[>>>>>.....]  1500\n"
                               "   潤滑[*****.....]  5000   恭順[**********] 20000\n"));
}

TEST_F(PalamListing, LongNamesAndValuesAreWrittenWhole) {
    h.name(kPalamName, 7, "とても長い名前");
    h.store.characterAt(0).array(kPalam)[7] = 1234567;
    h.run(kPRINT_PALAM, "0");
    EXPECT_EQ(h.output(), sjis(" とても長い名前[**********]1234567\n"));
}

TEST_F(PalamListing, ZeroThresholdIsADivisionErrorAfterTheOpeningBracket) {
    h.store.at(kPalamLv, 1) = 0;
    h.name(kPalamName, 0, "快Ｃ");
    h.store.characterAt(0).array(kPalam)[0] = -5;
    try {
        h.run(kPRINT_PALAM, "0");
        FAIL() << "no error";
    } catch (const CExecError& error) {
        EXPECT_EQ(error.code, error_code::DivisionByZero);
    }
    EXPECT_EQ(h.output(), sjis("   快Ｃ["));
}

TEST(GameItems, OwnedItems) {
    Harness h;
    h.run(kPRINT_ITEM);
    h.name(kItemName, 0, "ロープ");
    h.name(kItemName, 3, "薬草");
    h.name(kItemName, 5, "杖");
    h.run(kPRINT_ITEM);
    h.store.at(kItem, 3) = 2;
    h.store.at(kItem, 5) = -1;
    h.run(kPRINT_ITEM);
    std::string owned(msg::ITEMS_OWNED), none(msg::ITEMS_NONE);
    EXPECT_EQ(h.output(), owned + none + "\n" + owned + none + "\n" + owned + sjis("薬草(2) 杖(-1) \n"));
}

TEST(GameItems, ShopCellsArePaddedToTwentySixBytes) {
    Harness h;
    h.name(kItemName, 3, "薬草");  // 4 bytes
    h.name(kItemName, 12, "ab");
    h.name(kItemName, 20, "x");
    h.name(kItemName, 21, "y");
    h.name(kItemName, 40, "not on sale");
    h.store.itemPrices[3] = 500;
    h.store.itemPrices[12] = -7;  // counts as one digit
    h.store.itemPrices[21] = 1234567;
    for (int n : {3, 12, 20, 21}) h.store.at(kItemSales, n) = 1;
    h.run(kPRINT_SHOPITEM);
    EXPECT_EQ(h.output(), sjis("[3] 薬草($500)") + std::string(12, ' ') + "[12] ab($-7)" + std::string(15, ' ') +
                              "[20] x($0)\n[21] y($1234567)" + std::string(10, ' ') + "\n");
}

TEST(GameItems, ShopItemOutsideTheSalesArrayIsAnArrayError) {
    Harness h;
    h.name(kItemName, 5000, "x");
    EXPECT_THROW(h.run(kPRINT_SHOPITEM), ArrayError);
}

TEST(GameUpCheck, AppliesShowsAndClearsTheChanges) {
    Harness h(2);
    h.store.at(kTarget) = 1;
    h.name(kPalamName, 5, "快Ｃ");
    CharacterRecord& target = h.store.characterAt(1);
    target.array(kPalam)[5] = 120;
    h.store.at(kUp, 5) = 300;
    target.array(kPalam)[7] = 50;
    h.store.at(kUp, 7) = 10;
    h.store.at(kDown, 7) = 25;
    h.store.at(kUp, 9) = -4;  // neither positive: passed over, not applied
    h.run(kUPCHECK);
    EXPECT_EQ(h.output(), sjis("快Ｃ 120+300=420\n 50+10-25=35\n"));
    EXPECT_EQ(target.array(kPalam)[5], 420);
    EXPECT_EQ(target.array(kPalam)[7], 35);
    EXPECT_EQ(target.array(kPalam)[9], 0);
    EXPECT_EQ(h.store.at(kUp, 5), 0);
    EXPECT_EQ(h.store.at(kDown, 7), 0);
    EXPECT_EQ(h.store.at(kUp, 9), -4);
    EXPECT_EQ(h.store.nameTable(kPalamName).size(), 1u) << "looking a name up must not add one";
    EXPECT_EQ(h.store.characterAt(0).array(kPalam)[5], 0);
}

TEST(GameUpCheck, NegativeChangesApplyWhenTheOtherIsPositive) {
    Harness h;
    h.store.at(kUp, 0) = 5;
    h.store.at(kDown, 0) = -3;
    h.run(kUPCHECK);
    EXPECT_EQ(h.output(), " 0+5=8\n");
}

TEST(GameUpCheck, TargetOutsideTheListIsAnArrayError) {
    Harness h(1);
    h.store.at(kTarget) = 1;
    h.store.at(kUp, 0) = 5;
    EXPECT_THROW(h.run(kUPCHECK), ArrayError);
    EXPECT_EQ(h.store.at(kUp, 0), 5);
}

class CharacterTemplates : public ::testing::Test {
protected:
    CharacterTemplates() : h(0, "\nnext\n") {
        setTemplate(1, 7, "seven", 0);
        setTemplate(2, 8, "eight", 0);
        setTemplate(3, 8, "special eight", 1);
        setTemplate(4, 8, "second special", 1);
    }
    void setTemplate(int slot, std::int32_t no, std::string name, std::int32_t kind) {
        CharacterRecord& record = h.store.templateAt(slot);
        record.no = no;
        record.name = std::move(name);
        record.array(kCflag)[0] = kind;
    }
    Harness h;
};

TEST_F(CharacterTemplates, AddCharaCopiesTheTemplateEachTime) {
    h.run(kADDCHARA, "7");
    h.run(kADDCHARA, "3+4");
    ASSERT_EQ(h.store.characterCount(), 2);
    h.store.characterAt(0).array(kAbl)[0] = 9;
    EXPECT_EQ(h.store.characterAt(1).array(kAbl)[0], 0);
    EXPECT_EQ(h.store.templateAt(1).array(kAbl)[0], 0);
    EXPECT_EQ(h.store.characterAt(1).name, "seven");
    EXPECT_EQ(h.output(), "");
}

TEST_F(CharacterTemplates, OrdinaryAndSpecialTemplatesAreKeptApart) {
    h.run(kADDCHARA, "8");
    h.run(kADDSPCHARA, "8");
    ASSERT_EQ(h.store.characterCount(), 2);
    EXPECT_EQ(h.store.characterAt(0).name, "eight");
    EXPECT_EQ(h.store.characterAt(1).name, "special eight");
}

TEST_F(CharacterTemplates, MissingTemplateSaysSoAndWaits) {
    h.run(kADDCHARA, "999");
    h.run(kADDSPCHARA, "7");
    EXPECT_EQ(h.store.characterCount(), 0);
    std::string message(msg::CHARACTER_NOT_FOUND);
    EXPECT_EQ(h.output(), message + "\n" + message + "\n");
    EXPECT_EQ(h.console.readWord(), "") << "each message waits for one line";
}

TEST(GameCharacters, DelCharaMovesTheLaterCharactersDown) {
    Harness h(3);
    h.store.at(kTarget) = 2;
    h.run(kDELCHARA, "0");
    ASSERT_EQ(h.store.characterCount(), 2);
    EXPECT_EQ(h.store.characterAt(0).name, "C1");
    EXPECT_EQ(h.store.characterAt(1).name, "C2");
    EXPECT_EQ(h.store.at(kTarget), 2);
}

TEST(GameCharacters, DelCharaOutsideTheListRemovesNothing) {
    Harness h(3);
    EXPECT_THROW(h.run(kDELCHARA, "3"), ArrayError);
    EXPECT_THROW(h.run(kDELCHARA, "0-1"), ArrayError);
    EXPECT_EQ(h.store.characterCount(), 3);
}

}  // namespace
}  // namespace kiro
