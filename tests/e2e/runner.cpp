// Runs every tests/e2e/cases/<group>/<name>.case as one GoogleTest: the real
// kiro binary in a fresh game directory, given stdin, compared on exact
// stdout bytes, exit status and the files left behind (format: README.md;
// the cases are run by tools/cases, which kiro-test shares).
//   e2e_tests [GTEST FLAGS] [--system NAME] [LAUNCHER... ENGINE]
// runs another engine build, e.g. `--system windows bash tools/wine.sh kiro.exe`;
// cases whose `-- systems` line leaves NAME out are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "case_run.h"

namespace fs = std::filesystem;

namespace {

kiro::cases::CaseSetup setup{KIRO_BINARY, KIRO_SOURCE_DIR, "", 60, {}};
std::string caseSystem = "posix";

void runCase(const fs::path& file) {
    if (!kiro::cases::caseRunsOn(file.string(), caseSystem)) GTEST_SKIP() << "a case for other systems";
    for (const std::string& failure : kiro::cases::runCaseFile(file.string(), setup)) ADD_FAILURE() << failure;
}

std::string testName(std::string s) {
    for (char& c : s)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return s;
}

void registerCases() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(KIRO_CASES_DIR))
        if (entry.is_regular_file() && entry.path().extension() == ".case") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::string group = testName(file.parent_path().filename().string());
        std::string name = testName(file.stem().string());
        testing::RegisterTest(("E2E_" + group).c_str(), name.c_str(), nullptr, nullptr, file.string().c_str(), 0,
                              [file]() -> testing::Test* {
                                  struct CaseTest : testing::Test {
                                      explicit CaseTest(fs::path f) : file(std::move(f)) {}
                                      void TestBody() override { runCase(file); }
                                      fs::path file;
                                  };
                                  return new CaseTest(file);
                              });
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--system") {
        caseSystem = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (!args.empty()) {
        setup.kiro = args.back();
        setup.launcher.assign(args.begin(), args.end() - 1);
    }
    registerCases();
    return RUN_ALL_TESTS();
}
