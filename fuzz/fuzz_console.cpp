// Fuzz target: typed input through the number, word and Enter reads. The
// first byte picks the order of the reads (two bits per read, four reads
// repeating); the rest is what the player types. Reads go on until the
// input ends, bounded in case a read stops consuming.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned pattern = data[0];
    kiro::fuzz::DiscardingConsoleIo io(kiro::fuzz::asText(data + 1, size - 1));
    kiro::Console console(io);
    try {
        for (int i = 0; i < 4096; ++i) {
            switch ((pattern >> (2 * (i % 4))) & 3) {
            case 0: console.readNumber(); break;
            case 1: console.readWord(); break;
            case 2: console.waitForEnter(); break;
            case 3: console.writeText("x"); console.readNumber(); break;
            }
        }
    } catch (const kiro::ProgramExit&) {
        // end of input at a number read
    }
    return 0;
}
