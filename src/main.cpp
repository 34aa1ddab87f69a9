// kiro: runs the game in the current directory.
#include <cstdio>
#include <string>
#include <string_view>

#include "app/startup.h"
#include "console/before_read.h"
#include "console/clock.h"
#include "console/console.h"
#include "data/game_files.h"
#include "kiro_version.h"
#include "platform/platform.h"
#include "script/trace.h"

namespace {

// Answers a single --help or --version argument; every other argument is
// ignored, as it always has been.
bool answeredOption(int argc, char** argv) {
    if (argc != 2) return false;
    const std::string_view option = argv[1];
    if (option == "--version") std::fputs("kiro " KIRO_VERSION "\n", stdout);
    else if (option == "--help")
        std::fputs("usage: kiro   (run inside a game folder: csv/, kst/, saves)\n"
                   "Plays the game in the working directory, in Shift-JIS on standard input and\n"
                   "output. kiro-play plays it on a UTF-8 terminal; kiro-check checks it.\n",
                   stdout);
    else return false;
    return true;
}

bool holdsGame(const std::string& folder) { return kiro::isGameDirectory(folder); }

}  // namespace

int main(int argc, char** argv) {
    kiro::platform::prepareStandardStreams();
    if (answeredOption(argc, argv)) return 0;
    kiro::platform::enterProgramFolderIfItHoldsTheGame(&holdsGame);
    // A fixed seed or time that cannot be read is never ignored: the run
    // would not be the reproducible one that was asked for.
    if (const std::string problem = kiro::configureClock(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    // Likewise a trace that was asked for and cannot be written.
    if (const std::string problem = kiro::openTrace(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    kiro::beforeConsoleRead = &kiro::flushTrace;
    kiro::StdConsoleIo io;
    kiro::Console console(io);
    return kiro::runProgram(console);
}
