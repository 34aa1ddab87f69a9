// A function the console calls before it waits for an input line, so that
// a layer above can bring its own files up to date (the trace); none by
// default.
#pragma once

namespace kiro {

inline void (*beforeConsoleRead)() = nullptr;

}  // namespace kiro
