// The shop phase: SHOW_SHOP draws the shop, a typed item number 0-99 buys
// that item, any other number goes to the script function USERSHOP.
#include <cstdint>

#include "app/phases.h"
#include "messages.h"
#include "script/executor.h"
#include "script/runtime.h"
#include "script/entry_points.h"

namespace kiro {
namespace {

constexpr std::int32_t kLastItem = 99;

std::int32_t wrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// Writes why the purchase cannot be made, or returns the price.
bool checkPurchase(Runtime& rt, std::int32_t item, std::int32_t& price) {
    VariableStore& store = rt.store;
    if (!store.nameTable(kItemName).count(item) || store.at(kItemSales, item) == 0) {
        rt.console.writeText(msg::NOT_ON_SALE);
        rt.console.endLine();
        return false;
    }
    auto found = store.itemPrices.find(item);
    price = found == store.itemPrices.end() ? 0 : found->second;
    if (store.at(kMoney) < price) {
        rt.console.writeText(msg::NOT_ENOUGH_MONEY);
        rt.console.endLine();
        return false;
    }
    return true;
}

void buyItem(Runtime& rt, std::int32_t item) {
    std::int32_t price = 0;
    if (!checkPurchase(rt, item, price)) return;
    VariableStore& store = rt.store;
    // A negative price (a data file's choice) must not trap on overflow.
    store.at(kMoney) = wrappingAdd(store.at(kMoney), static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(price)));
    store.at(kItem, item) = wrappingAdd(store.at(kItem, item), 1);
    store.at(kBought) = item;
    rt.game.event = GameEvent::Buy;
}

}  // namespace

void shopDisplayStep(Runtime& rt) { runTopLevelByName(rt, entry_point::kShowShop); }

void shopChoiceStep(Runtime& rt, std::int32_t number) {
    if (number >= 0 && number <= kLastItem) {
        buyItem(rt, number);
        return;
    }
    rt.store.at(kResult) = number;
    runTopLevelByName(rt, entry_point::kUserShop);
}

}  // namespace kiro
