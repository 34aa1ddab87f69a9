// The expression evaluator: integer expressions over 32-bit values, single
// variable references, integer and string assignments.
//
// An expression is evaluated the language's own way: parenthesised groups
// are first replaced by their decimal value (textually), the rest is cut
// into a flat list of terms by a small state machine, and the list is
// reduced in five precedence passes. Operands are read left to right when
// their term is made, so every operand is read (RAND draws) even where && or
// || could decide early. Errors are CExecError with codes 2-24, or
// std::out_of_range for a bad character or per-character element index.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/character_record.h"

namespace kiro {

class VariableStore;

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

    VariableStore& store() { return store_; }

private:
    VariableStore& store_;
};

}  // namespace kiro
