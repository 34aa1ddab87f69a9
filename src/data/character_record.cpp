// One character's record and the assignment operators shared with the
// evaluator. Every arithmetic result wraps in 32 bits; the operations are
// done on unsigned or 64-bit values so that no overflow is undefined.
#include "data/character_record.h"

#include <algorithm>

#include "script/errors.h"

namespace kiro {
namespace {

// Array lengths by code 0-16, in code order.
constexpr std::array<std::uint16_t, kCharacterArrayCount> kArraySizes = {
    100,   // BASE
    100,   // MAXBASE
    100,   // ABL
    1000,  // TALENT
    100,   // EXP
    100,   // MARK
    100,   // PALAM
    100,   // SOURCE
    100,   // EX
    1000,  // CFLAG
    200,   // JUEL
    100,   // RELATION
    100,   // EQUIP
    100,   // TEQUIP
    100,   // STAIN
    200,   // GOTJUEL
    100,   // NOWEX
};

// Arrays cleared when training starts.
constexpr std::array<CharacterCode, 6> kTrainingArrays = {kPalam, kSource, kEx, kTequip, kStain, kGotJuel};

// getName / setName selectors, the string variable codes of NAME and CALLNAME.
constexpr int kName = 0, kCallName = 1;

bool isArrayCode(std::int32_t code) { return code >= 0 && code < kCharacterArrayCount; }

std::int32_t wrap(std::uint32_t bits) { return static_cast<std::int32_t>(bits); }

std::int32_t divide(std::int32_t old, std::int32_t value, bool remainder) {
    if (value == 0) throw CExecError(error_code::DivisionByZero);
    // The one quotient that does not fit: INT32_MIN / -1 wraps to itself and
    // leaves no remainder.
    if (old == INT32_MIN && value == -1) return remainder ? 0 : INT32_MIN;
    return remainder ? old % value : old / value;
}

}  // namespace

std::int32_t applyAssign(AssignKind kind, std::int32_t old, std::int32_t value) {
    const auto a = static_cast<std::uint32_t>(old), b = static_cast<std::uint32_t>(value);
    switch (kind) {
        case kAssign: return value;
        case kAdd: return wrap(a + b);
        case kSubtract: return wrap(a - b);
        case kMultiply: return wrap(a * b);
        case kDivide: return divide(old, value, false);
        case kRemainder: return divide(old, value, true);
        case kBitAnd: return old & value;
        case kBitOr: return old | value;
    }
    throwEngineFault("no assignment has this operator");
}

CharacterRecord::CharacterRecord() {
    for (int code = 0; code < kCharacterArrayCount; ++code) arrays_[code].assign(kArraySizes[code], 0);
}

std::size_t CharacterRecord::arraySize(std::int32_t code) {
    return isArrayCode(code) ? kArraySizes[code] : 0;
}

std::int32_t CharacterRecord::get(std::int32_t code, std::int32_t index) const {
    if (isArrayCode(code)) {
        const std::vector<std::int32_t>& values = arrays_[code];
        return values[checkedIndex(index, values.size())];
    }
    if (code == kIsAssi) return isAssi;
    if (code == kNo) return no;
    throwEngineFault("no per-character variable has this code");
}

void CharacterRecord::modify(std::int32_t code, std::int32_t index, AssignKind kind, std::int32_t value) {
    std::int32_t* target;
    if (isArrayCode(code)) {
        std::vector<std::int32_t>& values = arrays_[code];
        target = &values[checkedIndex(index, values.size())];
    } else if (code == kIsAssi) {
        target = &isAssi;
    } else if (code == kNo) {
        target = &no;
    } else {
        throwEngineFault("no per-character variable has this code");
    }
    // applyAssign may throw (division by zero); the element is written only
    // once the result exists.
    *target = applyAssign(kind, *target, value);
}

const std::string& CharacterRecord::getName(int which) {
    if (which == kName) return name;
    if (which != kCallName) throwEngineFault("a character has no name of this kind");
    if (callName.empty()) callName = name;
    return callName;
}

void CharacterRecord::setName(int which, std::string text) {
    if (which == kName) name = std::move(text);
    else if (which == kCallName) callName = std::move(text);
    else throwEngineFault("a character has no name of this kind");
}

void CharacterRecord::resetForTraining() {
    for (CharacterCode code : kTrainingArrays) std::fill(arrays_[code].begin(), arrays_[code].end(), 0);
    arrays_[kStain][2] = 2;
    arrays_[kStain][3] = 1;
    arrays_[kStain][4] = 8;
}

void CharacterRecord::clearNowEx() { std::fill(arrays_[kNowEx].begin(), arrays_[kNowEx].end(), 0); }

void CharacterRecord::clearSource() { std::fill(arrays_[kSource].begin(), arrays_[kSource].end(), 0); }

}  // namespace kiro
