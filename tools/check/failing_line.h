// Finds the line at which a loader gives up on a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace kiro::check {

// Loads the given leading part of a file into scratch data; throws
// ArrayError where the real load did.
using PrefixLoad = std::function<void(std::string_view prefix)>;

// The number of the line whose loading throws: the smallest k such that
// the first k lines throw. 0 when even an empty file throws (the fault is
// in the file's name). The file's whole load must throw.
std::int32_t failingLine(std::string_view bytes, const PrefixLoad& load);

}  // namespace kiro::check
