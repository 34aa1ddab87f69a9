// The one tokeniser of integer expressions and the five reduction passes,
// shared by the text evaluator (which reads every operand as its term is
// made) and the expression compiler (which emits a step for it), so that
// both cut a text into the same terms and fold them in the same order.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/errors.h"
#include "script/operators.h"

namespace kiro {

// What the tokeniser sees in a byte.
enum CharClass : std::uint8_t {
    kOtherChar, kDigitChar, kLetterChar, kUnderscoreChar, kColonChar, kBlankChar,
    kMinusChar, kOperatorChar, kLeadChar,
};

inline constexpr std::array<CharClass, 256> kCharClasses = [] {
    std::array<CharClass, 256> classes{};
    for (int c = '0'; c <= '9'; ++c) classes[c] = kDigitChar;
    for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kLetterChar;
    for (int c = 0x81; c <= 0x9F; ++c) classes[c] = kLeadChar;
    for (int c = 0xE0; c <= 0xFC; ++c) classes[c] = kLeadChar;
    for (const OperatorRow& row : kOperators)
        for (unsigned char c : row.spelling) classes[c] = kOperatorChar;
    classes['-'] = kMinusChar;
    classes['_'] = kUnderscoreChar;
    classes[':'] = kColonChar;
    classes[' '] = kBlankChar;
    classes['\t'] = kBlankChar;
    return classes;
}();

inline CharClass classOf(char c) { return kCharClasses[static_cast<unsigned char>(c)]; }
inline bool isOperatorClass(CharClass k) { return k == kOperatorChar || k == kMinusChar; }

// operatorCodeAt's answer for a lone '=' or '!', which is no operator (error 17).
inline constexpr std::int32_t kLoneOperator = -2;

// The operators a byte can start, read off the operator table: the one-byte
// operator it is alone, and the two-byte one it makes with its next byte.
struct OperatorStart {
    std::int32_t alone = kLoneOperator;
    char second = '\0';
    std::int32_t pair = kLoneOperator;
};
inline constexpr std::array<OperatorStart, 256> kOperatorStarts = [] {
    std::array<OperatorStart, 256> starts{};
    for (std::size_t op = 0; op < kOperators.size(); ++op) {
        const std::string_view spelling = kOperators[op].spelling;
        OperatorStart& start = starts[static_cast<unsigned char>(spelling[0])];
        if (spelling.size() == 1) {
            start.alone = static_cast<std::int32_t>(op);
        } else {
            start.second = spelling[1];
            start.pair = static_cast<std::int32_t>(op);
        }
    }
    return starts;
}();

// The operator starting at text[at] (a byte of an operator's spelling); a
// two-byte operator is recognised by its second byte, which the tokeniser
// then skips as a stray character.
inline std::int32_t operatorCodeAt(std::string_view text, std::size_t at) {
    const OperatorStart& start = kOperatorStarts[static_cast<unsigned char>(text[at])];
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    return start.pair != kLoneOperator && next == start.second ? start.pair : start.alone;
}

// The tokeniser's working state, kept by its reader so that the buffers
// are reused: the operand being read and the passes the operators met use.
struct Tokens {
    std::string token;        // digits (after a '-'), a name, or the index text after the name's ':'
    std::string name;         // a variable's name once its first ':' has ended it
    bool isVariable = false;
    bool isGroup = false;     // a parenthesised group's value (readers that see groups)
    unsigned passes = 0;      // bit per reduction pass of the operators met

    std::string_view variableName() const { return name.empty() ? token : name; }
    std::string_view indexText() const { return name.empty() ? std::string_view() : std::string_view(token); }
    void clearOperand() {
        token.clear();
        name.clear();
        isVariable = isGroup = false;
    }
};

// Cuts text[begin, end of text) into terms, handing each operand with the
// operator after it to reader.term(tokens, op), the last with kNoOperator.
// A Reader has:
//   bool term(const Tokens&, std::int32_t op)  false stops the walk
//   bool fail(std::int32_t code)               the error the text raises here
//   kSeesGroups, std::size_t group()           a '(' stands for a group's value
//                                              whose ')' group() returns
// Returns false when the walk stopped.
template <class Reader>
bool tokenise(std::string_view text, std::size_t begin, Tokens& tokens, Reader& reader) {
    enum class State { Start, InNumber, InName, AfterOperand };
    tokens.clearOperand();
    tokens.passes = 0;
    bool minus = false;
    std::int32_t lastOp = kLoneOperator;  // none handed over yet
    State state = State::Start;
    for (std::size_t i = begin; i < text.size(); ++i) {
        const char c = text[i];
        if constexpr (Reader::kSeesGroups) {
            // A group's value stands where its text stood. On the text path
            // its digits arrive in Start with nothing pending, and what
            // follows must end them (a blank, an operator, the end), as
            // InNumber checks; then the parenthesis pass passing over the
            // byte after a one-digit value changes nothing, as that byte is
            // no parenthesis. Anything else: the reader gives up.
            if (c == '(') {
                if (state != State::Start || !tokens.token.empty() || !tokens.name.empty()) return false;
                i = reader.group();
                tokens.isGroup = true;
                state = State::InNumber;
                continue;
            }
        }
        const CharClass k = classOf(c);
        switch (state) {
            case State::Start:
                if (k == kDigitChar) {
                    tokens.token += c;
                    state = State::InNumber;
                } else if (k == kMinusChar) {
                    if (minus) return reader.fail(error_code::DoubleMinus);
                    tokens.token += c;
                    minus = true;
                } else if (k == kLetterChar) {
                    tokens.isVariable = true;
                    tokens.token += c;
                    state = State::InName;
                } else if (k == kLeadChar) {
                    return reader.fail(error_code::DoubleByte);
                }
                continue;  // anything else before an operand is skipped
            case State::InNumber:
                if (k != kDigitChar) break;
                if (tokens.isGroup) return false;  // digits joining a group's value
                tokens.token += c;
                continue;
            case State::InName:
                if (k == kLetterChar || k == kUnderscoreChar) {
                    tokens.token += c;
                    continue;
                }
                if (k != kColonChar) break;
                // The first ':' ends the name; later ones belong to the index.
                if (tokens.name.empty()) tokens.name.swap(tokens.token);
                else tokens.token += c;
                state = State::Start;
                continue;
            case State::AfterOperand:
                break;
        }
        // Past an operand: blanks lead up to an operator; any other byte is
        // an error, 14 after a number, 15 after a name, 16 after a blank.
        if (k == kBlankChar) {
            state = State::AfterOperand;
            continue;
        }
        if (!isOperatorClass(k)) {
            constexpr std::int32_t kStrayByte[] = {0, error_code::AfterNumber, error_code::AfterName,
                                                   error_code::NoOperatorAfterBlank};
            return reader.fail(kStrayByte[static_cast<int>(state)]);
        }
        // At an operator: it ends the pending operand's term.
        lastOp = operatorCodeAt(text, i);
        if (lastOp == kLoneOperator) return reader.fail(error_code::BadOperator);
        if (!reader.term(tokens, lastOp)) return false;
        tokens.passes |= 1u << passOf(lastOp);
        tokens.clearOperand();
        minus = false;
        state = State::Start;
    }
    if (!tokens.token.empty() || tokens.isGroup) {
        lastOp = kNoOperator;
        if (!reader.term(tokens, kNoOperator)) return false;
    }
    // No operand at all, or an operator with nothing after it.
    return lastOp == kNoOperator || reader.fail(error_code::BadOperator);
}

// One operand of a term list and the operator joining it to the next term.
template <class Value>
struct Term {
    Value value;
    std::int32_t op;
};

// Five left-to-right passes, one per precedence level; each folds a term
// into its left neighbour (fold(left, right)) while the operator between
// them is of the pass. `passes` has a bit per pass with operators.
template <class Value, class Fold>
void reduceTerms(std::vector<Term<Value>>& terms, unsigned passes, Fold fold) {
    for (int pass = 1; pass <= kPassCount && terms.size() > 1; ++pass) {
        if (!(passes & (1u << pass))) continue;
        std::size_t kept = 0;
        Term<Value> current = terms[0];
        for (std::size_t next = 1; next < terms.size(); ++next) {
            if (passOf(current.op) == pass) {
                fold(current, terms[next]);
                current.op = terms[next].op;
            } else {
                terms[kept++] = current;
                current = terms[next];
            }
        }
        terms[kept++] = current;
        terms.resize(kept);
    }
}

}  // namespace kiro
