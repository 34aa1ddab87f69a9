// The loaded script program: functions of classified lines, with their
// labels and attributes, looked up by name.
//
// A game can hold a million lines, so the program keeps every file's bytes,
// the loader keeps a small record per line in the program's line store, and
// a function's ScriptLines, whose texts are views into the bytes, are made
// when the function is first used.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/function_lines.h"
#include "script/line_store.h"
#include "script/script_line.h"

namespace kiro {

struct FunctionCode;

struct LabelEntry {
    std::int32_t lineNumber = 0;
    std::string_view name;  // upper-cased
};

struct FunctionDefinition {
    std::string name;
    std::string sourceFile;
    std::int32_t headerLine = 0;
    FunctionLines lines;
    std::vector<LabelEntry> labels;
    std::vector<std::int32_t> attributes;
    // The compiled statements (function_code.h), made on the first run.
    mutable std::shared_ptr<FunctionCode> code;
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

    // Storage for the loader. keepBytes takes a file's bytes for good and
    // gives back where they now live (writable, for upper-casing labels in
    // place).
    std::span<char> keepBytes(std::unique_ptr<char[]> bytes, std::size_t size);
    LineStore& lineStore() { return lines_; }

private:
    std::vector<std::unique_ptr<FunctionDefinition>> storage_;
    std::map<std::string, std::vector<const FunctionDefinition*>, std::less<>> byName_;
    std::vector<std::unique_ptr<char[]>> files_;
    LineStore lines_;
};

bool hasAttribute(const FunctionDefinition& definition, std::int32_t attributeCode);
// First label whose name equals the upper-cased query, or null.
const LabelEntry* findLabel(const FunctionDefinition& definition, std::string_view name);

}  // namespace kiro
