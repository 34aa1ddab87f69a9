// Test helper: a whole script runtime over an in-memory console, with the
// typed input given, for tests that run instructions or functions.
#pragma once

#include <string>
#include <string_view>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/instruction_table.h"
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

// A TestRuntime that runs single instructions, each on a fresh line of its
// own, as the executor does.
struct InstructionRuntime : TestRuntime {
    using TestRuntime::TestRuntime;

    void run(std::int32_t code, std::string_view argument = {}) {
        text = argument;
        line = ScriptLine{};  // a line's text never changes once it has run
        line.code = code;
        line.argument = text;
        EXPECT_EQ(runLine(executor, line), StepOutcome::Next);
    }
    void runSjis(std::int32_t code, std::string_view utf8Argument) { run(code, sjis(utf8Argument)); }

    // The error code thrown, or -1.
    int errorCode(std::int32_t code, std::string_view argument, std::string* detail = nullptr) {
        try {
            run(code, argument);
        } catch (const CExecError& error) {
            if (detail) *detail = error.detail;
            return error.code;
        }
        return -1;
    }

    ScriptExecutor executor{rt};
    std::string text;  // the argument the line points into
    ScriptLine line;
};

}  // namespace kiro::test
