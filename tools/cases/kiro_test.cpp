// kiro-test: runs a game's own end-to-end cases against its files.
//
//   kiro-test [GAME-DIRECTORY] [CASE...]   (default: the working directory and
//                                            every GAME-DIRECTORY/tests/*.case)
//
// Each case runs kiro in a fresh temporary folder holding a Shift-JIS copy
// of the game's csv/ and kst/ (a game kept in UTF-8 is converted first), so
// a case never touches the author's saves. A failing case shows a unified
// diff of the expected and the actual output, in UTF-8, naming the case file
// and the section; the run ends with "N passed, M failed".
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "case_run.h"
#include "command_line.h"
#include "cp932.h"
#include "game_folder.h"
#include "system.h"

namespace fs = std::filesystem;
using kiro::text::print;

namespace {

constexpr const char* kUsage = "usage: kiro-test [GAME-DIRECTORY] [CASE...]";

constexpr const char* kHelp =
    "usage: kiro-test [GAME-DIRECTORY] [CASE...]\n"
    "\n"
    "Runs a game's end-to-end cases (the format of tests/e2e/README.md) against the\n"
    "game's files: every GAME-DIRECTORY/tests/*.case, or the CASE files named.\n"
    "GAME-DIRECTORY defaults to the working directory; its csv/ and kst/ may be in\n"
    "Shift-JIS or UTF-8. Each case runs kiro in a fresh temporary copy of the\n"
    "game's csv/ and kst/, so the game's own saves are never read or touched.\n"
    "A failing case shows a unified diff of the expected and actual output.\n"
    "\n"
    "Exit status: 0 every case passed, 1 a case failed, 2 the game or the call\n"
    "cannot be used.\n";

std::string siblingEngine() {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "kiro";
    return (fs::path(std::string(self, static_cast<std::size_t>(n))).parent_path() / "kiro").string();
}

std::vector<std::string> gameCases(const fs::path& game) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(game / "tests", ec))
        if (entry.is_regular_file() && entry.path().extension() == ".case") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// The Shift-JIS folder the cases start from: the game itself, or its
// conversion into `scratch` when it is kept in UTF-8. Empty after saying why not.
std::string shiftJisGame(const std::string& game, const kiro::text::TemporaryFolder& scratch) {
    const kiro::text::FolderEncoding judged = kiro::text::judgeGameFolder(game);
    if (!judged.problem.empty()) {
        print(stderr, "kiro-test: " + judged.problem + "\n");
        return {};
    }
    if (judged.encoding != kiro::text::Encoding::Utf8) return game;
    const std::string copy = scratch.path().string() + "/game";
    const kiro::text::Conversion conversion =
        kiro::text::convertGame(game, copy, kiro::text::Direction::ToShiftJis);
    for (const std::string& error : conversion.errors) print(stderr, "kiro-test: " + error + "\n");
    return conversion.errors.empty() ? copy : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    if (std::optional<int> answered = kiro::text::answerStandardOption(argc, argv, "kiro-test", kHelp)) return *answered;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args)
        if (a.size() > 1 && a[0] == '-') return kiro::text::usageError("kiro-test", kUsage);
    if (!kiro::text::cp932Available()) {
        print(stderr, "kiro-test: this system cannot convert Shift-JIS (CP932)\n");
        return 2;
    }
    const std::string game = args.empty() ? "." : args[0];
    std::error_code ec;
    if (!fs::is_directory(game, ec)) {
        print(stderr, "kiro-test: " + game + ": not a folder\n");
        return 2;
    }
    std::vector<std::string> cases(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
    if (cases.empty()) cases = gameCases(game);
    if (cases.empty()) {
        print(stderr, "kiro-test: " + game + "/tests holds no *.case file\n");
        return 2;
    }
    const kiro::text::TemporaryFolder scratch("kiro-test-");
    if (scratch.path().empty()) {
        print(stderr, "kiro-test: cannot make a temporary folder\n");
        return 2;
    }
    const std::string base = shiftJisGame(game, scratch);
    if (base.empty()) return 2;
    const kiro::cases::CaseSetup setup{siblingEngine(), game, base, 60, {}};
    int passed = 0, failed = 0;
    for (const std::string& file : cases) {
        const std::vector<std::string> failures = kiro::cases::runCaseFile(file, setup);
        if (failures.empty()) {
            ++passed;
            continue;
        }
        ++failed;
        print(stdout, "FAIL " + file + "\n");
        for (const std::string& failure : failures) print(stdout, failure + "\n");
    }
    print(stdout, std::to_string(passed) + " passed, " + std::to_string(failed) + " failed\n");
    return failed == 0 ? 0 : 1;
}
