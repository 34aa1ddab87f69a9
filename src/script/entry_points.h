// The script functions the game loop calls by name, written once: the
// phases call them through these names, and kiro-check reads the lists.
#pragma once

#include <array>
#include <string_view>

namespace kiro::entry_point {

inline constexpr std::string_view kShowShop = "SHOW_SHOP";
inline constexpr std::string_view kUserShop = "USERSHOP";
inline constexpr std::string_view kShowStatus = "SHOW_STATUS";
inline constexpr std::string_view kShowUserCom = "SHOW_USERCOM";
inline constexpr std::string_view kUserCom = "USERCOM";
inline constexpr std::string_view kSourceCheck = "SOURCE_CHECK";
inline constexpr std::string_view kShowJuel = "SHOW_JUEL";
inline constexpr std::string_view kShowAblupSelect = "SHOW_ABLUP_SELECT";
inline constexpr std::string_view kUserAblup = "USERABLUP";
inline constexpr std::string_view kSaveInfo = "SAVEINFO";
inline constexpr std::string_view kFixed[] = {
    kShowShop, kUserShop, kShowStatus, kShowUserCom, kUserCom, kSourceCheck, kShowJuel, kShowAblupSelect,
    kUserAblup, kSaveInfo,
};

// Named by a prefix and a command or choice number in decimal ("COM12").
inline constexpr std::string_view kComAble = "COM_ABLE";
inline constexpr std::string_view kCom = "COM";
inline constexpr std::string_view kAblup = "ABLUP";
inline constexpr std::string_view kNumbered[] = {kComAble, kCom, kAblup};

// The events, indexed by GameEvent (0 is no event). Every definition of an
// event runs, not only the first.
inline constexpr std::array<std::string_view, 9> kEvents = {
    "",         "EVENTFIRST", "EVENTSHOP",   "EVENTBUY",    "EVENTTRAIN",
    "EVENTCOM", "EVENTCOMEND", "EVENTEND", "EVENTTURNEND",
};

}  // namespace kiro::entry_point
