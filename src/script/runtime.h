// Everything a running script reaches: the console, the variable store, the
// loaded program, the game identity, the game state, the evaluator, and the
// process-wide execution state (topExecutor, the running frames, waited, the
// save description). One Runtime lives from start-up to the end of the program;
// tests build their own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/evaluator.h"
#include "script/game_state.h"
#include "script/script_program.h"

namespace kiro {

class ScriptExecutor;

struct Runtime {
    Runtime(Console& c, VariableStore& s, const ScriptProgram& p, const GameBase& g);
    ~Runtime();

    Console& console;
    VariableStore& store;
    const ScriptProgram& program;
    const GameBase& gameBase;
    Evaluator evaluator;
    GameState game;

    std::unique_ptr<ScriptExecutor> topExecutor;
    std::vector<std::unique_ptr<ScriptExecutor>> callees;  // nested runs' executors, one per depth
    ScriptExecutor* running = nullptr;  // the innermost running frame (each knows its caller), or none
    bool waited = false;                // a script waited for Enter
    std::string saveDescription;        // PUTFORM appends; each save sets it anew
    int callDepth = 0;                  // nested runs (CALL, SAVEINFO) now running
    std::string formText;                     // a form's expansion before it is written; reused
    // Every line runs through step(), the reference the compiled statements
    // are checked against (tests); a trace always runs that way.
    bool lineByLine = false;
};

}  // namespace kiro
