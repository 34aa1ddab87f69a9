// kiro-check: finds a game's script and data faults before anyone plays.
//
//   kiro-check [GAME-DIRECTORY]    (default: the working directory)
//
// Prints one "file:line: message" line per fault, in UTF-8, sorted by file
// and line. Exit status: 0 nothing found, 1 faults found, 2 the game could
// not be loaded (or checked at all).
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "check_game.h"

namespace {

constexpr std::string_view kHelp =
    "usage: kiro-check [GAME-DIRECTORY]\n"
    "\n"
    "Loads a game as kiro does (csv/*.csv, then kst/*.kst) and reports its faults\n"
    "without playing it, one per line as FILE:LINE: MESSAGE in UTF-8, sorted by\n"
    "file and line. Without a directory the working directory is checked.\n"
    "\n"
    "Reported: the loaders' warnings and failures; IF/ENDIF and REPEAT/REND that\n"
    "do not match; GOTO, CALL, JUMP and BEGIN to names that do not exist;\n"
    "expressions that fail whatever the variables hold; training commands without\n"
    "COM<n> or SOURCE_CHECK; entry points misspelt in case or with blanks;\n"
    "ADDCHARA of a number no template has; functions defined twice; a last line\n"
    "without a line feed (kiro drops it) and CR-only line ends.\n"
    "\n"
    "Exit status: 0 nothing found, 1 faults found, 2 the game cannot be loaded.\n";

void print(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

int run(const std::string& gameDir) {
    kiro::check::CheckReport report = kiro::check::checkGame(gameDir);
    if (!report.problem.empty()) print(stderr, "kiro-check: " + report.problem + "\n");
    for (const kiro::check::Finding& finding : report.findings.list())
        print(stdout, kiro::check::formatFinding(finding) + "\n");
    if (report.status == kiro::check::CheckStatus::NotLoaded && report.problem.empty())
        print(stderr, "kiro-check: the game cannot be loaded; kiro would not start\n");
    return static_cast<int>(report.status);
}

}  // namespace

int main(int argc, char** argv) {
    std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        print(stdout, kHelp);
        return 0;
    }
    if (argc > 2 || first.starts_with("-")) {
        print(stderr, "usage: kiro-check [GAME-DIRECTORY]   (kiro-check --help for more)\n");
        return 2;
    }
    try {
        return run(argc > 1 ? std::string(first) : std::string("."));
    } catch (const std::exception& error) {
        print(stderr, std::string("kiro-check: ") + error.what() + "\n");
        return 2;
    }
}
