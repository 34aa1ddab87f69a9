// The shop, training and ability-up phase steps, driven directly with the
// number the game loop would have read.
#include "app/phases.h"

#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "support/sjis.h"

namespace kiro {
namespace {

using test::sjis;
using test::utf8;

struct PhaseGame {
    explicit PhaseGame(const std::string& script = "") : console(io), rt(console, store, program, base) {
        if (!script.empty()) loadScriptText(program, console, "main.kst", sjis(script));
        console.flush();
        io.output.clear();
        store.at(kNextCom) = -1;
    }
    std::string output() {
        console.flush();
        std::string out = utf8(io.output);
        io.output.clear();
        return out;
    }
    void item(std::int32_t n, std::int32_t price, bool onSale = true) {
        store.nameTable(kItemName)[n] = "item";
        store.itemPrices[n] = price;
        store.at(kItemSales, n) = onSale ? 1 : 0;
    }

    StringConsoleIo io;
    Console console;
    VariableStore store;
    ScriptProgram program;
    GameBase base;
    Runtime rt;
};

// ---- Shop ------------------------------------------------------------------

TEST(ShopPhase, BuyingNeedsTheFullPrice) {
    PhaseGame g;
    g.item(3, 500);
    g.store.at(kMoney) = 499;
    shopChoiceStep(g.rt, 3);
    EXPECT_EQ(g.output(), "お金が足りません。\n");
    EXPECT_EQ(g.store.at(kMoney), 499);
    EXPECT_EQ(g.store.at(kItem, 3), 0);
    EXPECT_EQ(g.rt.game.event, GameEvent::None);

    g.store.at(kMoney) = 500;
    g.store.at(kItem, 3) = 2;
    shopChoiceStep(g.rt, 3);
    EXPECT_EQ(g.output(), "");
    EXPECT_EQ(g.store.at(kMoney), 0);
    EXPECT_EQ(g.store.at(kItem, 3), 3);
    EXPECT_EQ(g.store.at(kBought), 3);
    EXPECT_EQ(g.rt.game.event, GameEvent::Buy);
}

TEST(ShopPhase, UndefinedOrWithdrawnItemsAreNotSold) {
    PhaseGame g;
    g.store.at(kMoney) = 1000;
    g.store.at(kItemSales, 4) = 1;  // on sale, but item.csv has no item 4
    g.item(5, 10, false);
    shopChoiceStep(g.rt, 4);
    shopChoiceStep(g.rt, 5);
    EXPECT_EQ(g.output(), "売っていません。\n売っていません。\n");
    EXPECT_EQ(g.store.at(kMoney), 1000);
    EXPECT_EQ(g.rt.game.event, GameEvent::None);
}

TEST(ShopPhase, FreeItemIsStillAPurchase) {
    PhaseGame g;
    g.item(0, 0);
    shopChoiceStep(g.rt, 0);
    EXPECT_EQ(g.store.at(kItem, 0), 1);
    EXPECT_EQ(g.rt.game.event, GameEvent::Buy);
}

TEST(ShopPhase, OtherNumbersGoToUserShop) {
    PhaseGame g("@SHOW_SHOP\nPRINTL shop\n@USERSHOP\nPRINTFORML u{RESULT}\n");
    g.item(99, 0);
    shopDisplayStep(g.rt);
    shopChoiceStep(g.rt, 100);
    shopChoiceStep(g.rt, -1);
    EXPECT_EQ(g.output(), "shop\nu100\nu-1\n");
    EXPECT_EQ(g.store.at(kItem, 99), 0);

    PhaseGame bare;  // neither function exists: nothing runs, nothing fails
    shopDisplayStep(bare.rt);
    shopChoiceStep(bare.rt, 150);
    EXPECT_EQ(bare.store.at(kResult), 150);
    EXPECT_EQ(bare.output(), "");
}

// ---- Training ----------------------------------------------------------------

TEST(TrainPhase, PlayerTypesPositionsNotCommandNumbers) {
    PhaseGame g("@USERCOM\nPRINTFORML u{RESULT}\nRETURN 0\n");
    g.store.trainNames = {{0, "A"}, {1, "B"}, {5, "C"}};
    commandDisplayStep(g.rt);
    EXPECT_EQ(g.output(), "                   A[  0]                   B[  1]                   C[  2]\n");
    EXPECT_TRUE(commandChoiceStep(g.rt, 2));
    EXPECT_EQ(g.store.at(kSelectCom), 5);
    EXPECT_EQ(g.rt.game.event, GameEvent::Command);
    EXPECT_EQ(g.rt.game.phase, GamePhase::AfterCommand);

    g.rt.game.event = GameEvent::None;
    g.rt.game.phase = GamePhase::Train;
    EXPECT_FALSE(commandChoiceStep(g.rt, 5));
    EXPECT_EQ(g.output(), "u5\n");
    EXPECT_EQ(g.store.at(kSelectCom), 5);
    EXPECT_EQ(g.rt.game.phase, GamePhase::Train);
}

TEST(TrainPhase, HiddenCommandKeepsItsPosition) {
    PhaseGame g("@COM_ABLE1\nRETURN 0\n@COM_ABLE2\nRETURN 1\n@USERCOM\nPRINTFORML u{RESULT}\nRETURN 1\n");
    g.store.trainNames = {{0, "A"}, {1, "B"}, {2, "C"}};
    commandDisplayStep(g.rt);
    EXPECT_EQ(g.output(), "                   A[  0]                   C[  2]\n");
    EXPECT_TRUE(commandChoiceStep(g.rt, 1));  // USERCOM answered non-zero
    EXPECT_EQ(g.output(), "u1\n");
    EXPECT_EQ(g.rt.game.event, GameEvent::None);
}

TEST(TrainPhase, ListingLayout) {
    PhaseGame g("@SHOW_USERCOM\nPRINT user\n");
    g.store.trainNames = {{0, sjis("会話")}, {1, "ABCDEFGHIJKLMNOPQRSTUV"}, {2, "x"}, {3, "y"}};
    commandDisplayStep(g.rt);
    EXPECT_EQ(g.output(),
              "                会話[  0]ABCDEFGHIJKLMNOPQRSTUV[  1]                   x[  2]\n"
              "                   y[  3]\nuser\n");
    g.store.trainNames.erase(3);
    commandDisplayStep(g.rt);
    EXPECT_EQ(g.output(),
              "                会話[  0]ABCDEFGHIJKLMNOPQRSTUV[  1]                   x[  2]\nuser\n");
}

TEST(TrainPhase, PositionsEndAt999) {
    PhaseGame g("@COM_ABLE1003\nPRINTL asked\nRETURN 1\n");
    for (int n = 0; n < 1005; ++n) g.store.trainNames[n] = "c";
    commandDisplayStep(g.rt);
    std::string out = g.output();
    EXPECT_NE(out.find("c[999]\n"), std::string::npos);
    EXPECT_EQ(out.find("[1000]"), std::string::npos);
    EXPECT_EQ(out.find("asked"), std::string::npos);
    EXPECT_TRUE(commandChoiceStep(g.rt, 999));
    EXPECT_EQ(g.store.at(kSelectCom), 999);
}

TEST(TrainPhase, NextComForcesACommandAndThenCommandZero) {
    PhaseGame g;
    EXPECT_FALSE(forcedCommandCheck(g.rt));
    EXPECT_EQ(g.rt.game.event, GameEvent::None);
    g.store.at(kNextCom) = 7;
    EXPECT_TRUE(forcedCommandCheck(g.rt));
    EXPECT_EQ(g.store.at(kSelectCom), 7);
    EXPECT_EQ(g.store.at(kNextCom), 0);
    EXPECT_EQ(g.rt.game.event, GameEvent::Command);
    EXPECT_EQ(g.rt.game.phase, GamePhase::AfterCommand);
    EXPECT_TRUE(forcedCommandCheck(g.rt));
    EXPECT_EQ(g.store.at(kSelectCom), 0);
}

TEST(TrainPhase, ChoiceClearsUpDownAndLoseBase) {
    PhaseGame g;
    commandDisplayStep(g.rt);  // lists nothing
    g.store.at(kUp, 999) = 1;
    g.store.at(kDown, 0) = 2;
    g.store.at(kLoseBase, 500) = 3;
    EXPECT_FALSE(commandChoiceStep(g.rt, -1));
    EXPECT_FALSE(commandChoiceStep(g.rt, 1000));
    EXPECT_EQ(g.store.at(kUp, 999), 1);
    EXPECT_FALSE(commandChoiceStep(g.rt, 999));  // nothing listed, no USERCOM
    EXPECT_EQ(g.store.at(kUp, 999), 0);
    EXPECT_EQ(g.store.at(kDown, 0), 0);
    EXPECT_EQ(g.store.at(kLoseBase, 500), 0);
    EXPECT_EQ(g.store.at(kResult), 999);
}

TEST(TrainPhase, AfterCommandRunsTheCommandThenSourceCheck) {
    PhaseGame g("@COM5\nPRINTFORML com{NOWEX:0}\nRETURN 1\n@SOURCE_CHECK\nPRINTFORML sc{SOURCE:2}\n");
    for (int i = 0; i < 2; ++i) {
        CharacterRecord c;
        c.array(kNowEx)[0] = 9;
        c.array(kSource)[2] = 4;
        g.store.addCharacter(c);
    }
    g.store.at(kSelectCom) = 5;
    EXPECT_TRUE(afterCommandStep(g.rt));
    EXPECT_EQ(g.output(), "com0\nsc4\n");
    EXPECT_EQ(g.store.characters[0].array(kSource)[2], 0);
    EXPECT_EQ(g.store.characters[1].array(kSource)[2], 0);
    EXPECT_EQ(g.store.characters[1].array(kNowEx)[0], 0);
    EXPECT_EQ(g.rt.game.event, GameEvent::CommandEnd);
    EXPECT_EQ(g.rt.game.phase, GamePhase::Train);
}

TEST(TrainPhase, CancelledCommandSkipsSourceCheck) {
    PhaseGame g("@COM5\nRETURN 0\n@COM6\nBEGIN SHOP\n@SOURCE_CHECK\nPRINTL sc\n");
    CharacterRecord c;
    c.array(kSource)[2] = 4;
    g.store.addCharacter(c);
    g.store.at(kSelectCom) = 5;
    EXPECT_FALSE(afterCommandStep(g.rt));
    EXPECT_EQ(g.output(), "");
    EXPECT_EQ(g.store.characters[0].array(kSource)[2], 4);
    EXPECT_EQ(g.rt.game.event, GameEvent::None);

    // A cancelling command's BEGIN keeps its phase but raises no event.
    g.store.at(kSelectCom) = 6;
    g.store.at(kResult) = 0;
    EXPECT_FALSE(afterCommandStep(g.rt));
    EXPECT_EQ(g.rt.game.event, GameEvent::None);
    EXPECT_EQ(g.rt.game.phase, GamePhase::Shop);
}

TEST(TrainPhase, MissingCommandOrSourceCheckIsAProcessError) {
    PhaseGame g("@COM4\nRETURN 1\n");
    g.store.at(kSelectCom) = 3;
    try {
        afterCommandStep(g.rt);
        ADD_FAILURE() << "COM3 does not exist";
    } catch (const CProcessError& e) {
        EXPECT_EQ(e.code, 1);
        EXPECT_EQ(e.detail, "COM3");
    }
    g.store.at(kSelectCom) = 4;
    try {
        afterCommandStep(g.rt);
        ADD_FAILURE() << "SOURCE_CHECK does not exist";
    } catch (const CProcessError& e) {
        EXPECT_EQ(e.detail, "SOURCE_CHECK");
    }
}

// ---- Ability-up ----------------------------------------------------------------

TEST(AblupPhase, FixedLineThenTheScriptsScreen) {
    PhaseGame g("@SHOW_ABLUP_SELECT\nPRINTL select\n@SHOW_JUEL\nPRINTL juel\n");
    ablupDisplayStep(g.rt);
    EXPECT_EQ(g.output(), "珠を消費して能力アップができます。\njuel\nselect\n");
}

TEST(AblupPhase, NumberPicksAblupOrUserAblup) {
    PhaseGame g("@ABLUP5\nPRINTFORML a5 {RESULT}\n@ABLUP-1\nPRINTFORML neg {RESULT}\n"
                "@USERABLUP\nPRINTFORML u{RESULT}\n");
    g.store.at(kResult) = 42;
    ablupChoiceStep(g.rt, 5);
    g.store.at(kResult) = 42;
    ablupChoiceStep(g.rt, -1);
    ablupChoiceStep(g.rt, 7);  // no ABLUP7: nothing
    ablupChoiceStep(g.rt, 250);
    ablupChoiceStep(g.rt, 100);
    EXPECT_EQ(g.output(), "a5 42\nneg 42\nu250\nu100\n");
}

}  // namespace
}  // namespace kiro
