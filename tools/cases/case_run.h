// Runs one end-to-end case: the real kiro binary in a fresh temporary game
// directory, given the case's input, its output, exit status and the files
// it leaves compared with what the case expects. Shared by the test suite's
// runner and kiro-test.
#pragma once

#include <string>
#include <vector>

namespace kiro::cases {

struct CaseSetup {
    std::string kiro;        // the engine binary
    std::string sourceRoot;  // what `-- game PATH` is relative to
    std::string baseGame;    // a Shift-JIS game folder whose csv/ and kst/ every case starts from (then
                             // `-- game` sections, written for the repository's runner, are skipped); may be empty
    int timeoutSeconds = 60;
    std::vector<std::string> launcher;  // words run before the engine binary (`wine`); empty to run it directly
};

// One message per failure, each naming the case file and the section (its
// line) that failed; an output that differs comes with a unified diff of
// the expected and the actual output, in UTF-8. Empty when the case passed.
std::vector<std::string> runCaseFile(const std::string& caseFile, const CaseSetup& setup);

// Whether a case runs on `system` ("posix", "windows"): a `-- systems NAME...`
// section names the only systems it runs on; without one it runs on all.
bool caseRunsOn(const std::string& caseFile, const std::string& system);

// A unified diff of two texts, line by line ("--- expected", "+++ actual",
// hunks with three lines of context). Empty when they are equal.
std::string unifiedDiff(const std::string& expected, const std::string& actual);

}  // namespace kiro::cases
