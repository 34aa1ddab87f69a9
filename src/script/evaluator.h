// The expression evaluator: integer expressions over 32-bit values, single
// variable references, integer and string assignments.
//
// An expression is evaluated the language's own way: parenthesised groups
// are first replaced by their decimal value (textually), the rest is cut
// into a flat list of terms by a small state machine, and the list is
// reduced in five precedence passes. Operands are read left to right when
// their term is made, so every operand is read (RAND draws) even where && or
// || could decide early. Errors are CExecError with codes 2-24, or
// ArrayError for a bad character or per-character element index.
//
// This text path is the reference. Script lines run their expressions from
// the parsed form of expression_code.h where they can; run() and the
// *Reference functions carry that form out with the same results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/character_record.h"
#include "script/expression_syntax.h"

namespace kiro {

class VariableStore;
struct ExpressionCode;
struct IndexOperand;
struct VariableRef;

class Evaluator {
public:
    explicit Evaluator(VariableStore& store) : store_(store) {}

    std::int32_t evaluateExpression(std::string_view text);

    // "NAME" or "NAME:index text", cut at the first ':'.
    std::int32_t readVariableRef(std::string_view text);
    std::int32_t readVariable(std::string_view name, std::string_view indexText);
    void assignVariable(AssignKind kind, std::string_view name, std::string_view indexText, std::int32_t value);
    void assignVariableRef(AssignKind kind, std::string_view text, std::int32_t value);

    // String references always carry an index ("NAME:TARGET", "STR:5").
    std::string readStringVariable(std::string_view text);
    void assignStringVariable(std::string_view name, std::string_view indexText, std::string_view text);

    // The parsed forms (expression_code.h).
    std::int32_t run(const ExpressionCode& code);
    std::int32_t readReference(const VariableRef& ref);
    void assignReference(AssignKind kind, const VariableRef& ref, std::int32_t value);

    VariableStore& store() { return store_; }

private:
    struct ValueReader;  // reads the tokeniser's operands
    // A parenthesised group being scanned: positions in text_, and where
    // its text with inner groups replaced begins in groupText_.
    struct Group {
        std::size_t pos, end, textStart;
    };
    // The numeric index parts of a reference ("5", "TARGET:3").
    struct IndexParts {
        std::int32_t first = 0;
        bool hasSecond = false;
        std::int32_t second = 0;
    };

    std::int32_t evaluateGroups();
    void openGroup(std::size_t open);
    std::size_t matchTopLevelGroup(std::size_t open);
    void closeGroup();
    std::int32_t evaluateTerms(std::string_view text);
    IndexParts indexParts(const VariableRef& ref);
    std::int32_t indexPart(const IndexOperand& part);
    CharacterRecord& characterOf(const IndexParts& parts);
    // A known variable's code with its index parts already read.
    std::int32_t readCode(std::int32_t code, const IndexParts& parts);
    // The element an assignment to `ref` changes, its index parts read.
    std::int32_t& assignedEntry(const VariableRef& ref);

    VariableStore& store_;
    // Buffers reused by every evaluation, so that evaluating allocates
    // nothing once they have grown.
    std::string text_;                  // the trimmed, upper-cased expression
    std::string groupText_;             // group texts with inner groups replaced, innermost last
    std::vector<Group> groups_;         // the groups being scanned, outermost first
    std::vector<std::size_t> closing_;  // position of the ')' of each '(' of a closed group
    std::vector<std::size_t> opens_;    // unclosed '(' while matching
    std::vector<Term<std::int32_t>> terms_;
    Tokens tokens_;
};

}  // namespace kiro
