// Shared set-up for the fuzz targets: a store with characters, a console
// over memory, and the failures every input path may legitimately raise.
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

}  // namespace kiro::fuzz
