// The engine's three failure classes. Each carries a code (and, for two of
// them, a detail text); the Japanese message is composed from the code only
// when the error is printed (error_reports.h). The fourth kind of failure,
// an index outside a character list or per-character array, is the
// standard std::out_of_range, reported as the array error.
#pragma once

#include <cstdint>
#include <string>

namespace kiro {

// Error codes of CExecError, named after what went wrong.
namespace exec_error {
inline constexpr std::int32_t kReadSlot = 2, kReadIndex = 3, kReadUnknownName = 4;
inline constexpr std::int32_t kAssignSlot = 5, kAssignIndex = 6, kAssignUnknownName = 7;
inline constexpr std::int32_t kUnmatchedClose = 10, kEmptyGroup = 11, kDoubleByte = 12;
inline constexpr std::int32_t kDoubleMinus = 13, kAfterNumber = 14, kAfterName = 15;
inline constexpr std::int32_t kNoOperatorAfterBlank = 16, kBadOperator = 17, kDivisionByZero = 18;
inline constexpr std::int32_t kStringSlot = 22, kStringIndex = 23, kStringUnknownName = 24;
inline constexpr std::int32_t kUnclosedBrace = 30, kUnclosedPercent = 31, kFormRunaway = 32;
inline constexpr std::int32_t kStrayElse = 100;
inline constexpr std::int32_t kNoLabel = 200, kNoFunction = 201, kJumpFromCall = 202;
inline constexpr std::int32_t kNestedRepeat = 203, kRepeatCount = 204, kBadBeginTarget = 205;
inline constexpr std::int32_t kOpenIfAtEnd = 206, kOpenRepeatAtEnd = 207, kCallTooDeep = 208;
inline constexpr std::int32_t kBarArguments = 300, kTimesArguments = 301;
inline constexpr std::int32_t kOutsideShop = 400;
inline constexpr std::int32_t kNoResult = 1000, kNoCount = 1001;
}  // namespace exec_error

struct CExecError {
    std::int32_t code;
    std::string detail;
    explicit CExecError(std::int32_t c, std::string d = {}) : code(c), detail(std::move(d)) {}
};

struct CProcessError {
    std::int32_t code;
    std::string detail;
    CProcessError(std::int32_t c, std::string d) : code(c), detail(std::move(d)) {}
};

struct CInitError {
    std::int32_t code;
    std::int32_t characterCount = 0;  // shown in the code-0 message
};

}  // namespace kiro
