// Classifying a statement's text by its upper-cased first word: an
// instruction keyword, else an assignment target with its operator. The
// loader classifies every statement to report the ones that fail; a
// function's lines are classified again, the same way, when they are made.
#pragma once

#include <string>
#include <string_view>

#include "script/script_line.h"

namespace kiro {

// What went wrong with a statement that could not be classified; each has
// its own third line in the loader's report.
enum class StatementFailure { None, NoOperator, StringOperator, UnknownWord };

// Fills the code, text, argument, target, targetIndex and targetCode of
// `out` (only on success). A first word with small letters is upper-cased
// into `word`, and target and targetIndex then point into it; otherwise
// `word` is left empty and everything points into `statement`. A statement
// cut off inside a double-byte character throws ArrayError.
StatementFailure classifyStatement(std::string_view statement, std::string& word, ScriptLine& out);
// The same verdict without the line, for the loader.
StatementFailure checkStatement(std::string_view statement, std::string& word);

}  // namespace kiro
