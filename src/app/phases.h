// The three interactive phase steps the game loop drives: the shop, the
// training commands and the ability-up screen.
#pragma once

#include <array>
#include <cstdint>

namespace kiro {

struct Runtime;

// Shop (SHOW_SHOP, purchases, USERSHOP).
void shopDisplayStep(Runtime& rt);
void shopChoiceStep(Runtime& rt, std::int32_t number);

// Training.
bool forcedCommandCheck(Runtime& rt);
void commandDisplayStep(Runtime& rt);
bool commandChoiceStep(Runtime& rt, std::int32_t number);
bool afterCommandStep(Runtime& rt);

// Ability-up.
void ablupDisplayStep(Runtime& rt);
void ablupChoiceStep(Runtime& rt, std::int32_t number);

}  // namespace kiro
