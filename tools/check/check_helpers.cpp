// Small helpers the checks share.
#include "checks.h"

#include "script/instruction_table.h"
#include "utf8_text.h"

namespace kiro::check {

void forEachDefinition(const ScriptProgram& program, const DefinitionVisitor& visit) {
    for (const auto& [name, definitions] : program.functions())
        for (const FunctionDefinition* definition : definitions) visit(name, *definition);
}

std::string pathOf(const FunctionDefinition& definition) { return "kst/" + definition.sourceFile; }

std::string quoted(std::string_view sjisText) { return "'" + utf8Of(sjisText) + "'"; }

std::string keywordOf(const ScriptLine& line) {
    std::string_view keyword = instructionKeyword(line.code);
    return keyword.empty() ? utf8Of(line.text) : std::string(keyword);
}

}  // namespace kiro::check
