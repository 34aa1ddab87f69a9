// Suggestions by edit distance (optimal string alignment: a swap of two
// neighbouring letters counts as one edit, as it is one slip of the hand).
#include "suggestions.h"

#include <algorithm>

namespace kiro::check {
namespace {

char folded(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::size_t editDistance(std::string_view a, std::string_view b) {
    // Three rows of the table: two back, one back, this one.
    std::vector<std::size_t> twoBack(b.size() + 1), oneBack(b.size() + 1), row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) oneBack[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = folded(a[i - 1]) == folded(b[j - 1]);
            row[j] = std::min({oneBack[j] + 1, row[j - 1] + 1, oneBack[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) && folded(a[i - 2]) == folded(b[j - 1]))
                row[j] = std::min(row[j], twoBack[j - 2] + 1);
        }
        std::swap(twoBack, oneBack);
        std::swap(oneBack, row);
    }
    return oneBack[b.size()];
}

std::size_t suggestionLimit(std::string_view name) {
    if (name.size() <= 2) return 0;
    if (name.size() <= 5) return 1;
    return name.size() <= 9 ? 2 : 3;
}

std::vector<std::string> closestNames(std::string_view name, const std::vector<std::string>& candidates) {
    const std::size_t limit = suggestionLimit(name);
    std::vector<std::pair<std::size_t, const std::string*>> near;
    for (const std::string& candidate : candidates) {
        if (candidate == name) continue;
        // Lengths further apart than the limit cannot be within it.
        const std::size_t gap = candidate.size() > name.size() ? candidate.size() - name.size() : name.size() - candidate.size();
        if (gap > limit) continue;
        const std::size_t distance = editDistance(name, candidate);
        if (distance <= limit) near.emplace_back(distance, &candidate);
    }
    std::stable_sort(near.begin(), near.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> names;
    for (std::size_t i = 0; i < near.size() && names.size() < 3; ++i)
        if (std::find(names.begin(), names.end(), *near[i].second) == names.end()) names.push_back(*near[i].second);
    return names;
}

std::string nameList(const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return list;
}

}  // namespace kiro::check
