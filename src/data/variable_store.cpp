// The variable store: the two variable-name tables, the arrays at their
// fixed sizes, the character list and the RAND generator.
//
// The name lookups run for every variable reference the evaluator meets and
// for every assignment the loader classifies, so the tables are constant
// hash tables built at compile time: no allocation, one short hash.
#include "data/variable_store.h"

#include <algorithm>
#include <array>

#include "data/faults.h"

namespace kiro {
namespace {

struct NameEntry {
    std::string_view name;
    std::int32_t code;
};

constexpr bool byName(const NameEntry& a, const NameEntry& b) { return a.name < b.name; }

// Every integer variable except the one-letter A-Z, in byte order.
constexpr NameEntry kIntNames[] = {
    {"ABL", kAbl},           {"ASSI", kAssi},         {"ASSIPLAY", kAssiPlay},   {"BASE", kBase},
    {"BOUGHT", kBought},     {"CFLAG", kCflag},       {"CHARANUM", kCharaNum},   {"COUNT", kCount},
    {"DAY", kDay},           {"DOWN", kDown},         {"EJAC", kEjac},           {"EQUIP", kEquip},
    {"EX", kEx},             {"EXP", kExp},           {"EXPLV", kExpLv},         {"FLAG", kFlag},
    {"GOTJUEL", kGotJuel},   {"ISASSI", kIsAssi},     {"ITEM", kItem},           {"ITEMSALES", kItemSales},
    {"JUEL", kJuel},         {"LOSEBASE", kLoseBase}, {"MARK", kMark},           {"MASTER", kMaster},
    {"MAXBASE", kMaxBase},   {"MONEY", kMoney},       {"NEXTCOM", kNextCom},     {"NO", kNo},
    {"NOITEM", kNoItem},     {"NOWEX", kNowEx},       {"PALAM", kPalam},         {"PALAMLV", kPalamLv},
    {"PBAND", kPband},       {"PLAYER", kPlayer},     {"PREVCOM", kPrevCom},     {"RAND", kRand},
    {"RELATION", kRelation}, {"RESULT", kResult},     {"SELECTCOM", kSelectCom}, {"SOURCE", kSource},
    {"STAIN", kStain},       {"TALENT", kTalent},     {"TARGET", kTarget},       {"TEQUIP", kTequip},
    {"TFLAG", kTflag},       {"TIME", kTime},         {"UP", kUp},
};

constexpr NameEntry kStringNames[] = {
    {"ABLNAME", kAblName},   {"CALLNAME", kCallName}, {"EXPNAME", kExpName},     {"ITEMNAME", kItemName},
    {"MARKNAME", kMarkName}, {"NAME", kName},         {"PALAMNAME", kPalamName}, {"RESULTS", kResults},
    {"SAVESTR", kSaveStr},   {"STR", kStr},           {"TALENTNAME", kTalentName},
};

static_assert(std::is_sorted(std::begin(kIntNames), std::end(kIntNames), byName));
static_assert(std::is_sorted(std::begin(kStringNames), std::end(kStringNames), byName));

// The names also sit in an open-addressing hash table built at compile
// time, so that a lookup (one per statement for the loader) hashes the name
// once and compares about one entry.
constexpr std::size_t kNameSlots = 128;  // a power of two, over twice the longer table

constexpr std::size_t hashName(std::string_view name) {
    const auto first = static_cast<unsigned char>(name.front());
    const auto last = static_cast<unsigned char>(name.back());
    return (name.size() * 7 + first * 3 + last) & (kNameSlots - 1);
}

using NameSlots = std::array<NameEntry, kNameSlots>;  // an empty name: an empty slot

template <std::size_t N>
constexpr NameSlots hashed(const NameEntry (&table)[N]) {
    static_assert(N * 2 < kNameSlots);
    NameSlots slots{};
    for (const NameEntry& entry : table) {
        std::size_t at = hashName(entry.name);
        while (!slots[at].name.empty()) at = (at + 1) & (kNameSlots - 1);
        slots[at] = entry;
    }
    return slots;
}

constexpr NameSlots kIntNameSlots = hashed(kIntNames);
constexpr NameSlots kStringNameSlots = hashed(kStringNames);

std::optional<std::int32_t> findName(const NameSlots& slots, std::string_view name) {
    if (name.empty()) return std::nullopt;
    for (std::size_t at = hashName(name); !slots[at].name.empty(); at = (at + 1) & (kNameSlots - 1))
        if (slots[at].name == name) return slots[at].code;
    return std::nullopt;
}

constexpr std::size_t kGlobalLength = 1000;
constexpr std::size_t kFlagLength = 10000;
constexpr std::size_t kStrLength = 20000;
constexpr std::size_t kShortStringLength = 100;  // RESULTS, SAVESTR
constexpr std::size_t kTemplateSlots = 100;

}  // namespace

VariableStore::VariableStore() : templates(kTemplateSlots) {
    for (std::int32_t code = kFirstGlobalCode; code < kGlobalSlots; ++code)
        globalArrays[code].assign(kGlobalLength, 0);
    globalArrays[kFlag].assign(kFlagLength, 0);
    stringArrays[kResults].resize(kShortStringLength);
    stringArrays[kSaveStr].resize(kShortStringLength);
}

std::optional<std::int32_t> VariableStore::lookupIntVariable(std::string_view name) {
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') return kLetterA + (name[0] - 'A');
    return findName(kIntNameSlots, name);
}

std::optional<std::int32_t> VariableStore::lookupStringVariable(std::string_view name) {
    return findName(kStringNameSlots, name);
}

std::vector<std::string> VariableStore::intVariableNames() {
    std::vector<std::string> names;
    for (const NameEntry& entry : kIntNames) names.emplace_back(entry.name);
    for (char letter = 'A'; letter <= 'Z'; ++letter) names.emplace_back(1, letter);
    return names;
}

std::vector<std::string> VariableStore::stringVariableNames() {
    std::vector<std::string> names;
    for (const NameEntry& entry : kStringNames) names.emplace_back(entry.name);
    return names;
}

CharacterRecord& VariableStore::characterAt(std::int32_t index) {
    return characters[checkedIndex(index, characters.size())];
}

void VariableStore::addCharacter(const CharacterRecord& record) {
    if (characterCount() >= kMaxCharacters) throwArrayError();
    characters.push_back(record);
}

void VariableStore::removeCharacter(std::int32_t index) {
    characters.erase(characters.begin() + static_cast<std::ptrdiff_t>(checkedIndex(index, characters.size())));
}

void VariableStore::makeStr() { stringArrays[kStr].resize(kStrLength); }

CharacterRecord& VariableStore::templateAt(std::int32_t slot) {
    std::optional<CharacterRecord>& entry = templates[checkedIndex(slot, templates.size())];
    if (!entry) entry.emplace();
    return *entry;
}

const CharacterRecord* VariableStore::findTemplate(std::int32_t no, std::int32_t cflag0) const {
    static const CharacterRecord blank;  // what a slot not made yet holds
    for (const std::optional<CharacterRecord>& entry : templates) {
        const CharacterRecord& candidate = entry ? *entry : blank;
        if (candidate.no == no && candidate.get(kCflag, 0) == cflag0) return &candidate;
    }
    return nullptr;
}

std::int32_t VariableStore::randomBelow(std::int32_t n) {
    if (n == 0) return 0;
    randomState = randomState * 214013u + 2531011u;
    auto r = static_cast<std::int32_t>((randomState >> 16) & 32767u);
    // r is never negative, so r % n is defined for every other n and has
    // the C sign rule: a negative n gives the same 0..|n|-1 as |n|.
    return r % n;
}

}  // namespace kiro
