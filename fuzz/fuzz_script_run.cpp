// Fuzz target: a script file loaded and run. Every function is started in
// turn, twice over, on the top-level executor as the game loop starts
// events, against a store with characters and a fixed stream of typed
// input; the output is thrown away. This reaches the executor, the control
// flow and every instruction with whatever lines the loader lets through.
//
// A script may loop for ever, which is its right and no fault of the
// engine, so the harness keeps every run finite:
// - it steps the top-level executor itself, at most kStepBudget lines in
//   all (GOTO, RESTART, JUMP and REPEAT loops of a started function are cut
//   there), and stops once the output or the wall clock runs over; a PRINTFORM
//   that runs away costs up to 10,000 substitutions, so the budget is small;
// - a CALLed function runs to its end inside one step, so inputs where a
//   CALL reaches a function that could loop (or call on) are skipped; the
//   call-depth limit has its own end-to-end cases;
// - the typed input holds no slot number, so SAVEGAME and LOADGAME open
//   their menus and leave them without touching a file (and without
//   running SAVEINFO).
#include <chrono>

#include "data/game_base.h"
#include "fuzz_support.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/instruction_table.h"
#include "script/loader.h"
#include "script/runtime.h"

namespace {

constexpr int kStepBudget = 100;
constexpr std::size_t kOutputBudget = std::size_t{1} << 20;
constexpr auto kTimeBudget = std::chrono::milliseconds(250);

// Numbers outside the slots, the cancel number 100, a word, empty lines.
constexpr std::string_view kTyped = "100\n25\nabc def\n\n-7 100\n1000\n100\n\n";

bool runsStraight(const kiro::FunctionDefinition& definition) {
    for (const kiro::ScriptLine& line : definition.lines) {
        switch (line.code) {
        case kiro::kRESTART: case kiro::kGOTO: case kiro::kJUMP: case kiro::kCALL:
        case kiro::kREPEAT: case kiro::kREND:
            return false;
        }
    }
    return true;
}

// Every CALL in the program reaches no function or one that runs straight.
bool callsEnd(const kiro::ScriptProgram& program) {
    for (const auto& [name, definitions] : program.functions()) {
        for (const kiro::FunctionDefinition* definition : definitions) {
            for (const kiro::ScriptLine& line : definition->lines) {
                if (line.code != kiro::kCALL) continue;
                const kiro::FunctionDefinition* called = program.findFunction(line.argument);
                if (called && !runsStraight(*called)) return false;
            }
        }
    }
    return true;
}

// Only string assignments and INPUTS write the store's texts.
bool writesTexts(const kiro::ScriptProgram& program) {
    for (const auto& [name, definitions] : program.functions())
        for (const kiro::FunctionDefinition* definition : definitions)
            for (const kiro::ScriptLine& line : definition->lines)
                if (line.code == kiro::kStrAssign || line.code == kiro::kINPUTS) return true;
    return false;
}

struct Budget {
    int steps = kStepBudget;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + kTimeBudget;
};

// Steps one function until it ends or the budget is spent. False once the
// whole run should stop.
bool runFunction(kiro::Runtime& rt, const kiro::FunctionDefinition& definition, Budget& budget,
                 const kiro::fuzz::DiscardingConsoleIo& io) {
    kiro::ScriptExecutor& top = *rt.topExecutor;
    top.start(definition, kiro::FrameStart::TopLevel);
    try {
        while (top.step()) {
            if (--budget.steps <= 0 || io.written > kOutputBudget) return false;
            if (std::chrono::steady_clock::now() > budget.deadline) return false;
        }
    } catch (const kiro::CExecError&) {
        // an open IF or REPEAT at the end reaches the top level
    } catch (const kiro::ArrayError&) {
    }
    top.finish();
    return true;
}

// Twice: what a line works out on its first run is kept with the line, and
// the second pass runs from what was kept.
void runProgram(kiro::VariableStore& store, const kiro::ScriptProgram& program, const kiro::GameBase& base,
                kiro::Console& console, const kiro::fuzz::DiscardingConsoleIo& io) {
    kiro::Runtime rt(console, store, program, base);
    Budget budget;
    try {
        for (int pass = 0; pass < 2; ++pass)
            for (const auto& [name, definitions] : program.functions())
                for (const kiro::FunctionDefinition* definition : definitions)
                    if (!runFunction(rt, *definition, budget, io)) return;
    } catch (const kiro::ProgramExit&) {
        // QUIT, or a number read at the end of the typed input
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kiro::VariableStore store;
    static bool ready = (kiro::fuzz::populate(store), true);
    (void)ready;
    static kiro::GameBase base;
    kiro::fuzz::DiscardingConsoleIo io(kTyped);
    kiro::Console console(io);
    kiro::ScriptProgram program;
    try {
        kiro::loadScriptText(program, console, "fuzz.kst", kiro::fuzz::asText(data, size));
    } catch (const kiro::ArrayError&) {
        return 0;  // a statement cut inside a double-byte character ends start-up
    }
    if (!callsEnd(program)) return 0;

    runProgram(store, program, base, console, io);
    // Put back at once what the run allocated in the store: memory still
    // held when an input ends makes libFuzzer run it again to look for a leak.
    kiro::fuzz::resetGrowth(store, writesTexts(program));
    return 0;
}
