// Ordering and printing of findings.
#include "finding.h"

#include <algorithm>

#include "utf8_text.h"

namespace kiro::check {

void Findings::sort() {
    std::stable_sort(list_.begin(), list_.end(), [](const Finding& a, const Finding& b) {
        if (a.file != b.file) return a.file < b.file;
        return a.line < b.line;
    });
}

std::string formatFinding(const Finding& finding) {
    return utf8Of(finding.file) + ":" + std::to_string(finding.line) + ": " + finding.message;
}

}  // namespace kiro::check
