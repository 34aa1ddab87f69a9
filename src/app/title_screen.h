// The title screen: the game's identity centred on the console, then the
// choice between a new game and a saved one.
#pragma once

namespace kiro {

struct Runtime;

// Shows the screen, reads the choice and sets the event and phase the game
// loop starts with (EVENTFIRST and SHOP for a new game, no event and SHOP
// after a load). Ends with the line of 79 "-".
void runTitleScreen(Runtime& rt);

}  // namespace kiro
