// The long differential run: COUNT (default 10,000,000) random cases from
// SEED (default 1), each run by the reference path and the fast path; stops
// at the first difference.
//   build/tests/differential_long [COUNT [SEED [expressions|functions]]]
// "expressions" (the default): expressions, assignments and forms, by the
// text path and the parsed path. "functions": generated two-function
// scripts, run line by line and as compiled statements (about 20 times
// slower a case).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/differential.h"

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const bool functions = argc > 3 && std::string(argv[3]) == "functions";
    const std::size_t chunk = functions ? 100'000 : 1'000'000;  // progress after each
    kiro::test::DifferentialCheck check;
    for (std::size_t done = 0; done < count;) {
        const std::size_t cases = std::min(chunk, count - done);
        const std::string difference = functions ? kiro::test::runFunctionDifferential(seed + done, cases)
                                                 : kiro::test::runDifferential(seed + done, cases, check);
        if (!difference.empty()) {
            std::printf("DIFFERENCE (seed %llu) %s\n", static_cast<unsigned long long>(seed + done), difference.c_str());
            return 1;
        }
        done += cases;
        if (functions) std::printf("%zu functions agree\n", done);
        else std::printf("%zu cases agree (%zu ran as parsed steps)\n", done, check.compiled);
        std::fflush(stdout);
    }
    return 0;
}
