// Micro-benchmarks of the hot paths: evaluating expressions (from their
// text and from their parsed steps), loading script text, and executing
// loops, calls and formatted output.
#include <benchmark/benchmark.h>

#include <string>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "script/evaluator.h"
#include "script/executor.h"
#include "script/expression_code.h"
#include "script/loader.h"
#include "script/runtime.h"

namespace kiro {
namespace {

// Output is thrown away so that only the engine's own work is measured.
class NullIo : public ConsoleIo {
public:
    bool readLine(std::string&) override { return false; }
    void write(std::string_view) override {}
};

void evaluate(benchmark::State& state, const char* expression) {
    VariableStore store;
    store.addCharacter(CharacterRecord{});
    Evaluator evaluator(store);
    for (auto _ : state) benchmark::DoNotOptimize(evaluator.evaluateExpression(expression));
}
BENCHMARK_CAPTURE(evaluate, literal_arith, "1 + 2 * 3 - 4 / 2");
BENCHMARK_CAPTURE(evaluate, variables, "A + COUNT * 3 % 7");
BENCHMARK_CAPTURE(evaluate, parentheses, "(C + A / 3 + (COUNT & 15)) % 10007");
BENCHMARK_CAPTURE(evaluate, character_index, "ABL:TARGET:2 * 10 >= 50 && CFLAG:TARGET:5 == 0");

// The same expressions run from the steps a script line keeps.
void evaluateParsed(benchmark::State& state, const char* expression) {
    VariableStore store;
    store.addCharacter(CharacterRecord{});
    Evaluator evaluator(store);
    const Expression parsed(expression);
    if (!parsed.compiled()) state.SkipWithError("the expression did not compile");
    for (auto _ : state) benchmark::DoNotOptimize(parsed.evaluate(evaluator));
}
BENCHMARK_CAPTURE(evaluateParsed, literal_arith, "1 + 2 * 3 - 4 / 2");
BENCHMARK_CAPTURE(evaluateParsed, variables, "A + COUNT * 3 % 7");
BENCHMARK_CAPTURE(evaluateParsed, parentheses, "(C + A / 3 + (COUNT & 15)) % 10007");
BENCHMARK_CAPTURE(evaluateParsed, character_index, "ABL:TARGET:2 * 10 >= 50 && CFLAG:TARGET:5 == 0");

void compileExpressionText(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(compileExpression("(C + A / 3 + (COUNT & 15)) % 10007"));
}
BENCHMARK(compileExpressionText);

std::string generatedScript(int functions, int linesEach) {
    std::string text;
    for (int f = 0; f < functions; ++f) {
        text += "@FUNC" + std::to_string(f) + "\n";
        for (int i = 0; i < linesEach; ++i) {
            switch (i % 5) {
            case 0: text += "FLAG:3 += A * 2\n"; break;
            case 1: text += "IF ABL:TARGET:2 > 5\n"; break;
            case 2: text += "PRINTFORML value {A} and %STR:3%\n"; break;
            case 3: text += "ENDIF\n"; break;
            case 4: text += "; a comment line\n"; break;
            }
        }
    }
    return text;
}

// Loading keeps a record per line; with `made` every function's lines are
// then made as well (what running all of them would cost).
void loadScript(benchmark::State& state) {
    const bool made = state.range(0) != 0;
    std::string text = generatedScript(100, 1000);
    NullIo io;
    Console console(io);
    for (auto _ : state) {
        ScriptProgram program;
        loadScriptText(program, console, "bench.kst", text);
        if (made)
            for (const auto& [name, definitions] : program.functions()) benchmark::DoNotOptimize(definitions[0]->lines.begin());
        benchmark::DoNotOptimize(program.findFunction("FUNC0"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.SetItemsProcessed(state.iterations() * 100 * 1000);
}
BENCHMARK(loadScript)->Arg(0)->Arg(1)->ArgName("made")->Unit(benchmark::kMillisecond);

void runScript(benchmark::State& state, const char* source) {
    NullIo io;
    Console console(io);
    ScriptProgram program;
    loadScriptText(program, console, "bench.kst", source);
    VariableStore store;
    store.addCharacter(CharacterRecord{});
    store.addCharacter(CharacterRecord{});
    GameBase base;
    Runtime rt(console, store, program, base);
    const FunctionDefinition* main = program.findFunction("MAIN");
    for (auto _ : state) runTopLevel(rt, *main);
}
BENCHMARK_CAPTURE(runScript, arith_loop_1000,
                  "@MAIN\nA = 0\nREPEAT 1000\nA = A + COUNT * 3 % 7\nIF A > 100000\nA = A - 100000\n"
                  "ELSE\nB:5 += 1\nENDIF\nC = (C + A / 3 + (COUNT & 15)) % 10007\nREND\n")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScript, call_loop_1000,
                  "@MAIN\nS = 0\nREPEAT 1000\nX = COUNT\nCALL WORK\nS = S + Y\nREND\n"
                  "@WORK\nY = X * 3 % 11 + 1\nRETURN Y\n")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScript, printform_loop_1000,
                  "@MAIN\nA = 12345\nREPEAT 1000\nPRINTFORML LINE {COUNT} X={COUNT * 7 % 1000} Y={(COUNT + A) / 3}\n"
                  "REND\n")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kiro
