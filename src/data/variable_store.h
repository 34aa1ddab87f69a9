// The variable store: every value scripts and the game loop read and write.
// Global integer arrays (codes 20-79), global string arrays, the six name
// tables, the active character list, the 100 character templates, the
// training command names, item prices and the RAND generator.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/character_record.h"

namespace kiro {

// Global integer variable codes (the integer variable table's codes 20-79).
enum GlobalCode : std::int32_t {
    kDay = 20, kMoney = 21, kItem = 22, kFlag = 23, kTflag = 24, kUp = 25, kPalamLv = 26,
    kExpLv = 27, kEjac = 28, kDown = 29, kResult = 30, kCount = 31, kTarget = 32, kAssi = 33,
    kMaster = 34, kNoItem = 35, kLoseBase = 36, kSelectCom = 37, kAssiPlay = 38, kPrevCom = 39,
    kRand = 40, kCharaNum = 41, kTime = 42, kItemSales = 43, kPlayer = 44, kNextCom = 45,
    kPband = 46, kBought = 47, kLetterA = 50, kLetterZ = 75,
};
inline constexpr std::int32_t kGlobalSlots = 80;       // globalArrays has codes 0-79
inline constexpr std::int32_t kFirstGlobalCode = 20;   // 20-79 have storage

// String variable codes.
enum StringCode : std::int32_t {
    kName = 0, kCallName = 1, kAblName = 2, kTalentName = 3, kExpName = 4, kMarkName = 5,
    kPalamName = 6, kItemName = 7, kStr = 10, kResults = 11, kSaveStr = 12,
};
inline constexpr std::int32_t kStringSlots = 70;

using NameTable = std::map<std::int32_t, std::string>;

// The character list never holds more than this many characters, and a save
// declaring more is unreadable: a script adding characters for ever gets the
// array error instead of exhausting the memory.
inline constexpr std::int32_t kMaxCharacters = 10000;

class VariableStore {
public:
    VariableStore();  // builds both name tables and every array at its fixed size

    // Name tables: exact, case-sensitive lookups.
    static std::optional<std::int32_t> lookupIntVariable(std::string_view name);
    static std::optional<std::int32_t> lookupStringVariable(std::string_view name);
    // Every name of each table (the letters A-Z last), for tools that name
    // the variable a script may have meant.
    static std::vector<std::string> intVariableNames();
    static std::vector<std::string> stringVariableNames();

    // Global integer arrays by code; slots 0-19 are empty vectors.
    std::vector<std::int32_t>& global(std::int32_t code) { return globalArrays[code]; }
    std::int32_t& at(std::int32_t code, std::int32_t index = 0) { return globalArrays[code][index]; }

    // String arrays by code (STR, RESULTS, SAVESTR); other slots empty.
    // STR gets its 20000 entries when first asked for: most games use few.
    std::vector<std::string>& strings(std::int32_t code) {
        std::vector<std::string>& entries = stringArrays[code];
        if (code == kStr && entries.empty()) [[unlikely]] makeStr();
        return entries;
    }
    void makeStr();

    // Name table for StringCode 2-7.
    NameTable& nameTable(std::int32_t stringCode) { return nameTables[stringCode - kAblName]; }

    // Character list.
    std::int32_t characterCount() const { return static_cast<std::int32_t>(characters.size()); }
    CharacterRecord& characterAt(std::int32_t index);  // ArrayError outside 0..count-1
    void addCharacter(const CharacterRecord& record);  // ArrayError when kMaxCharacters are there
    void removeCharacter(std::int32_t index);          // ArrayError outside the list
    CharacterRecord& templateAt(std::int32_t slot);    // ArrayError outside 0-99
    // The first template (from slot 0 up) with this NO and CFLAG:0, or null.
    const CharacterRecord* findTemplate(std::int32_t no, std::int32_t cflag0) const;

    // RAND: 0 for n == 0, else next() % n with C remainder semantics.
    std::int32_t randomBelow(std::int32_t n);
    void seedRandom(std::uint32_t seed) { randomState = seed; }
    std::uint32_t randomState = 1;

    std::array<std::vector<std::int32_t>, kGlobalSlots> globalArrays;
    // Reached through strings() only, except SAVESTR by the save file.
    std::array<std::vector<std::string>, kStringSlots> stringArrays;
    std::array<NameTable, 6> nameTables;  // ABLNAME .. ITEMNAME
    std::vector<CharacterRecord> characters;
    // 100 slots. A slot is made blank when first asked for, so that a game
    // using few of them does not clear and hold them all.
    std::vector<std::optional<CharacterRecord>> templates;
    NameTable trainNames;
    std::map<std::int32_t, std::int32_t> itemPrices;
};

}  // namespace kiro
