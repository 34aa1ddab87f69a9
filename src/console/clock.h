// The engine's clock and the seed of a new game, in one place. Both read
// the system clock unless the environment fixes them for reproducible runs:
//   KIRO_SEED=N                     a new game seeds RAND with N (0..4294967295)
//   KIRO_TIME=YYYY-MM-DDTHH:MM:SS   the clock reads this local time
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace kiro {

// Reads KIRO_SEED and KIRO_TIME once. Empty when both are absent or valid;
// otherwise a one-line English description of the malformed value.
std::string configureClock();

// The current time: the fixed KIRO_TIME when set, else the system clock.
std::time_t clockNow();

// The RAND seed of a new game: KIRO_SEED when set, else the clock.
std::uint32_t newGameSeed();

}  // namespace kiro
