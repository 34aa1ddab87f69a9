// kiro-check: finds a game's script and data faults before anyone plays.
//
//   kiro-check [--strict] [--format text|json] [GAME-DIRECTORY]
//
// Prints one finding per line, in UTF-8, sorted by file, line and column:
// "file:line:column: severity: message" or a JSON object (JSON Lines).
// Exit status: 0 no error, 1 errors found (or warnings, with --strict), 2
// the game could not be loaded (or checked at all).
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
#include "utf8_text.h"

namespace {

constexpr std::string_view kHelp =
    "usage: kiro-check [--strict] [--format text|json] [GAME-DIRECTORY]\n"
    "\n"
    "Loads a game as kiro does (csv/*.csv, then kst/*.kst) and reports its faults\n"
    "without playing it, one per line in UTF-8, sorted by file, line and column:\n"
    "\n"
    "  FILE:LINE:COLUMN: SEVERITY: MESSAGE\n"
    "\n"
    "COLUMN counts characters from 1 and is left out (FILE:LINE: ...) for a fault\n"
    "of the whole line; a fault of the game as a whole is put on the directory\n"
    "(GAME-DIRECTORY: SEVERITY: MESSAGE). SEVERITY is error (kiro reports an error\n"
    "there, drops the line or does not start), warning (legal, but almost surely\n"
    "not what was meant) or note (harmless). Names close to an unknown one end\n"
    "the message as \"did you mean X?\". Without a directory the working directory\n"
    "is checked.\n"
    "\n"
    "Reported: the loaders' warnings and failures; IF/ENDIF and REPEAT/REND that\n"
    "do not match; GOTO, CALL, JUMP and BEGIN to names that do not exist;\n"
    "expressions that fail whatever the variables hold; training commands without\n"
    "COM<n> or SOURCE_CHECK; entry points misspelt; ADDCHARA of a number no\n"
    "template has; functions defined twice; a last line without a line feed (kiro\n"
    "drops it) and CR-only line ends; lines kiro runs silently that almost surely\n"
    "mean something else, and how the functions run one another. The manual's\n"
    "docs/checker.md lists every kind of finding.\n"
    "\n"
    "  --format json   one JSON object per line (JSON Lines), with the keys file,\n"
    "                  line, column, severity, code, message and suggestions\n"
    "  --strict        warnings count as errors for the exit status\n"
    "\n"
    "The game may be in Shift-JIS (CP932) or in UTF-8 (checked as converted, with\n"
    "its own file names and lines); a game that mixes the two, or holds a file\n"
    "that is neither, is not checked.\n"
    "\n"
    "Exit status: 0 no error (warnings and notes alone), 1 errors found (or\n"
    "warnings, with --strict), 2 the game cannot be loaded.\n";

constexpr std::string_view kUsage = "usage: kiro-check [--strict] [--format text|json] [GAME-DIRECTORY]";

using kiro::text::print;

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
}

struct Options {
    std::string gameDir = ".";
    bool strict = false;
    bool json = false;
};

// The options in any order, then at most one directory.
std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    bool haveDirectory = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--strict") {
            options.strict = true;
        } else if (argument == "--format" && i + 1 < argc) {
            const std::string_view format = argv[++i];
            if (format != "json" && format != "text") return std::nullopt;
            options.json = format == "json";
        } else if (argument.starts_with("-") || haveDirectory) {
            return std::nullopt;
        } else {
            options.gameDir = std::string(argument);
            haveDirectory = true;
        }
    }
    return options;
}

// A game in UTF-8 is checked as its Shift-JIS conversion, which keeps every
// file's name, line and column (columns count characters); only the names
// are printed as they are (UTF-8) rather than converted.
int run(const Options& options) {
    const std::string& gameDir = options.gameDir;
    const kiro::text::FolderEncoding judged = kiro::text::judgeGameFolder(gameDir);
    if (!judged.problem.empty()) {
        print(stderr, "kiro-check: " + judged.problem + "\n");
        return static_cast<int>(kiro::check::CheckStatus::NotLoaded);
    }
    const bool utf8 = judged.encoding == kiro::text::Encoding::Utf8;
    const kiro::text::TemporaryFolder copy("kiro-check-");
    std::string checked = gameDir;
    if (utf8) {
        checked = copy.path().string() + "/game";
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
        const std::string file = utf8 ? finding.file : kiro::check::utf8Of(finding.file);
        // A finding about the game as a whole is put on the game's directory.
        print(stdout, (options.json ? kiro::check::jsonFinding(finding, file)
                                    : kiro::check::formatFinding(finding, finding.line == 0 ? gameDir : file)) +
                          "\n");
    }
    if (report.status == kiro::check::CheckStatus::NotLoaded && report.problem.empty())
        print(stderr, "kiro-check: the game cannot be loaded; kiro would not start\n");
    if (report.status == kiro::check::CheckStatus::Clean && options.strict &&
        report.findings.count(kiro::check::Severity::Warning) > 0)
        return static_cast<int>(kiro::check::CheckStatus::Faults);
    return static_cast<int>(report.status);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::optional<int> answered = kiro::text::answerStandardOption(argc, argv, "kiro-check", kHelp)) return *answered;
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) return kiro::text::usageError("kiro-check", kUsage);
    try {
        return run(*options);
    } catch (const std::exception& error) {
        print(stderr, std::string("kiro-check: ") + error.what() + "\n");
        return 2;
    }
}
