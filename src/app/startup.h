// Program start-up: loading the game directory, the new-game state, the
// title screen, and the two guarded stretches that turn errors into the
// exit status.
#pragma once

namespace kiro {

class Console;

// Runs the whole program in the current directory; returns the exit status.
int runProgram(Console& console);

}  // namespace kiro
