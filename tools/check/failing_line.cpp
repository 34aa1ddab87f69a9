// The loaders say nothing about where they stopped: they throw the array
// error and start-up reports it. Both loaders
// read a file strictly line by line and stop at the first failure, and no
// line can undo an earlier one's failure, so "the first k lines throw" is
// false up to the failing line and true from it on: a binary search over
// prefixes finds it in O(n log n) line reads.
#include "failing_line.h"

#include <vector>

#include "script/errors.h"

namespace kiro::check {

std::int32_t failingLine(std::string_view bytes, const PrefixLoad& load) {
    std::vector<std::size_t> lineEnds;  // just past each line feed
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n') lineEnds.push_back(i + 1);
    auto throwsWithLines = [&](std::size_t k) {
        try {
            load(bytes.substr(0, k == 0 ? 0 : lineEnds[k - 1]));
            return false;
        } catch (const ArrayError&) {
            return true;
        }
    };
    std::size_t lo = 0, hi = lineEnds.size();
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (throwsWithLines(mid)) hi = mid;
        else lo = mid + 1;
    }
    return static_cast<std::int32_t>(lo);
}

}  // namespace kiro::check
