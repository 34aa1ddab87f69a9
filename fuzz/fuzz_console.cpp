// Fuzz target: typed input through the number, word and Enter reads; the
// reads alternate in a fixed pattern until the input ends.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kiro::StringConsoleIo io{std::string(kiro::fuzz::asText(data, size))};
    kiro::Console console(io);
    try {
        for (int i = 0; i < 4096; ++i) {
            switch (i % 5) {
            case 0: case 1: case 3: console.readNumber(); break;
            case 2: console.readWord(); break;
            case 4: console.waitForEnter(); break;
            }
        }
    } catch (const kiro::ProgramExit&) {
        // end of input at a number read
    }
    return 0;
}
