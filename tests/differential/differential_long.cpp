// The long differential run: COUNT (default 10,000,000) random expressions,
// assignments and forms from SEED (default 1), each evaluated by the text
// path and the parsed path; stops at the first difference.
//   build/tests/differential_long [COUNT [SEED]]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/differential.h"

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    constexpr std::size_t kChunk = 1'000'000;  // progress after each
    kiro::test::DifferentialCheck check;
    for (std::size_t done = 0; done < count;) {
        const std::size_t chunk = std::min(kChunk, count - done);
        const std::string difference = kiro::test::runDifferential(seed + done, chunk, check);
        if (!difference.empty()) {
            std::printf("DIFFERENCE (seed %llu) %s\n", static_cast<unsigned long long>(seed + done), difference.c_str());
            return 1;
        }
        done += chunk;
        std::printf("%zu cases agree (%zu ran as parsed steps)\n", done, check.compiled);
        std::fflush(stdout);
    }
    return 0;
}
