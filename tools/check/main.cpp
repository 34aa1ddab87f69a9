// kiro-check: finds a game's script and data faults before anyone plays.
//
//   kiro-check [GAME-DIRECTORY]    (default: the working directory; Shift-JIS or UTF-8)
//
// Prints one "file:line: message" line per fault, in UTF-8, sorted by file
// and line. Exit status: 0 nothing found, 1 faults found, 2 the game could
// not be loaded (or checked at all).
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "check_game.h"
#include "command_line.h"
#include "game_folder.h"
#include "system.h"

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
    "The game may be in Shift-JIS (CP932) or in UTF-8 (checked as converted, with\n"
    "its own file names and lines); a game that mixes the two, or holds a file\n"
    "that is neither, is not checked.\n"
    "\n"
    "Exit status: 0 nothing found, 1 faults found, 2 the game cannot be loaded.\n";

constexpr std::string_view kUsage = "usage: kiro-check [GAME-DIRECTORY]";

using kiro::text::print;

// A temporary folder, removed with its contents when done.
class TempFolder {
public:
    TempFolder() {
        std::error_code ignored;
        path_ = kiro::text::makeTemporaryFolder(std::filesystem::temp_directory_path(ignored), "kiro-check-").string();
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
}

// A game in UTF-8 is checked as its Shift-JIS conversion, which keeps every
// file's name and line; only the names are printed as they are (UTF-8)
// rather than converted.
int run(const std::string& gameDir) {
    const kiro::text::FolderEncoding judged = kiro::text::judgeGameFolder(gameDir);
    if (!judged.problem.empty()) {
        print(stderr, "kiro-check: " + judged.problem + "\n");
        return static_cast<int>(kiro::check::CheckStatus::NotLoaded);
    }
    const bool utf8 = judged.encoding == kiro::text::Encoding::Utf8;
    TempFolder copy;
    std::string checked = gameDir;
    if (utf8) {
        checked = copy.path() + "/game";
        kiro::text::Conversion conversion = kiro::text::convertGame(gameDir, checked, kiro::text::Direction::ToShiftJis);
        for (const std::string& error : conversion.errors) print(stderr, "kiro-check: " + error + "\n");
        if (copy.path().empty() || !conversion.errors.empty()) {
            print(stderr, "kiro-check: the game is in UTF-8 and could not be converted to the Shift-JIS kiro reads\n");
            return static_cast<int>(kiro::check::CheckStatus::NotLoaded);
        }
    }
    kiro::check::CheckReport report = kiro::check::checkGame(checked);
    replaceAll(report.problem, checked, gameDir);
    if (!report.problem.empty()) print(stderr, "kiro-check: " + report.problem + "\n");
    for (const kiro::check::Finding& finding : report.findings.list()) {
        std::string line = utf8 ? finding.file + ":" + std::to_string(finding.line) + ": " + finding.message
                                : kiro::check::formatFinding(finding);
        print(stdout, line + "\n");
    }
    if (report.status == kiro::check::CheckStatus::NotLoaded && report.problem.empty())
        print(stderr, "kiro-check: the game cannot be loaded; kiro would not start\n");
    return static_cast<int>(report.status);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::optional<int> answered = kiro::text::answerStandardOption(argc, argv, "kiro-check", kHelp)) return *answered;
    std::string_view first = argc > 1 ? argv[1] : "";
    if (argc > 2 || first.starts_with("-")) return kiro::text::usageError("kiro-check", kUsage);
    try {
        return run(argc > 1 ? std::string(first) : std::string("."));
    } catch (const std::exception& error) {
        print(stderr, std::string("kiro-check: ") + error.what() + "\n");
        return 2;
    }
}
