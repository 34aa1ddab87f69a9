// The loaded script program: functions of classified lines, with their
// labels and attributes, looked up by name.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiro {

// Codes a ScriptLine can carry besides the instruction codes 0-54.
inline constexpr std::int32_t kNoOp = -1;
inline constexpr std::int32_t kIntAssign = 10000;  // + AssignKind (0-7)
inline constexpr std::int32_t kStrAssign = 11000;

enum AttributeCode : std::int32_t { kSingle = 0, kPri = 1, kLater = 2 };

struct ScriptLine {
    std::int32_t lineNumber = 0;
    std::int32_t code = kNoOp;
    std::string text;         // statement text from its first non-blank byte (after a '?')
    std::string argument;     // see the loader: instruction argument, assignment right-hand side, label name
    std::string target;       // assignments: variable name, upper-cased
    std::string targetIndex;  // assignments: text after the first ':' of the target word, upper-cased
    // Variable code of `target`, resolved at load time (-1 when not an assignment).
    std::int32_t targetCode = -1;
};

struct LabelEntry {
    std::int32_t lineNumber = 0;
    std::string name;
};

struct FunctionDefinition {
    std::string sourceFile;
    std::int32_t headerLine = 0;
    std::vector<ScriptLine> lines;
    std::vector<LabelEntry> labels;
    std::vector<std::int32_t> attributes;
};

class ScriptProgram {
public:
    // Adds a definition after any existing ones of the same name.
    FunctionDefinition& addFunction(const std::string& name, std::string sourceFile, std::int32_t headerLine);

    const FunctionDefinition* findFunction(std::string_view name) const;
    // All definitions of a name, in load order (empty when there is none).
    const std::vector<const FunctionDefinition*>& definitionsOf(std::string_view name) const;
    // Every name with its definitions, for tools that inspect a whole game.
    const std::map<std::string, std::vector<const FunctionDefinition*>, std::less<>>& functions() const {
        return byName_;
    }

private:
    std::vector<std::unique_ptr<FunctionDefinition>> storage_;
    std::map<std::string, std::vector<const FunctionDefinition*>, std::less<>> byName_;
};

bool hasAttribute(const FunctionDefinition& definition, std::int32_t attributeCode);
// First label whose name equals the upper-cased query, or null.
const LabelEntry* findLabel(const FunctionDefinition& definition, std::string_view name);

}  // namespace kiro
