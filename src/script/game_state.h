// The two values that tie the scripts to the game loop: the current event
// and the current phase, and the effect of BEGIN on them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiro {

class VariableStore;

enum class GameEvent { None, First, Shop, Buy, Train, Command, CommandEnd, AfterTrain, TurnEnd };
enum class GamePhase { None, Shop, Train, AfterCommand, Ablup };

// The script function name the game loop runs for an event ("EVENTFIRST", ...).
std::string_view eventFunctionName(GameEvent event);

struct GameState {
    GameEvent event = GameEvent::None;
    GamePhase phase = GamePhase::Shop;

    // Applies one row of the BEGIN table (BeginTarget); BEGIN TRAIN also
    // performs the training-start reset on the store.
    void begin(std::int32_t target, VariableStore& store);
};

}  // namespace kiro
