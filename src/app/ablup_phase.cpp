// The ability-up phase: one fixed line, the scripts' screen (SHOW_JUEL,
// SHOW_ABLUP_SELECT), then ABLUP<n> for a typed n below 100 or USERABLUP
// with the number in RESULT. Costs and effects are the scripts' business.
#include <cstdint>
#include <string>

#include "app/phases.h"
#include "data/text.h"
#include "messages.h"
#include "script/entry_points.h"
#include "script/executor.h"
#include "script/runtime.h"

namespace kiro {
namespace {

constexpr std::int32_t kFirstUserChoice = 100;

}  // namespace

void ablupDisplayStep(Runtime& rt) {
    rt.console.writeText(msg::ABLUP_HEADER);
    rt.console.endLine();
    runTopLevelByName(rt, entry_point::kShowJuel);
    runTopLevelByName(rt, entry_point::kShowAblupSelect);
}

void ablupChoiceStep(Runtime& rt, std::int32_t number) {
    if (number < kFirstUserChoice) {
        // -1 looks up "ABLUP-1", which games normally do not define.
        std::string name(entry_point::kAblup);
        name.append(decimalText(number));
        runTopLevelByName(rt, name);
        return;
    }
    rt.store.at(kResult) = number;
    runTopLevelByName(rt, entry_point::kUserAblup);
}

}  // namespace kiro
