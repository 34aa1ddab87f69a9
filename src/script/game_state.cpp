// The current event and phase: their script names and the rows of BEGIN.
#include "script/game_state.h"

#include <algorithm>
#include <array>

#include "data/variable_store.h"
#include "script/entry_points.h"
#include "script/instruction_table.h"

namespace kiro {
namespace {

constexpr auto& kEventNames = entry_point::kEvents;  // indexed by GameEvent

struct BeginRow {
    GameEvent event;
    GamePhase phase;
};

// Indexed by BeginTarget.
constexpr std::array<BeginRow, 5> kBeginRows = {{
    {GameEvent::Train, GamePhase::Train},       // TRAIN
    {GameEvent::AfterTrain, GamePhase::None},   // AFTERTRAIN
    {GameEvent::None, GamePhase::Ablup},        // ABLUP
    {GameEvent::TurnEnd, GamePhase::None},      // TURNEND
    {GameEvent::Shop, GamePhase::Shop},         // SHOP
}};

// Every training starts from clean per-training values.
void resetForTrainingStart(VariableStore& store) {
    std::vector<std::int32_t>& tflag = store.global(kTflag);
    std::fill(tflag.begin(), tflag.end(), 0);
    store.at(kAssiPlay) = 0;
    store.at(kPrevCom) = -1;
    store.at(kNextCom) = -1;
    for (CharacterRecord& character : store.characters) character.resetForTraining();
}

}  // namespace

std::string_view eventFunctionName(GameEvent event) {
    const auto index = static_cast<std::size_t>(event);
    return index < kEventNames.size() ? kEventNames[index] : std::string_view{};
}

void GameState::begin(std::int32_t target, VariableStore& store) {
    if (target < 0 || target >= static_cast<std::int32_t>(kBeginRows.size())) return;
    const BeginRow& row = kBeginRows[static_cast<std::size_t>(target)];
    event = row.event;
    phase = row.phase;
    if (target == kBeginTrain) resetForTrainingStart(store);
}

}  // namespace kiro
