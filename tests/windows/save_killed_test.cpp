// A save killed between writing its temporary file and renaming it over the
// slot, on Windows (the test suite runs it under Wine): a second process of
// this program ends itself at the rename, as TerminateProcess would end the
// game; the slot must still hold the previous save, and the next save must
// go through and remove what the killed one left. Prints what failed; exit
// status 0 when nothing did.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "save/save_file.h"

namespace fs = std::filesystem;

namespace {

constexpr UINT kKilled = 9;

std::string slotBytes() {
    std::ifstream in("save00.sav", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

long entries() { return std::distance(fs::directory_iterator("."), fs::directory_iterator()); }

// Runs this program again, in the same folder, to save and be killed.
DWORD killedSave() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --killed-save";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
        return 0;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--killed-save") {
        kiro::setSaveStepHook([](kiro::SaveStep step) {
            if (step == kiro::SaveStep::Rename) TerminateProcess(GetCurrentProcess(), kKilled);
            return true;
        });
        kiro::replaceFile("save00.sav", std::string(3 * kiro::kSavePieceSize, 'n'));
        return 0;
    }
    const fs::path dir = fs::temp_directory_path() / ("kiro-save-killed-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir);
    fs::current_path(dir);
    int failed = 0;
    auto check = [&](bool ok, const char* what) {
        if (!ok) std::printf("failed: %s\n", what);
        failed += !ok;
    };
    check(kiro::replaceFile("save00.sav", "old"), "the first save");
    check(killedSave() == kKilled, "the second save was killed at its rename");
    check(slotBytes() == "old", "the slot holds the previous save");
    check(entries() == 2, "the killed save left its temporary file beside the slot");
    check(kiro::replaceFile("save00.sav", "after") && slotBytes() == "after", "the next save");
    check(entries() == 1, "the next save removed the killed save's temporary file");
    fs::current_path(dir.parent_path());
    fs::remove_all(dir);
    return failed ? 1 : 0;
}
