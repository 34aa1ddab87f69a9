// Test helper: a whole script runtime over an in-memory console, with the
// typed input given, for tests that run instructions or functions.
#pragma once

#include <string>
#include <string_view>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "script/script_program.h"
#include "support/sjis.h"

namespace kiro::test {

struct TestRuntime {
    explicit TestRuntime(std::string input = {}) : io(std::move(input)) {}

    // Loads a UTF-8 script as the file `fileName`; the loader's progress line
    // is dropped from the output.
    void load(std::string_view utf8Script, const std::string& fileName = "t.kst") {
        loadScriptText(program, console, fileName, sjis(utf8Script));
        console.flush();
        io.output.clear();
    }

    // Appends `count` fresh characters named C0, C1, ...
    void addCharacters(int count) {
        for (int i = 0; i < count; ++i) {
            CharacterRecord record;
            record.name = "C" + std::to_string(store.characterCount());
            store.addCharacter(record);
        }
    }

    // Everything written so far.
    std::string output() {
        console.flush();
        return io.output;
    }

    StringConsoleIo io;
    Console console{io};
    VariableStore store;
    ScriptProgram program;
    GameBase base;
    Runtime rt{console, store, program, base};
};

}  // namespace kiro::test
