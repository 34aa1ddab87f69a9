// Test helper: one comparable text for what running a piece of script code
// came to: its value ("7"), a coded error ("error 15") or the array error
// ("out of range").
#pragma once

#include <string>

#include "script/errors.h"

namespace kiro::test {

template <typename F>
std::string outcome(F&& run) {
    try {
        return std::to_string(run());
    } catch (const CExecError& e) {
        return "error " + std::to_string(e.code);
    } catch (const ArrayError&) {
        return "out of range";
    }
}

}  // namespace kiro::test
