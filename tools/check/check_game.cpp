// One check run: the game is loaded first; only a game that loads is
// checked further, since kiro never runs one that does not. The files' line
// ends are checked either way.
#include "check_game.h"

#include <filesystem>

#include "checks.h"
#include "game_loader.h"

namespace kiro::check {
namespace {

bool isDirectory(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

// A directory with neither folder is most likely not a game at all: kiro
// would start with nothing loaded, which no check can tell from a mistake.
std::string directoryProblem(const std::string& gameDir) {
    if (!isDirectory(gameDir)) return gameDir + ": not a directory";
    if (!isDirectory(gameDir + "/csv") && !isDirectory(gameDir + "/kst"))
        return gameDir + ": no csv or kst folder, so this is not a game directory";
    return {};
}

}  // namespace

CheckReport checkGame(const std::string& gameDir) {
    CheckReport report;
    report.problem = directoryProblem(gameDir);
    if (!report.problem.empty()) {
        report.status = CheckStatus::NotLoaded;
        return report;
    }
    checkLineEnds(gameDir, report.findings);
    LoadedGame game;
    if (loadGame(gameDir, game, report.findings)) {
        checkBlocks(game, report.findings);
        checkReferences(game, report.findings);
        checkExpressions(game, report.findings);
        checkGameRules(game, report.findings);
        checkTraps(game, report.findings);
        checkFlow(game, report.findings);
        // A misspelt entry point is unused too; its warning says why.
        report.findings.dropWhere(FindingCode::UnusedFunction, FindingCode::MisspeltEntryPoint);
        report.status = report.findings.count(Severity::Error) == 0 ? CheckStatus::Clean : CheckStatus::Faults;
    } else {
        report.status = CheckStatus::NotLoaded;
    }
    report.findings.sort();
    return report;
}

}  // namespace kiro::check
