// Variable references: reading and assigning one integer or string
// variable named by text, resolved against the store's name tables.
//
// An index text has at most two parts, "first" and "first:second"; each is
// a number or a bare variable name. With a second part, a per-character
// variable addresses character `first`, element `second`; without one, the
// TARGET character, element `first`. A second part of -1 counts as absent.
#include <utility>

#include "data/text.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/expression_code.h"

namespace kiro {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One index part: a number when it starts with a digit, otherwise the name
// of a variable read without an index.
IndexOperand resolveIndexPart(std::string_view part) {
    if (!part.empty() && isDigit(part[0])) return {IndexOperand::kNumber, decimalValue(part)};
    const std::optional<std::int32_t> code = VariableStore::lookupIntVariable(trimBlanks(part));
    return code ? IndexOperand{IndexOperand::kVariable, *code} : IndexOperand{IndexOperand::kUnknown, 0};
}

// "first" or "first:second" into ref; an empty text has no parts.
void resolveIndex(std::string_view indexText, VariableRef& ref) {
    if (indexText.empty()) return;
    const std::size_t colon = indexText.find(':');
    ref.first = resolveIndexPart(indexText.substr(0, colon));
    if (colon != std::string_view::npos && colon + 1 < indexText.size())
        ref.second = resolveIndexPart(indexText.substr(colon + 1));
}

bool isCharacterArray(std::int32_t code) { return code >= 0 && code < kCharacterArrayCount; }

// ISASSI and NO; 19 lies in the per-character range but has no name.
bool isCharacterScalar(std::int32_t code) { return code >= kIsAssi && code < kFirstGlobalCode; }

// "NAME:index" cut at its first ':'; no ':' gives an empty index text.
std::pair<std::string_view, std::string_view> cutReference(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return {text, {}};
    return {text.substr(0, colon), text.substr(colon + 1)};
}

bool inside(std::int32_t index, std::size_t size) { return static_cast<std::uint32_t>(index) < size; }

}  // namespace

VariableRef resolveReference(std::string_view name, std::string_view indexText) {
    VariableRef ref;
    if (std::optional<std::int32_t> code = VariableStore::lookupIntVariable(trimBlanks(name))) ref.code = *code;
    resolveIndex(trimBlanks(indexText), ref);
    return ref;
}

// The character a per-character array reference addresses.
CharacterRecord& Evaluator::characterOf(const IndexParts& parts) {
    return store_.characterAt(parts.hasSecond ? parts.first : store_.at(kTarget));
}

std::int32_t Evaluator::readVariableRef(std::string_view text) {
    auto [name, indexText] = cutReference(text);
    return readVariable(name, indexText);
}

// The index parts are read first, in order, then the name is looked at.
std::int32_t Evaluator::indexPart(const IndexOperand& part) {
    switch (part.kind) {
        case IndexOperand::kNumber: return part.value;
        case IndexOperand::kVariable: return readCode(part.value, IndexParts{});
        case IndexOperand::kUnknown: throw CExecError(error_code::ReadUnknownName);
        case IndexOperand::kAbsent: break;
    }
    return 0;
}

Evaluator::IndexParts Evaluator::indexParts(const VariableRef& ref) {
    IndexParts parts;
    if (ref.first.kind != IndexOperand::kAbsent) parts.first = indexPart(ref.first);
    if (ref.second.kind != IndexOperand::kAbsent) {
        parts.second = indexPart(ref.second);
        parts.hasSecond = parts.second != -1;
    }
    return parts;
}

std::int32_t Evaluator::readVariable(std::string_view name, std::string_view indexText) {
    return readReference(resolveReference(name, indexText));
}

std::int32_t Evaluator::readReference(const VariableRef& ref) {
    const IndexParts parts = indexParts(ref);
    if (ref.code < 0) throw CExecError(error_code::ReadUnknownName);
    return readCode(ref.code, parts);
}

std::int32_t Evaluator::readCode(std::int32_t code, const IndexParts& parts) {
    if (isCharacterArray(code))
        return characterOf(parts).get(code, parts.hasSecond ? parts.second : parts.first);
    if (isCharacterScalar(code)) return store_.characterAt(parts.first).get(code, 0);
    if (code == kRand) return store_.randomBelow(parts.first);
    if (code == kCharaNum) return store_.characterCount();
    if (code < 0 || code >= kGlobalSlots) throw CExecError(error_code::ReadSlot);
    const std::vector<std::int32_t>& entries = store_.global(code);
    if (!inside(parts.first, entries.size())) throw CExecError(error_code::ReadIndex);
    return entries[static_cast<std::size_t>(parts.first)];
}

void Evaluator::assignVariableRef(AssignKind kind, std::string_view text, std::int32_t value) {
    auto [name, indexText] = cutReference(text);
    assignVariable(kind, name, indexText, value);
}

void Evaluator::assignVariable(AssignKind kind, std::string_view name, std::string_view indexText,
                               std::int32_t value) {
    assignReference(kind, resolveReference(name, indexText), value);
}

void Evaluator::assignReference(AssignKind kind, const VariableRef& ref, std::int32_t value) {
    // Most targets are a global element with a number for index ("A",
    // "FLAG:3"): nothing to read first, one bounds check.
    const bool numberIndex = ref.first.kind == IndexOperand::kAbsent || ref.first.kind == IndexOperand::kNumber;
    std::int32_t* entry;
    if (numberIndex && ref.second.kind == IndexOperand::kAbsent && ref.code >= kFirstGlobalCode &&
        ref.code < kGlobalSlots) {
        std::vector<std::int32_t>& entries = store_.global(ref.code);
        if (!inside(ref.first.value, entries.size())) throw CExecError(error_code::AssignIndex);
        entry = &entries[static_cast<std::size_t>(ref.first.value)];
    } else {
        entry = &assignedEntry(ref);
    }
    *entry = applyAssign(kind, *entry, value);  // raises before storing on a zero divisor
}

std::int32_t& Evaluator::assignedEntry(const VariableRef& ref) {
    const IndexParts parts = indexParts(ref);
    if (ref.code < 0) throw CExecError(error_code::AssignUnknownName);
    const std::int32_t code = ref.code;
    if (isCharacterArray(code)) return characterOf(parts).at(code, parts.hasSecond ? parts.second : parts.first);
    if (isCharacterScalar(code)) return store_.characterAt(parts.first).at(code, 0);
    // RAND and CHARANUM land here too: their storage is never read back.
    if (code >= kGlobalSlots) throw CExecError(error_code::AssignSlot);
    std::vector<std::int32_t>& entries = store_.global(code);
    if (!inside(parts.first, entries.size())) throw CExecError(error_code::AssignIndex);
    return entries[static_cast<std::size_t>(parts.first)];
}

std::string Evaluator::readStringVariable(std::string_view text) {
    auto [name, indexText] = cutReference(text);
    // A string index is one number or one bare name; an empty index text
    // is a name no table holds.
    const std::int32_t index = indexPart(resolveIndexPart(indexText));
    const std::optional<std::int32_t> found = VariableStore::lookupStringVariable(name);
    if (!found) throw CExecError(error_code::StringUnknownName);
    const std::int32_t code = *found;
    if (code == kName || code == kCallName) return store_.characterAt(index).getName(code);
    if (code >= kAblName && code <= kItemName) {
        // A number the table has no entry for reads as the empty text.
        const NameTable& table = store_.nameTable(code);
        auto entry = table.find(index);
        return entry == table.end() ? std::string() : entry->second;
    }
    if (code < 0 || code >= kStringSlots) throw CExecError(error_code::StringSlot);
    const std::vector<std::string>& entries = store_.strings(code);
    if (!inside(index, entries.size())) throw CExecError(error_code::StringIndex);
    return entries[static_cast<std::size_t>(index)];
}

void Evaluator::assignStringVariable(std::string_view name, std::string_view indexText,
                                     std::string_view text) {
    VariableRef ref;
    resolveIndex(indexText, ref);  // as written: blanks around it count
    const IndexParts parts = indexParts(ref);
    const std::optional<std::int32_t> found = VariableStore::lookupStringVariable(name);
    if (!found) throw CExecError(error_code::AssignUnknownName);
    const std::int32_t code = *found;
    if (code == kName || code == kCallName) {
        // Without a second part the TARGET character's name changes, whatever
        // the first part says.
        characterOf(parts).setName(code, std::string(text));
        return;
    }
    if (code < 0 || code >= kStringSlots) throw CExecError(error_code::AssignSlot);
    // The name tables have no string array: assigning to them raises 6.
    std::vector<std::string>& entries = store_.strings(code);
    if (!inside(parts.first, entries.size())) throw CExecError(error_code::AssignIndex);
    entries[static_cast<std::size_t>(parts.first)].assign(text);
}

}  // namespace kiro
