// A unified line diff for failure messages: common head and tail are cut
// first; the middle is aligned by its longest common subsequence when it is
// small enough, else shown as all removed, then all added.
#include <algorithm>
#include <string>
#include <vector>

#include "case_run.h"

namespace kiro::cases {
namespace {

constexpr std::size_t kContext = 3;
constexpr std::size_t kMaxTable = 4'000'000;  // cells of the alignment table

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "\n\\ No newline at end");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

struct Edit {
    char op;        // ' ', '-', '+'
    std::size_t a;  // line index in expected (for ' ' and '-')
    std::size_t b;  // line index in actual (for ' ' and '+')
};

void alignMiddle(const std::vector<std::string>& a, const std::vector<std::string>& b, std::size_t a0, std::size_t a1,
                 std::size_t b0, std::size_t b1, std::vector<Edit>& edits) {
    const std::size_t n = a1 - a0, m = b1 - b0;
    if (n * m > kMaxTable || n == 0 || m == 0) {
        for (std::size_t i = a0; i < a1; ++i) edits.push_back({'-', i, b0});
        for (std::size_t j = b0; j < b1; ++j) edits.push_back({'+', a1, j});
        return;
    }
    std::vector<std::vector<unsigned>> lcs(n + 1, std::vector<unsigned>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            lcs[i][j] = a[a0 + i] == b[b0 + j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[a0 + i] == b[b0 + j]) edits.push_back({' ', a0 + i++, b0 + j++});
        else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1])) edits.push_back({'-', a0 + i++, b0 + j});
        else edits.push_back({'+', a0 + i, b0 + j++});
    }
}

}  // namespace

std::string unifiedDiff(const std::string& expected, const std::string& actual) {
    if (expected == actual) return {};
    const std::vector<std::string> a = splitLines(expected), b = splitLines(actual);
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    std::vector<Edit> edits;
    for (std::size_t i = 0; i < head; ++i) edits.push_back({' ', i, i});
    alignMiddle(a, b, head, a.size() - tail, head, b.size() - tail, edits);
    for (std::size_t k = tail; k > 0; --k) edits.push_back({' ', a.size() - k, b.size() - k});

    std::string out = "--- expected\n+++ actual\n";
    std::size_t k = 0;
    while (k < edits.size()) {
        while (k < edits.size() && edits[k].op == ' ') ++k;
        if (k == edits.size()) break;
        std::size_t start = k >= kContext ? k - kContext : 0;
        std::size_t end = k;  // one past the hunk's last edit
        for (std::size_t quiet = 0; end < edits.size() && quiet <= 2 * kContext; ++end)
            quiet = edits[end].op == ' ' ? quiet + 1 : 0;
        while (end > k && edits[end - 1].op == ' ') --end;
        end = std::min(edits.size(), end + kContext);
        std::size_t aCount = 0, bCount = 0;
        for (std::size_t e = start; e < end; ++e) {
            aCount += edits[e].op != '+';
            bCount += edits[e].op != '-';
        }
        // An empty side names the line before it, as diff does.
        out += "@@ -" + std::to_string(edits[start].a + (aCount ? 1 : 0)) + "," + std::to_string(aCount) + " +" +
               std::to_string(edits[start].b + (bCount ? 1 : 0)) + "," + std::to_string(bCount) + " @@\n";
        for (std::size_t e = start; e < end; ++e)
            out += std::string(1, edits[e].op) + (edits[e].op == '+' ? b[edits[e].b] : a[edits[e].a]) + "\n";
        k = end;
    }
    return out;
}

}  // namespace kiro::cases
