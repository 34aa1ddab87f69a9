// The game loop: the pending event's functions in their three passes, then
// one step of the current phase, for ever.
#include "app/game_loop.h"

#include <array>

#include "app/phases.h"
#include "messages.h"
#include "script/executor.h"
#include "script/runtime.h"

namespace kiro {
namespace {

// State the loop keeps from one cycle to the next.
struct LoopState {
    bool waitRequest = false;   // offer a wait after the events of this cycle
    bool skipNextWait = false;  // the last command cancelled its end: no wait after EVENTCOMEND
};

enum class Pass { Pri, Plain, Later };

bool belongsTo(const FunctionDefinition& definition, Pass pass) {
    const bool pri = hasAttribute(definition, kPri);
    const bool later = hasAttribute(definition, kLater);
    switch (pass) {
        case Pass::Pri: return pri;
        case Pass::Plain: return !pri && !later;
        case Pass::Later: return later;
    }
    return false;
}

void runPass(Runtime& rt, ScriptProgram::Definitions definitions, Pass pass) {
    for (const FunctionDefinition* definition : definitions) {
        if (!belongsTo(*definition, pass)) continue;
        runTopLevel(rt, *definition);
        // A SINGLE function answering 1 claims the rest of its pass.
        if (hasAttribute(*definition, kSingle) && rt.store.at(kResult) == 1) return;
    }
}

// Runs events until one leaves the event unchanged or clears it; a BEGIN to
// another event chains that event within the same cycle.
void runPendingEvents(Runtime& rt, LoopState& loop) {
    while (rt.game.event != GameEvent::None) {
        const GameEvent event = rt.game.event;
        if (event == GameEvent::CommandEnd) {
            if (!loop.skipNextWait) loop.waitRequest = true;
            loop.skipNextWait = false;
        }
        rt.waited = false;
        runEventFunctions(rt, eventFunctionName(event));
        if (loop.waitRequest && !rt.waited) rt.console.waitForEnter();
        if (rt.game.event == event) {
            rt.game.event = GameEvent::None;
            return;
        }
    }
}

void shopStep(Runtime& rt, LoopState&) {
    shopDisplayStep(rt);
    shopChoiceStep(rt, rt.console.readNumber());
}

void trainStep(Runtime& rt, LoopState&) {
    if (forcedCommandCheck(rt)) return;
    commandDisplayStep(rt);
    commandChoiceStep(rt, rt.console.readNumber());
}

void afterCommandPhaseStep(Runtime& rt, LoopState& loop) {
    if (!afterCommandStep(rt)) loop.skipNextWait = true;
}

void ablupStep(Runtime& rt, LoopState&) {
    ablupDisplayStep(rt);
    ablupChoiceStep(rt, rt.console.readNumber());
}

// No phase to go on with: the scripts forgot a BEGIN.
[[noreturn]] void noPhaseStep(Runtime& rt, LoopState&) {
    rt.console.writeText(msg::NO_INSTRUCTION_END);
    rt.console.endLine();
    rt.console.waitForEnter();
    throw ProgramExit{1};
}

using PhaseStep = void (*)(Runtime&, LoopState&);

// Indexed by GamePhase.
constexpr std::array<PhaseStep, 5> kPhaseSteps = {
    noPhaseStep, shopStep, trainStep, afterCommandPhaseStep, ablupStep,
};

}  // namespace

void runEventFunctions(Runtime& rt, std::string_view name) {
    const ScriptProgram::Definitions definitions = rt.program.definitionsOf(name);
    for (Pass pass : {Pass::Pri, Pass::Plain, Pass::Later}) runPass(rt, definitions, pass);
}

void runGameLoop(Runtime& rt) {
    LoopState loop;
    for (;;) {
        loop.waitRequest = false;
        runPendingEvents(rt, loop);
        kPhaseSteps[static_cast<std::size_t>(rt.game.phase)](rt, loop);
    }
}

}  // namespace kiro
