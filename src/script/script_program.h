// The loaded script program: functions of classified lines, with their
// labels and attributes, looked up by name.
//
// A game can hold a million lines, so the program keeps every file's bytes,
// the loader keeps a small record per line in the program's line store, and
// a function's ScriptLines, whose texts are views into the bytes, are made
// when the function is first used.
#pragma once

#include <cstdint>
#include <deque>
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

struct FunctionDefinition {
    std::string name;
    std::string sourceFile;
    std::int32_t headerLine = 0;
    FunctionLines lines;
    std::span<const LabelEntry> labels;  // in the program's label store
    std::vector<std::int32_t> attributes;
    // The compiled statements (function_code.h), made on the first run.
    mutable std::shared_ptr<FunctionCode> code;
};

class ScriptProgram {
public:
    // Adds a definition after any existing ones of the same name.
    FunctionDefinition& addFunction(std::string name, std::string sourceFile, std::int32_t headerLine);

    const FunctionDefinition* findFunction(std::string_view name) const;
    // All definitions of a name, in load order (empty when there is none).
    using Definitions = std::span<const FunctionDefinition* const>;
    Definitions definitionsOf(std::string_view name) const;
    // Every name with its definitions in byte order of the names, for tools
    // that inspect a whole game (made when first asked for).
    using FunctionsByName = std::map<std::string, std::vector<const FunctionDefinition*>, std::less<>>;
    const FunctionsByName& functions() const;

    // Storage for the loader. keepBytes takes a file's bytes for good and
    // gives back where they now live (writable, for upper-casing labels in
    // place).
    std::span<char> keepBytes(std::unique_ptr<char[]> bytes, std::size_t size);
    LineStore& lineStore() { return lines_; }
    LabelStore& labelStore() { return labels_; }

private:
    // The definitions of one name; most names have one, which needs no
    // list of its own.
    struct SameName {
        std::string_view name;  // the first definition's
        const FunctionDefinition* first = nullptr;
        std::vector<const FunctionDefinition*> all;  // every definition, once there are two
        Definitions definitions() const { return all.empty() ? Definitions(&first, 1) : Definitions(all); }
    };
    std::deque<FunctionDefinition> storage_;  // never moves a definition
    // The names in an open-addressing hash table (a slot without a name is
    // empty), brought up to date with the definitions added since when a
    // name is first looked up: loading hashes nothing.
    struct NameSlot {
        std::size_t hash = 0;
        SameName* same = nullptr;
    };
    SameName* findName(std::string_view name, std::size_t hash) const;
    void addName(SameName& same, std::size_t hash) const;
    void indexNewDefinitions() const;

    mutable std::deque<SameName> names_;  // never moves a name
    mutable std::vector<NameSlot> slots_;  // a power of two, at most half used
    mutable std::size_t indexed_ = 0;     // the definitions in the table
    mutable std::unique_ptr<FunctionsByName> sorted_;
    std::vector<std::unique_ptr<char[]>> files_;
    LineStore lines_;
    LabelStore labels_;
};

bool hasAttribute(const FunctionDefinition& definition, std::int32_t attributeCode);
// First label whose name equals the upper-cased query, or null.
const LabelEntry* findLabel(const FunctionDefinition& definition, std::string_view name);

}  // namespace kiro
