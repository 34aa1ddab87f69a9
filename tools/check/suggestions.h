// Names close to a name that was not found, for "did you mean ...?".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kiro::check {

// The number of single-letter edits (insert, delete, replace, swap two
// neighbours) from one name to the other, letter case ignored.
std::size_t editDistance(std::string_view a, std::string_view b);

// How far a candidate may be from `name` to be suggested: any case-only
// difference, one edit for names of 3 to 5 letters, two up to 9, three
// beyond; a name of one or two letters is too short to guess from.
std::size_t suggestionLimit(std::string_view name);

// At most three candidates within the limit, closest first (ties keep the
// candidates' order); never `name` itself.
std::vector<std::string> closestNames(std::string_view name, const std::vector<std::string>& candidates);

// "SHOW_SHOP", "A or B", "A, B or C".
std::string nameList(const std::vector<std::string>& names);

}  // namespace kiro::check
