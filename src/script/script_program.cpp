// Function table of the loaded program, and the storage its lines point into.
#include "script/script_program.h"

#include "data/text.h"

namespace kiro {

FunctionDefinition& ScriptProgram::addFunction(const std::string& name, std::string sourceFile,
                                               std::int32_t headerLine) {
    auto def = std::make_unique<FunctionDefinition>();
    def->name = name;
    def->sourceFile = std::move(sourceFile);
    def->headerLine = headerLine;
    FunctionDefinition& ref = *def;
    storage_.push_back(std::move(def));
    byName_[name].push_back(&ref);
    return ref;
}

const FunctionDefinition* ScriptProgram::findFunction(std::string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second.front();
}

const std::vector<const FunctionDefinition*>& ScriptProgram::definitionsOf(std::string_view name) const {
    static const std::vector<const FunctionDefinition*> none;
    auto it = byName_.find(name);
    return it == byName_.end() ? none : it->second;
}

std::span<char> ScriptProgram::keepBytes(std::unique_ptr<char[]> bytes, std::size_t size) {
    files_.push_back(std::move(bytes));
    return {files_.back().get(), size};
}

bool hasAttribute(const FunctionDefinition& definition, std::int32_t attributeCode) {
    for (std::int32_t a : definition.attributes)
        if (a == attributeCode) return true;
    return false;
}

const LabelEntry* findLabel(const FunctionDefinition& definition, std::string_view name) {
    std::string wanted = upperCased(name);
    for (const LabelEntry& label : definition.labels)
        if (label.name == wanted) return &label;
    return nullptr;
}

}  // namespace kiro
