// The slips game (tests/check/slips, see its README.md) gives exactly the
// findings its comments expect: each at its line and column, with its
// severity, code and suggestions, and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "check_game.h"
#include "support/sjis.h"
#include "support/test_game.h"

namespace kiro::check {
namespace {

namespace fs = std::filesystem;

// One finding as the expectations write it.
std::string described(const std::string& file, int line, int column, std::string_view severity,
                      std::string_view code, const std::vector<std::string>& suggestions) {
    std::string text = file + ":" + std::to_string(line) + ":" + std::to_string(column) + " " +
                       std::string(severity) + " " + std::string(code);
    for (const std::string& s : suggestions) text += " " + s;
    return text;
}

std::vector<std::string> words(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::vector<std::string> all;
    for (std::string word; in >> word;) all.push_back(word);
    return all;
}

// The findings one file's `;!` comments expect.
void readExpectations(const std::string& file, const std::string& text, std::vector<std::string>& expected) {
    std::istringstream in(text);
    std::vector<std::vector<std::string>> pending;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.starts_with(";!game")) {
            std::vector<std::string> w = words(line.substr(6));
            expected.push_back(described("", 0, 0, w.at(0), w.at(1), {}));
        } else if (line.starts_with(";!")) {
            pending.push_back(words(line.substr(2)));
        } else {
            for (const std::vector<std::string>& w : pending)
                expected.push_back(described(file, number, std::stoi(w.at(2)), w.at(0), w.at(1),
                                             std::vector<std::string>(w.begin() + 3, w.end())));
            pending.clear();
        }
    }
}

std::string joined(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

TEST(Slips, EverySlipIsFoundAsMarkedAndNothingElse) {
    const fs::path source = fs::path(KIRO_SOURCE_DIR) / "tests/check/slips";
    test::TempDir game;
    std::vector<std::string> expected;
    for (const char* folder : {"csv", "kst"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(source / folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            const std::string file = std::string(folder) + "/" + entry.path().filename().string();
            game.write(file, test::sjis(text));
            readExpectations(file, text, expected);
        }
    }
    std::vector<std::string> found;
    const CheckReport report = checkGame(game.path());
    for (const Finding& f : report.findings.list())
        found.push_back(described(f.file, f.line, f.column, severityName(f.severity), findingRow(f.code).code,
                                  f.suggestions));
    EXPECT_EQ(joined(found), joined(expected));
}

}  // namespace
}  // namespace kiro::check
