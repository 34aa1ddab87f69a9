// One character's record.
#include "data/character_record.h"

#include <algorithm>

#include "data/faults.h"

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

}  // namespace

CharacterRecord::CharacterRecord() {
    for (int code = 0; code < kCharacterArrayCount; ++code) arrays_[code].assign(kArraySizes[code], 0);
}

std::size_t CharacterRecord::arraySize(std::int32_t code) {
    return isArrayCode(code) ? kArraySizes[code] : 0;
}

std::int32_t CharacterRecord::get(std::int32_t code, std::int32_t index) const {
    return const_cast<CharacterRecord*>(this)->at(code, index);
}

std::int32_t& CharacterRecord::at(std::int32_t code, std::int32_t index) {
    if (isArrayCode(code)) {
        std::vector<std::int32_t>& values = arrays_[code];
        return values[checkedIndex(index, values.size())];
    }
    if (code == kIsAssi) return isAssi;
    if (code == kNo) return no;
    throwEngineFault("no per-character variable has this code");
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
