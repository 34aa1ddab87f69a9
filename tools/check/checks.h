// The checks run over a loaded game. Each looks at one kind of fault and
// adds what it finds; none changes the game.
#pragma once

#include <functional>
#include <string>

#include "finding.h"
#include "game_loader.h"

namespace kiro::check {

// IF/ELSEIF/ELSE/ENDIF and REPEAT/REND/CONTINUE/BREAK balance per function.
void checkBlocks(const LoadedGame& game, Findings& findings);
// GOTO labels, CALL/JUMP functions and BEGIN targets that do not exist.
void checkReferences(const LoadedGame& game, Findings& findings);
// Expressions and references that fail whatever the variables hold.
void checkExpressions(const LoadedGame& game, Findings& findings);
// Training commands, entry point names, ADDCHARA numbers, duplicate functions.
void checkGameRules(const LoadedGame& game, Findings& findings);
// Line ends kiro reads differently from the author: a last line without a
// line feed, CR-only line ends. Looks at the files' bytes, so it runs
// whether or not the game loads.
void checkLineEnds(const std::string& gameDir, Findings& findings);
// Legal lines that misbehave silently, and what the game loop needs.
void checkTraps(const LoadedGame& game, Findings& findings);
// Loops, CALL, JUMP and GOTO followed through the functions they run.
void checkFlow(const LoadedGame& game, Findings& findings);

// Shared by the checks --------------------------------------------------

// Every definition of every function name, with its name.
using DefinitionVisitor = std::function<void(const std::string& name, const FunctionDefinition& definition)>;
void forEachDefinition(const ScriptProgram& program, const DefinitionVisitor& visit);

// "kst/a.kst", where findings about a definition's lines go.
std::string pathOf(const FunctionDefinition& definition);

// The 1-based column (in characters) where `piece` starts in its line, for
// a piece of the line's statement text (its keyword, an operand); 0 when
// it is no part of it (a text the loader upper-cased into a copy).
std::int32_t columnOf(const ScriptLine& line, std::string_view piece);
// Where a piece of a definition's line is.
Place placeOf(const FunctionDefinition& definition, const ScriptLine& line, std::string_view piece);

// A script text for a message: UTF-8 between single quotes, so that blanks
// at either end stay visible.
std::string quoted(std::string_view sjisText);

// The keyword of an instruction code ("IF"), or the statement's own text
// for assignments.
std::string keywordOf(const ScriptLine& line);

}  // namespace kiro::check
