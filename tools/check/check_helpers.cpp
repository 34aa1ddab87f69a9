// Small helpers the checks share.
#include "checks.h"

#include "data/text.h"
#include "script/instruction_table.h"
#include "utf8_text.h"

namespace kiro::check {

void forEachDefinition(const ScriptProgram& program, const DefinitionVisitor& visit) {
    for (const auto& [name, definitions] : program.functions())
        for (const FunctionDefinition* definition : definitions) visit(name, *definition);
}

std::string pathOf(const FunctionDefinition& definition) { return "kst/" + definition.sourceFile; }

// A statement line always follows its function's header line in the same
// file bytes, so a line feed is found before the bytes begin.
std::int32_t columnOf(const ScriptLine& line, std::string_view piece) {
    const char* text = line.text.data();
    if (text == nullptr || piece.data() < text || piece.data() > text + line.text.size()) return 0;
    const char* start = text;
    while (start[-1] != '\n') --start;
    std::int32_t column = 1;
    for (const char* at = start; at < piece.data(); ++at, ++column)
        if (isLeadByte(*at) && at + 1 < piece.data()) ++at;
    return column;
}

Place placeOf(const FunctionDefinition& definition, const ScriptLine& line, std::string_view piece) {
    return Place{pathOf(definition), line.lineNumber, columnOf(line, piece)};
}

std::string quoted(std::string_view sjisText) { return "'" + utf8Of(sjisText) + "'"; }

std::string keywordOf(const ScriptLine& line) {
    std::string_view keyword = instructionKeyword(line.code);
    return keyword.empty() ? utf8Of(line.text) : std::string(keyword);
}

}  // namespace kiro::check
