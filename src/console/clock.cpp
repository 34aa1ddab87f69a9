#include "console/clock.h"

#include <cstdlib>
#include <optional>
#include <string_view>

namespace kiro {
namespace {

std::optional<std::uint32_t> fixedSeed;
std::optional<std::time_t> fixedTime;

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A decimal number of 0..4294967295 with nothing around it.
std::optional<std::uint32_t> parseSeed(std::string_view text) {
    if (!allDigits(text)) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

int daysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// YYYY-MM-DDTHH:MM:SS, a real calendar date and time of day, as local time.
std::optional<std::time_t> parseTime(std::string_view text) {
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i)
        if (kShape[i] == 'd' ? !allDigits(text.substr(i, 1)) : text[i] != kShape[i]) return std::nullopt;
    auto field = [&](std::size_t at, std::size_t length) { return std::atoi(std::string(text.substr(at, length)).c_str()); };
    std::tm t{};
    const int year = field(0, 4), month = field(5, 2), day = field(8, 2);
    t.tm_hour = field(11, 2);
    t.tm_min = field(14, 2);
    t.tm_sec = field(17, 2);
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > daysIn(year, month) || t.tm_hour > 23 ||
        t.tm_min > 59 || t.tm_sec > 59)
        return std::nullopt;
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return when;
}

}  // namespace

std::string configureClock() {
    if (const char* seed = std::getenv("KIRO_SEED")) {
        fixedSeed = parseSeed(seed);
        if (!fixedSeed)
            return "kiro: KIRO_SEED must be a decimal number from 0 to 4294967295, not '" + std::string(seed) + "'";
    }
    if (const char* time = std::getenv("KIRO_TIME")) {
        fixedTime = parseTime(time);
        if (!fixedTime)
            return "kiro: KIRO_TIME must be a local date and time YYYY-MM-DDTHH:MM:SS, not '" + std::string(time) +
                   "'";
    }
    return {};
}

std::time_t clockNow() { return fixedTime ? *fixedTime : std::time(nullptr); }

std::uint32_t newGameSeed() { return fixedSeed ? *fixedSeed : static_cast<std::uint32_t>(clockNow()); }

}  // namespace kiro
