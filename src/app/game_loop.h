// The game loop: each cycle runs the pending event's functions in three
// passes (PRI, plain, LATER), then one step of the current phase. Never
// returns; the program ends by ProgramExit or an error reaching the top.
#pragma once

#include <string_view>

namespace kiro {

struct Runtime;

[[noreturn]] void runGameLoop(Runtime& rt);

// Runs every definition of `name` in the three attribute passes.
void runEventFunctions(Runtime& rt, std::string_view name);

}  // namespace kiro
