// One character: its number, names and per-character integer arrays,
// addressed by VariableCode 0-18.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kiro {

// Per-character variable codes (the integer variable table's codes 0-18).
enum CharacterCode : std::int32_t {
    kBase = 0, kMaxBase = 1, kAbl = 2, kTalent = 3, kExp = 4, kMark = 5, kPalam = 6,
    kSource = 7, kEx = 8, kCflag = 9, kJuel = 10, kRelation = 11, kEquip = 12,
    kTequip = 13, kStain = 14, kGotJuel = 15, kNowEx = 16, kIsAssi = 17, kNo = 18,
};
inline constexpr int kCharacterArrayCount = 17;  // codes 0-16

// Assignment operators: = += -= *= /= %= &= |= (computed by the script
// layer's applyAssign).
enum AssignKind : std::int32_t {
    kAssign = 0, kAdd = 1, kSubtract = 2, kMultiply = 3, kDivide = 4, kRemainder = 5,
    kBitAnd = 6, kBitOr = 7,
};

class CharacterRecord {
public:
    CharacterRecord();  // ISASSI 0, NO -1 (matches no character), empty names, zero arrays

    // Codes 0-16: element `index` (bounds checked, ArrayError);
    // 17 ISASSI, 18 NO (index ignored). No name has another code: asking
    // for one is the engine's fault (std::logic_error).
    std::int32_t get(std::int32_t code, std::int32_t index) const;
    std::int32_t& at(std::int32_t code, std::int32_t index);

    // 0 NAME, 1 CALLNAME (anything else: std::logic_error). Asking for
    // CALLNAME while it is empty first sets it to a copy of NAME.
    const std::string& getName(int which);
    void setName(int which, std::string text);

    void resetForTraining();  // PALAM SOURCE EX TEQUIP STAIN GOTJUEL = 0; STAIN 2,3,4 = 2,1,8
    void clearNowEx();
    void clearSource();

    // Direct access for loaders and savers (code 0-16).
    std::vector<std::int32_t>& array(std::int32_t code) { return arrays_[code]; }
    const std::vector<std::int32_t>& array(std::int32_t code) const { return arrays_[code]; }
    static std::size_t arraySize(std::int32_t code);

    std::int32_t no = -1;
    std::int32_t isAssi = 0;
    std::string name;
    std::string callName;

private:
    std::array<std::vector<std::int32_t>, kCharacterArrayCount> arrays_;
};

}  // namespace kiro
