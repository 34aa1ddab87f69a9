// kiro-check's core: load a game directory as kiro would and run every
// check over it.
#pragma once

#include <string>

#include "finding.h"

namespace kiro::check {

// Also the program's exit status: Clean when no finding is an error
// (warnings and notes alone), Faults with at least one error.
enum class CheckStatus { Clean = 0, Faults = 1, NotLoaded = 2 };

struct CheckReport {
    Findings findings;  // sorted by file, line and column
    CheckStatus status = CheckStatus::Clean;
    std::string problem;  // why the directory could not be checked at all (no finding says it)
};

CheckReport checkGame(const std::string& gameDir);

}  // namespace kiro::check
