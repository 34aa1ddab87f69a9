// Statement classification: the first word ends at a blank, is upper-cased,
// and is looked up as an instruction keyword, then as an integer or string
// variable name (before its first ':').
#include "script/statement_classifier.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "data/text.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/instruction_table.h"

namespace kiro {
namespace {

struct AssignOperator {
    std::int32_t kind;        // AssignKind: 0 '=', 1 '+=' ... 7 '|='
    std::size_t valueStart;   // where the right-hand side begins
};

// What each byte starts: 0 for '=', the compound operators "+-*/%&|"
// (with '=' after them) 1 to 7 in AssignKind order, -1 nothing.
constexpr std::array<std::int8_t, 256> kOperatorBytes = [] {
    std::array<std::int8_t, 256> bytes{};
    bytes.fill(-1);
    constexpr std::string_view kOperators = "=+-*/%&|";
    for (std::size_t kind = 0; kind < kOperators.size(); ++kind)
        bytes[static_cast<unsigned char>(kOperators[kind])] = static_cast<std::int8_t>(kind);
    return bytes;
}();

// Finds the first assignment operator anywhere in `rest`. The last byte is
// never looked at, so a rest of fewer than two bytes has no operator.
bool findAssignOperator(std::string_view rest, AssignOperator& found) {
    for (std::size_t p = 0; p + 1 < rest.size(); ++p) {
        const std::int8_t kind = kOperatorBytes[static_cast<unsigned char>(rest[p])];
        if (kind == 0) {
            found = {0, p + 1};
            return true;
        }
        if (kind > 0 && rest[p + 1] == '=') {
            found = {kind, p + 2};
            return true;
        }
    }
    return false;
}

// What the first word's scan sees in a byte; the first two are the common
// case, told apart by one bit.
enum WordByte : std::uint8_t { kOtherByte = 0, kSmallByte = 1, kLeadByte = 2, kBlankByte = 3 };

constexpr std::array<WordByte, 256> kWordBytes = [] {
    std::array<WordByte, 256> bytes{};
    for (int c = 0; c < 256; ++c)
        if (isLeadByte(static_cast<char>(c))) bytes[c] = kLeadByte;
    for (int c = 'a'; c <= 'z'; ++c) bytes[c] = kSmallByte;
    bytes[' '] = bytes['\t'] = kBlankByte;
    return bytes;
}();

WordByte wordByte(char c) { return kWordBytes[static_cast<unsigned char>(c)]; }

// How many bytes from the start are plain: 0x21-0x60 (capitals, digits and
// most punctuation), which neither end the first word nor change when
// upper-cased. Eight bytes are looked at together; the lowest odd byte of
// eight is found exactly, since sums of the plain bytes below it carry
// nothing upwards. Most first words are all plain.
std::size_t plainBytes(std::string_view text) {
    std::size_t at = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101, kHigh = kOnes * 0x80;
        while (at + 8 <= text.size()) {
            std::uint64_t eight;
            std::memcpy(&eight, text.data() + at, 8);
            // high bit of each byte: 0x80 and up, below 0x21, or 0x61 and up
            const std::uint64_t odd = (eight | ~(eight + kOnes * 0x5F) | (eight + kOnes * 0x1F)) & kHigh;
            if (odd != 0) return at + static_cast<std::size_t>(std::countr_zero(odd) / 8);
            at += 8;
        }
    }
    return at;
}

// The first word ends at a blank; a double-byte character never ends it,
// not even when its second byte is a blank. Notes whether any of its bytes
// is a small letter (which upper-casing changes, second bytes too).
[[gnu::always_inline]] inline std::size_t firstWordEnd(std::string_view statement, bool& smallLetters) {
    const std::size_t size = statement.size();
    std::size_t end = plainBytes(statement);
    while (end < size && wordByte(statement[end]) == kOtherByte) ++end;
    unsigned seen = 0;  // kSmallByte once a small letter was seen
    while (end < size) {
        const WordByte byte = wordByte(statement[end]);
        if (byte == kBlankByte) break;
        if (byte == kLeadByte) {
            if (end + 1 >= size) throwArrayError();  // the statement ends inside a double-byte character
            seen |= wordByte(statement[++end]) == kSmallByte ? kSmallByte : 0;
        } else {
            seen |= byte;
        }
        ++end;
    }
    smallLetters = seen != 0;
    return end;
}

// The first word (upper-cased) is an assignment target "NAME" or
// "NAME:INDEX". Without a blank before the operator ("A=5") the whole thing
// is one unknown word. `out` is filled when there is one.
template <bool kFill>
StatementFailure classifyAssignment(std::string_view statement, std::string_view word, std::string_view rest,
                                    ScriptLine* out) {
    const std::size_t colon = word.find(':');
    const std::string_view name = word.substr(0, colon);

    AssignOperator op{};
    std::int32_t code = kNoOp;
    std::int32_t target = -1;
    if (std::optional<std::int32_t> found = VariableStore::lookupIntVariable(name)) {
        if (!findAssignOperator(rest, op)) return StatementFailure::NoOperator;
        code = kIntAssign + op.kind;
        target = *found;
    } else if (std::optional<std::int32_t> found = VariableStore::lookupStringVariable(name)) {
        if (!findAssignOperator(rest, op) || op.kind != 0) return StatementFailure::StringOperator;
        code = kStrAssign;
        target = *found;
    } else {
        return StatementFailure::UnknownWord;
    }
    if constexpr (kFill) {
        out->code = code;
        out->targetCode = target;
        out->text = statement;
        out->argument = trimBlanks(rest.substr(op.valueStart));
        out->target = name;
        out->targetIndex = colon == std::string_view::npos ? std::string_view{} : word.substr(colon + 1);
    }
    return StatementFailure::None;
}

template <bool kFill>
StatementFailure classify(std::string_view statement, std::string& word, ScriptLine* out) {
    bool smallLetters = false;
    const std::size_t end = firstWordEnd(statement, smallLetters);
    // A keyword alone on its line is its own argument: "ENDIF" has the
    // argument "ENDIF", so "CALL" calls the function CALL.
    const std::string_view rest = end < statement.size() ? statement.substr(end + 1) : statement;
    std::string_view upper = statement.substr(0, end);
    word.clear();
    if (smallLetters) {
        word.assign(upper);
        upperCaseInPlace(word);
        upper = word;
    }
    if (std::optional<std::int32_t> code = lookupInstruction(upper)) {
        if constexpr (kFill) {
            out->code = *code;
            out->text = statement;
            out->argument = rest;
        }
        return StatementFailure::None;
    }
    return classifyAssignment<kFill>(statement, upper, rest, out);
}

}  // namespace

StatementFailure classifyStatement(std::string_view statement, std::string& word, ScriptLine& out) {
    return classify<true>(statement, word, &out);
}

StatementFailure checkStatement(std::string_view statement, std::string& word) {
    return classify<false>(statement, word, nullptr);
}

}  // namespace kiro
