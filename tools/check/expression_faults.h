// What a faulty expression or reference text says to its author: the kind
// of fault, the part of the text it is at, a message naming it and what to
// write instead, and names close to an unknown one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "finding.h"

namespace kiro::check {

// How the engine reads the text.
enum class TextUse {
    Expression,       // an integer expression, upper-cased first
    StringReference,  // "NAME:index" read as written
    Form,             // a PRINTFORM text: {expressions} and %string references%
    VariableReference,  // an integer "NAME:index" read as written (TIMES)
    Target,           // an assignment's target "NAME:index", upper-cased
};

struct TextFault {
    FindingCode code = FindingCode::ExpressionSyntax;
    std::string message;  // UTF-8; empty: nothing more precise to say than the engine's error
    std::size_t at = 0;   // byte offset in the text where the fault is
    std::vector<std::string> suggestions;
};

// The fault of `text` (Shift-JIS), which raises the engine's error `error`
// when used as `use`.
TextFault explainTextFault(std::string_view text, TextUse use, std::int32_t error);

}  // namespace kiro::check
