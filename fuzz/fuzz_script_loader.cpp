// Fuzz target: a whole script file's bytes through the loader.
#include "fuzz_support.h"
#include "script/errors.h"
#include "script/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kiro::StringConsoleIo io;
    kiro::Console console(io);
    kiro::ScriptProgram program;
    try {
        kiro::loadScriptText(program, console, "fuzz.kst", kiro::fuzz::asText(data, size));
    } catch (const kiro::ArrayError&) {
        // a statement cut inside a double-byte character ends start-up
    }
    return 0;
}
