// Function table of the loaded program, and the storage its lines point into.
#include "script/script_program.h"

#include <algorithm>

#include "data/text.h"

namespace kiro {

namespace {

// FNV-1a: function names are short.
std::size_t hashName(std::string_view name) {
    std::uint64_t hash = 14695981039346656037u;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

}  // namespace

ScriptProgram::SameName* ScriptProgram::findName(std::string_view name, std::size_t hash) const {
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask; slots_[at].same; at = (at + 1) & mask)
        if (slots_[at].hash == hash && slots_[at].same->name == name) return slots_[at].same;
    return nullptr;
}

void ScriptProgram::addName(SameName& same, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at].same) at = (at + 1) & mask;
    slots_[at] = {hash, &same};
}

// The table grows once to hold every name there may now be.
void ScriptProgram::indexNewDefinitions() const {
    if (indexed_ == storage_.size()) return;
    const std::size_t most = names_.size() + (storage_.size() - indexed_);
    if (2 * most > slots_.size()) {
        std::size_t size = 64;
        while (size < 2 * most) size *= 2;
        std::vector<NameSlot> old(size);
        old.swap(slots_);
        for (const NameSlot& slot : old)
            if (slot.same) addName(*slot.same, slot.hash);
    }
    for (; indexed_ < storage_.size(); ++indexed_) {
        const FunctionDefinition& def = storage_[indexed_];
        const std::size_t hash = hashName(def.name);
        if (SameName* same = findName(def.name, hash)) {
            if (same->all.empty()) same->all.push_back(same->first);
            same->all.push_back(&def);
        } else {
            addName(names_.emplace_back(SameName{def.name, &def, {}}), hash);
        }
    }
}

FunctionDefinition& ScriptProgram::addFunction(std::string name, std::string sourceFile, std::int32_t headerLine) {
    FunctionDefinition& def = storage_.emplace_back();
    def.name = std::move(name);
    def.sourceFile = std::move(sourceFile);
    def.headerLine = headerLine;
    sorted_.reset();
    return def;
}

const FunctionDefinition* ScriptProgram::findFunction(std::string_view name) const {
    indexNewDefinitions();
    const SameName* same = findName(name, hashName(name));
    return same ? same->first : nullptr;
}

ScriptProgram::Definitions ScriptProgram::definitionsOf(std::string_view name) const {
    indexNewDefinitions();
    const SameName* same = findName(name, hashName(name));
    return same ? same->definitions() : Definitions();
}

const ScriptProgram::FunctionsByName& ScriptProgram::functions() const {
    if (!sorted_) {
        indexNewDefinitions();
        sorted_ = std::make_unique<FunctionsByName>();
        for (const SameName& same : names_) {
            const Definitions definitions = same.definitions();
            sorted_->emplace(same.name, std::vector(definitions.begin(), definitions.end()));
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
