// The game state and what the loop does with it: the BEGIN rows with the
// training-start reset, and the event passes with SINGLE.
#include <gtest/gtest.h>

#include <string>

#include "app/game_loop.h"
#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/executor.h"
#include "script/game_state.h"
#include "script/instruction_table.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "support/sjis.h"
#include "support/test_runtime.h"

namespace kiro {
namespace {

TEST(GameState, BeginSetsEventAndPhaseFromItsRow) {
    VariableStore store;
    GameState game;
    struct Row {
        std::int32_t target;
        GameEvent event;
        GamePhase phase;
    };
    const Row rows[] = {
        {kBeginAfterTrain, GameEvent::AfterTrain, GamePhase::None},
        {kBeginAblup, GameEvent::None, GamePhase::Ablup},
        {kBeginTurnEnd, GameEvent::TurnEnd, GamePhase::None},
        {kBeginShop, GameEvent::Shop, GamePhase::Shop},
        {kBeginTrain, GameEvent::Train, GamePhase::Train},
    };
    for (const Row& row : rows) {
        game.event = GameEvent::Buy;
        game.phase = GamePhase::AfterCommand;
        game.begin(row.target, store);
        EXPECT_EQ(game.event, row.event) << row.target;
        EXPECT_EQ(game.phase, row.phase) << row.target;
    }
    game.begin(99, store);  // no such row: nothing changes
    EXPECT_EQ(game.event, GameEvent::Train);
}

TEST(GameState, BeginTrainStartsTrainingFromCleanValues) {
    VariableStore store;
    for (int i = 0; i < 2; ++i) {
        CharacterRecord c;
        c.array(kPalam)[1] = 5;
        c.array(kSource)[2] = 5;
        c.array(kStain)[0] = 9;
        c.array(kStain)[3] = 7;
        c.array(kGotJuel)[0] = 5;
        c.array(kAbl)[1] = 6;
        store.addCharacter(c);
    }
    store.at(kTflag, 0) = 1;
    store.at(kTflag, 999) = 2;
    store.at(kAssiPlay) = 3;
    store.at(kPrevCom) = 4;
    store.at(kNextCom) = 5;
    store.at(kFlag) = 6;

    GameState game;
    game.begin(kBeginTrain, store);

    for (std::int32_t i = 0; i < 2; ++i) {
        const CharacterRecord& c = store.characterAt(i);
        EXPECT_EQ(c.array(kPalam)[1], 0);
        EXPECT_EQ(c.array(kSource)[2], 0);
        EXPECT_EQ(c.array(kGotJuel)[0], 0);
        EXPECT_EQ(c.array(kStain)[0], 0);
        EXPECT_EQ(c.array(kStain)[2], 2);
        EXPECT_EQ(c.array(kStain)[3], 1);
        EXPECT_EQ(c.array(kStain)[4], 8);
        EXPECT_EQ(c.array(kAbl)[1], 6);  // abilities are not per-training
    }
    EXPECT_EQ(store.at(kTflag, 0), 0);
    EXPECT_EQ(store.at(kTflag, 999), 0);
    EXPECT_EQ(store.at(kAssiPlay), 0);
    EXPECT_EQ(store.at(kPrevCom), -1);
    EXPECT_EQ(store.at(kNextCom), -1);
    EXPECT_EQ(store.at(kFlag), 6);
}

// Event functions on an in-memory console; each prints its letter.
struct EventGame : test::TestRuntime {
    explicit EventGame(std::string_view script) { load(script, "e.kst"); }
    std::string runEvent(std::string_view name) {
        io.output.clear();
        runEventFunctions(rt, name);
        console.flush();
        return io.output;
    }
};

TEST(EventPasses, SingleIsJudgedByResultAsTheFunctionLeftIt) {
    // Falling off the end clears RESULT, RETURN 2 is no claim, BEGIN leaves
    // an earlier 1 standing; a claim ends only its own pass.
    EventGame g(
        "@EV\n#SINGLE\nRESULT = 1\nPRINT A\n@EV\n#SINGLE\nPRINT B\nRETURN 2\n@EV\nPRINT C\n"
        "@EW\n#PRI\n#SINGLE\nRESULT = 1\nBEGIN SHOP\n@EW\n#PRI\nPRINT D\n@EW\nPRINT E\n");
    EXPECT_EQ(g.runEvent("EV"), "ABC");
    EXPECT_EQ(g.runEvent("EW"), "E");
    EXPECT_EQ(g.rt.running, nullptr);
}

}  // namespace
}  // namespace kiro
