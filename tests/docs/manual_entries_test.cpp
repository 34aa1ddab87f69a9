// The manual names every instruction, variable and error of the engine, and
// nothing else: each keyword of the instruction table has a "### KEYWORD"
// entry in docs/language.md, each variable a row in its "## Variables"
// tables, each error code a row in docs/errors.md quoting the engine's own
// message; an entry for a name the engine does not know fails too.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "data/variable_store.h"
#include "script/instruction_table.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string doc(const char* name) { return readFile(std::string(KIRO_SOURCE_DIR) + "/docs/" + name); }

// The text of a "## TITLE" section, up to the next "## " heading.
std::string section(const std::string& text, const std::string& title) {
    std::size_t at = text.find("\n## " + title + "\n");
    if (at == std::string::npos) return "";
    std::size_t end = text.find("\n## ", at + 1);
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// Every first match group of `pattern` on each line of `text`, with the line it is on.
std::map<std::string, std::string> matches(const std::string& text, const std::string& pattern) {
    std::map<std::string, std::string> found;
    const std::regex re(pattern);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        for (auto it = std::sregex_iterator(line.begin(), line.end(), re); it != std::sregex_iterator(); ++it)
            found[(*it)[1]] = line;
    return found;
}

TEST(Manual, EveryInstructionHasAnEntryAndEveryEntryIsAnInstruction) {
    const auto entries = matches(doc("language.md"), R"re(^### ([A-Z_]+)$)re");
    std::set<std::string> keywords;
    for (const kiro::KeywordEntry& k : kiro::instructionKeywords()) {
        keywords.insert(std::string(k.name));
        EXPECT_TRUE(entries.count(std::string(k.name))) << "docs/language.md has no entry \"### " << k.name << "\"";
    }
    for (const auto& [name, line] : entries)
        EXPECT_TRUE(keywords.count(name)) << "docs/language.md describes " << name << ", which is no instruction";
    EXPECT_EQ(keywords.size(), 51u);
}

TEST(Manual, EveryVariableHasARowAndEveryRowIsAVariable) {
    const std::string variables = section(doc("language.md"), "Variables");
    ASSERT_FALSE(variables.empty()) << "docs/language.md has no section \"## Variables\"";
    const auto rows = matches(variables, R"re(^\| `([A-Z]+)` \|.*$)re");
    for (const auto& [name, line] : rows)
        EXPECT_TRUE(kiro::VariableStore::lookupIntVariable(name) || kiro::VariableStore::lookupStringVariable(name))
            << "docs/language.md has a row for " << name << ", which is no variable";
    // The engine's names, from its two name tables (the letters A-Z aside).
    const std::string source = readFile(std::string(KIRO_SOURCE_DIR) + "/src/data/variable_store.cpp");
    const auto names = matches(source, R"re(\{"([A-Z]+)", k[A-Za-z]+\})re");
    ASSERT_GT(names.size(), 50u) << "the name tables of variable_store.cpp were not found";
    for (const auto& [name, entry] : names) {
        ASSERT_TRUE(kiro::VariableStore::lookupIntVariable(name) || kiro::VariableStore::lookupStringVariable(name))
            << name;
        EXPECT_TRUE(rows.count(name)) << "docs/language.md has no row \"| `" << name << "` |\" under Variables";
    }
}

// The catalogue texts by name (src/messages.def).
std::map<std::string, std::string> catalogue() {
    return matches(readFile(std::string(KIRO_SOURCE_DIR) + "/src/messages.def"), R"re(^MSG\(([A-Z_]+), "(.*)"\)$)re");
}

std::string catalogueText(const std::map<std::string, std::string>& lines, const std::string& name) {
    auto it = lines.find(name);
    if (it == lines.end()) return "";
    std::size_t open = it->second.find('"');
    return it->second.substr(open + 1, it->second.rfind('"') - open - 1);
}

struct ErrorRow {
    int code;
    const char* parts;
};

constexpr ErrorRow kErrors[] = {
#define E(Class, Name, code, Category, parts, meaning) {code, #parts},
#include "script/errors.def"
#undef E
};

TEST(Manual, EveryErrorHasARowQuotingItsMessage) {
    const std::string coded = section(doc("errors.md"), "Coded errors");
    ASSERT_FALSE(coded.empty()) << "docs/errors.md has no section \"## Coded errors\"";
    const auto rows = matches(coded, R"re(^\| ([0-9]+) \|.*$)re");
    const auto texts = catalogue();
    std::set<std::string> codes;
    for (const ErrorRow& e : kErrors) {
        const std::string code = std::to_string(e.code);
        codes.insert(code);
        auto row = rows.find(code);
        if (row == rows.end()) {
            ADD_FAILURE() << "docs/errors.md has no row \"| " << code << " |\" under Coded errors";
            continue;
        }
        const auto parts = matches(e.parts, R"re(([A-Z_]{2,}))re");
        for (const auto& [part, unused] : parts) {
            if (part == "DETAIL") continue;
            const std::string text = catalogueText(texts, part);
            ASSERT_FALSE(text.empty()) << part << " is not in messages.def";
            EXPECT_NE(row->second.find(text), std::string::npos)
                << "the row of error " << code << " does not quote \"" << text << "\"";
        }
    }
    for (const auto& [code, line] : rows)
        EXPECT_TRUE(codes.count(code)) << "docs/errors.md describes error " << code << ", which the engine lacks";
}

// The checker's page lists every kind of finding (tools/check/findings.def)
// with its severity, as a table row "| `code` | severity | ...", and no kind
// the checker lacks.
TEST(Manual, EveryFindingKindHasARowAndEveryRowIsAKind) {
    const std::string found = section(doc("checker.md"), "What it finds");
    ASSERT_FALSE(found.empty()) << "docs/checker.md has no section \"## What it finds\"";
    const auto rows = matches(found, R"re(^\| `([a-z][a-z0-9-]*)` \|.*$)re");
    const std::string def = readFile(std::string(KIRO_SOURCE_DIR) + "/tools/check/findings.def");
    const auto kinds = matches(def, R"re(^FINDING\([A-Za-z]+, "([a-z0-9-]+)", ([A-Za-z]+),)re");
    ASSERT_GT(kinds.size(), 30u) << "the rows of findings.def were not found";
    const std::regex severity(R"re(^FINDING\([A-Za-z]+, "[a-z0-9-]+", ([A-Za-z]+),)re");
    for (const auto& [code, line] : kinds) {
        auto row = rows.find(code);
        if (row == rows.end()) {
            ADD_FAILURE() << "docs/checker.md has no row \"| `" << code << "` |\" under What it finds";
            continue;
        }
        std::smatch m;
        ASSERT_TRUE(std::regex_search(line, m, severity)) << line;
        std::string name = m[1];
        name[0] = static_cast<char>(name[0] - 'A' + 'a');
        EXPECT_NE(row->second.find("| " + name + " |"), std::string::npos)
            << "the row of " << code << " does not give its severity " << name;
    }
    for (const auto& [code, line] : rows)
        EXPECT_TRUE(kinds.count(code)) << "docs/checker.md describes " << code << ", which is no kind of finding";
}

}  // namespace
