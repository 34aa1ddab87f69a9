// Shared set-up for the fuzz targets: a store with characters, consoles over
// memory, and the failures every input path may legitimately raise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "data/variable_store.h"

namespace kiro::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A store as a running game has it: three characters with names, a few
// name-table entries and strings.
inline void populate(VariableStore& store) {
    for (int i = 0; i < 3; ++i) {
        CharacterRecord c;
        c.no = i;
        c.name = "C" + std::to_string(i);
        store.addCharacter(c);
    }
    store.nameTable(kPalamName)[1] = "P1";
    store.nameTable(kAblName)[2] = "A2";
    store.strings(kStr)[0] = "%STR:1%";
    store.strings(kStr)[1] = "x{1+2}";
}

// Building a VariableStore costs about a millisecond, far more than one
// input, so the targets keep one for the whole run. What an input may grow
// without bound over millions of runs (the character list, the name tables,
// long texts) is put back here; plain integers may keep what an input left.
// Looking through the 20,000 STR texts costs more than most inputs, so it
// is done only when `texts` says they may have changed.
inline void clearTables(VariableStore& store, bool texts) {
    for (NameTable& table : store.nameTables) table.clear();
    store.trainNames.clear();
    store.itemPrices.clear();
    if (texts)
        for (std::int32_t code : {kStr, kResults, kSaveStr})
            for (std::string& s : store.strings(code))
                if (!s.empty()) std::string().swap(s);
}

inline void resetGrowth(VariableStore& store, bool texts = true) {
    store.characters.clear();
    clearTables(store, texts);
    populate(store);
}

// Typed input from a fixed text; output is counted and thrown away, so a
// script printing megabytes per line costs no memory.
class DiscardingConsoleIo : public ConsoleIo {
public:
    explicit DiscardingConsoleIo(std::string_view input) : input_(input) {}
    bool readLine(std::string& line) override {
        if (pos_ >= input_.size()) return false;
        std::size_t nl = input_.find('\n', pos_);
        if (nl == std::string_view::npos) nl = input_.size();
        line.append(input_.substr(pos_, nl - pos_));
        pos_ = nl + 1;
        return true;
    }
    void write(std::string_view bytes) override { written += bytes.size(); }
    std::size_t written = 0;

private:
    std::string_view input_;
    std::size_t pos_ = 0;
};

}  // namespace kiro::fuzz
