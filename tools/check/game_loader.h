// Loads a game the way kiro does at start-up (csv/ first, then kst/, file
// by file in listing order), keeping what the checks need and turning
// everything the loaders report into a finding.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "data/game_base.h"
#include "data/variable_store.h"
#include "finding.h"
#include "script/script_program.h"

namespace kiro::check {

struct SourceLine {
    std::string file;  // "csv/train.csv"
    std::int32_t line = 0;
};

struct LoadedGame {
    std::unique_ptr<VariableStore> store = std::make_unique<VariableStore>();
    GameBase base;
    ScriptProgram program;
    // Where each training command of the store's trainNames was defined
    // (the line that won, when several define the same number).
    std::map<std::int32_t, SourceLine> trainCommands;
};

// False when kiro would not start: a file that cannot be opened or is too
// large, a folder that cannot be listed, or a load that ends in the array
// error. The findings then say where it stopped. A file that is not regular
// is a finding only: kiro skips it.
bool loadGame(const std::string& gameDir, LoadedGame& game, Findings& findings);

}  // namespace kiro::check
