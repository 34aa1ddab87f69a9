// SAVEGAME and LOADGAME: the save and load menus opened from a script.
// Both belong to the shop; elsewhere a save or load in the middle of a
// training step would leave the loop in a state no save describes.
#include "save/save_menus.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/game_state.h"
#include "script/runtime.h"

namespace kiro {
namespace {

void requireShop(const Runtime& rt) {
    if (rt.game.phase != GamePhase::Shop) throw CExecError(error_code::OutsideShop);
}

}  // namespace

StepOutcome execSaveGame(ScriptExecutor& ex, const ScriptLine&, Operands) {
    requireShop(ex.rt);
    while (saveMenu(ex.rt) == SaveMenuResult::ShowAgain) {}
    return StepOutcome::Next;
}

// The script goes on after the menu; after a load it sees the loaded values.
StepOutcome execLoadGame(ScriptExecutor& ex, const ScriptLine&, Operands) {
    requireShop(ex.rt);
    while (loadMenu(ex.rt) == LoadMenuResult::ShowAgain) {}
    return StepOutcome::Next;
}

}  // namespace kiro
