// Turns what the engine's loaders print while reading one file into
// findings on that file's lines.
#pragma once

#include <string>
#include <string_view>

#include "finding.h"

namespace kiro::check {

// `path` is where findings go ("kst/a.kst"); `listedName` the name the
// loader was given. Progress lines are dropped; every warning becomes one
// finding with the engine's own text in UTF-8.
void relayLoaderOutput(std::string_view output, const std::string& path, const std::string& listedName,
                       Findings& findings);

}  // namespace kiro::check
