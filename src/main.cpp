// kiro: runs the game in the current directory.
#include "app/startup.h"
#include "console/console.h"

int main() {
    kiro::StdConsoleIo io;
    kiro::Console console(io);
    return kiro::runProgram(console);
}
