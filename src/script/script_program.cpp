// Function table of the loaded program, and the storage its lines point into.
#include "script/script_program.h"

#include "data/text.h"

namespace kiro {

FunctionDefinition& ScriptProgram::addFunction(std::string name, std::string sourceFile, std::int32_t headerLine) {
    FunctionDefinition& def = storage_.emplace_back();
    def.name = std::move(name);
    def.sourceFile = std::move(sourceFile);
    def.headerLine = headerLine;
    SameName& same = byName_[def.name];
    if (!same.first) {
        same.first = &def;
    } else {
        if (same.all.empty()) same.all.push_back(same.first);
        same.all.push_back(&def);
    }
    sorted_.reset();
    return def;
}

const FunctionDefinition* ScriptProgram::findFunction(std::string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second.first;
}

ScriptProgram::Definitions ScriptProgram::definitionsOf(std::string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? Definitions() : it->second.definitions();
}

const ScriptProgram::FunctionsByName& ScriptProgram::functions() const {
    if (!sorted_) {
        sorted_ = std::make_unique<FunctionsByName>();
        for (const auto& [name, same] : byName_) {
            const Definitions definitions = same.definitions();
            sorted_->emplace(name, std::vector(definitions.begin(), definitions.end()));
        }
    }
    return *sorted_;
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
