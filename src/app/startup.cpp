// Program start-up: load the game directory, prepare a new game, show the
// title, run the game loop, and turn whatever ends the program into its
// exit status. The two guarded stretches (loading, and title plus game loop)
// report the errors that no script line's guard caught.
#include "app/startup.h"

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>

#include "app/game_loop.h"
#include "app/title_screen.h"
#include "console/clock.h"
#include "console/console.h"
#include "data/csv_loader.h"
#include "data/game_files.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "messages.h"
#include "script/error_reports.h"
#include "script/errors.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "script/script_program.h"

namespace kiro {
namespace {

constexpr int kFailureStatus = 1;
// A fault of the engine itself ended the program (the conventional status
// of an internal software error).
constexpr int kEngineFaultStatus = 70;

struct InitialValue {
    std::int32_t code;
    std::int32_t index;
    std::int32_t value;
};

// Values every new game starts from; everything else keeps what loading set.
constexpr InitialValue kNewGameValues[] = {
    {kTarget, 0, 1}, {kAssi, 0, -1}, {kMaster, 0, 0}, {kDay, 0, 0}, {kMoney, 0, 0},
    {kEjac, 0, 10000}, {kPband, 0, 4},
    {kPalamLv, 0, 0}, {kPalamLv, 1, 100}, {kPalamLv, 2, 500}, {kPalamLv, 3, 3000},
    {kPalamLv, 4, 10000}, {kPalamLv, 5, 30000}, {kPalamLv, 6, 60000}, {kPalamLv, 7, 100000},
    {kPalamLv, 8, 150000}, {kPalamLv, 9, 250000},
    {kExpLv, 0, 0}, {kExpLv, 1, 1}, {kExpLv, 2, 4}, {kExpLv, 3, 20}, {kExpLv, 4, 50}, {kExpLv, 5, 200},
};

constexpr std::int32_t kClearedArrays[] = {kItem, kFlag};

// The player's character comes from template 0; the game may name one more
// to be present from the start (a slot of 100 or more is an array error).
void prepareNewGame(VariableStore& store, const GameBase& base) {
    store.seedRandom(newGameSeed());
    store.addCharacter(store.templateAt(0));
    if (base.initialCharacter >= 0) store.addCharacter(store.templateAt(base.initialCharacter));
    for (std::int32_t code : kClearedArrays) std::fill(store.global(code).begin(), store.global(code).end(), 0);
    for (const InitialValue& v : kNewGameValues) store.at(v.code, v.index) = v.value;
    store.at(kNoItem) = base.noItem;
}

// A working directory without csv and kst is not a game: started anyway, it
// would show an empty title and wait at a blank prompt.
bool isGameHere(Console& console) {
    if (isGameDirectory()) return true;
    console.writeText(msg::NOT_GAME_FOLDER);
    console.endLine();
    return false;
}

// Loading and the new game. False when the program is to end: a loader has
// already said why, or the array error has been reported here.
bool loadAndPrepare(Console& console, VariableStore& store, GameBase& base, ScriptProgram& program) {
    if (!isGameHere(console)) return false;
    try {
        if (!loadCsvFiles(store, base, console)) return false;
        if (!loadScriptFiles(program, console)) return false;
        prepareNewGame(store, base);
        return true;
    } catch (const ArrayError&) {
        reportStartupArrayError(console);
        return false;
    }
}

// Title and game loop. The loop never returns, so only a reported error
// comes back here. The title's own errors (its load menu) are reported the
// same way: there is no better place for them and the game cannot start.
int play(Runtime& rt) {
    try {
        runTitleScreen(rt);
        runGameLoop(rt);
    } catch (const CExecError& error) {
        reportTopLevelError(rt, error);
    } catch (const CProcessError& error) {
        reportTopLevelError(rt, error);
    } catch (const ArrayError&) {
        reportTopLevelArrayError(rt);
    }
    return kFailureStatus;
}

int runStages(Console& console) {
    VariableStore store;
    GameBase base;
    ScriptProgram program;
    if (!loadAndPrepare(console, store, base, program)) return kFailureStatus;
    console.writeText(msg::LOAD_COMPLETE);
    console.endLine();
    Runtime rt(console, store, program, base);
    return play(rt);
}

// Memory ran out somewhere (a container asked for more than it may hold
// counts too). The game's data is gone by now, so there is room to say so;
// what was written before goes out first.
void reportOutOfMemory(Console& console) {
    console.flush();
    console.endLine();
    console.writeText(msg::OUT_OF_MEMORY);
    console.endLine();
}

}  // namespace

// Any other standard exception is never the game's error: the engine broke
// one of its own rules. The game does not go on in a state nobody planned for.
int runProgram(Console& console) {
    int status = kFailureStatus;
    try {
        status = runStages(console);
    } catch (const ProgramExit& exit) {
        status = exit.status;
    } catch (const std::bad_alloc&) {
        reportOutOfMemory(console);
    } catch (const std::length_error&) {
        reportOutOfMemory(console);
    } catch (const std::exception& fault) {
        status = kEngineFaultStatus;
        try {
            reportEngineFault(console, fault);
        } catch (const ProgramExit&) {  // input has long ended; the report is written
        }
    }
    console.flush();
    return status;
}

}  // namespace kiro
