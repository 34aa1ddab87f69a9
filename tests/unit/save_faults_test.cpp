// Saves that fail part-way. Every step of replacing a slot file is made to
// fail in turn (through the save-step hook, and through real conditions
// where the system offers them), and the process is killed between its
// steps; each time the previous save must still be there and load, and the
// player must be told that the save failed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/game_base.h"
#include "data/variable_store.h"
#include "save/save_file.h"
#include "save/save_menus.h"
#include "support/sjis.h"
#include "support/test_game.h"
#include "support/test_runtime.h"

namespace kiro {
namespace {

using test::utf8;

// ---- Injecting faults ------------------------------------------------------

// Which step fails, on which of its occurrences (Write comes once per
// piece), and whether the process dies there instead of seeing a failure.
struct Fault {
    SaveStep step;
    int occurrence = 1;
    bool kill = false;
};

Fault activeFault;
int occurrencesSeen = 0;

bool injectFault(SaveStep step) {
    if (step != activeFault.step || ++occurrencesSeen < activeFault.occurrence) return true;
    if (activeFault.kill) raise(SIGKILL);
    return false;
}

// Sets the hook for one scope; the hook is process-wide.
class InjectedFault {
public:
    explicit InjectedFault(Fault fault) {
        activeFault = fault;
        occurrencesSeen = 0;
        setSaveStepHook(injectFault);
    }
    ~InjectedFault() { setSaveStepHook(nullptr); }
    InjectedFault(const InjectedFault&) = delete;
    InjectedFault& operator=(const InjectedFault&) = delete;
};

// Every way replaceFile can fail: each step once, and a write failing after
// the first piece is already on disk.
const std::vector<Fault> kEveryFailure = {
    {SaveStep::CreateTemporary}, {SaveStep::Write, 1}, {SaveStep::Write, 2},
    {SaveStep::Sync},            {SaveStep::Close},    {SaveStep::Rename},
};

std::string describe(const Fault& fault) {
    static const char* const names[] = {"create temporary", "write", "sync", "close", "rename"};
    return std::string(names[static_cast<int>(fault.step)]) + " #" + std::to_string(fault.occurrence);
}

// A save large enough to be written in several pieces.
std::string bigSave(char fill) { return std::string(3 * kSavePieceSize + 17, fill); }

// Runs `body` in a child process; returns its wait status.
template <typename Body>
int inChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// ---- replaceFile -----------------------------------------------------------

TEST(SaveFaults, EveryFailedStepKeepsTheOldFileAndLeavesNoTemporary) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    const std::string old = bigSave('o');
    dir.write("save01.sav", old);
    for (const Fault& fault : kEveryFailure) {
        SCOPED_TRACE(describe(fault));
        {
            InjectedFault injected(fault);
            EXPECT_FALSE(replaceFile("save01.sav", bigSave('n')));
            EXPECT_EQ(occurrencesSeen, fault.occurrence) << "the step was never reached";
        }
        EXPECT_TRUE(dir.read("save01.sav") == old);
        EXPECT_FALSE(dir.exists("save01.sav.tmp"));
    }
    // Without a fault the same save goes through.
    ASSERT_TRUE(replaceFile("save01.sav", bigSave('n')));
    EXPECT_TRUE(dir.read("save01.sav") == bigSave('n'));
}

TEST(SaveFaults, RealFailuresKeepTheOldFile) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());

    // The file system refuses the data part-way (a file size limit stands
    // in for a full disk): the write fails after its first bytes.
    dir.write("save02.sav", "old");
    int status = inChild([] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(replaceFile("save02.sav", bigSave('n')) ? 1 : 0);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save claimed success";
    EXPECT_EQ(dir.read("save02.sav"), "old");
    EXPECT_FALSE(dir.exists("save02.sav.tmp"));

    // The rename cannot replace a folder that holds something.
    dir.write("save03.sav/inner", "kept");
    EXPECT_FALSE(replaceFile("save03.sav", "new"));
    EXPECT_EQ(dir.read("save03.sav/inner"), "kept");
    EXPECT_FALSE(dir.exists("save03.sav.tmp"));

    // A link in the temporary file's place is never written through.
    dir.write("victim", "untouched");
    ASSERT_EQ(symlink("victim", (dir.path() + "/save04.sav.tmp").c_str()), 0);
    EXPECT_FALSE(replaceFile("save04.sav", "new"));
    EXPECT_EQ(dir.read("victim"), "untouched");
    EXPECT_FALSE(dir.exists("save04.sav"));
}

TEST(SaveFaults, KilledMidSaveLeavesTheOldFileAndTheNextSaveWorks) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    const std::string old = bigSave('o');
    const std::vector<Fault> kills = {
        {SaveStep::Write, 2, true}, {SaveStep::Sync, 1, true}, {SaveStep::Rename, 1, true}};
    for (const Fault& fault : kills) {
        SCOPED_TRACE(describe(fault));
        dir.write("save05.sav", old);
        int status = inChild([&] {
            InjectedFault injected(fault);
            replaceFile("save05.sav", bigSave('n'));
        });
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGKILL);
        EXPECT_TRUE(dir.read("save05.sav") == old);
        // What the dead process left behind is only ever the temporary file,
        // which the next save replaces.
        EXPECT_TRUE(dir.exists("save05.sav.tmp"));
        ASSERT_TRUE(replaceFile("save05.sav", "after"));
        EXPECT_EQ(dir.read("save05.sav"), "after");
        EXPECT_FALSE(dir.exists("save05.sav.tmp"));
    }
}

// ---- The save menu over a failing save ------------------------------------

// A game with one character whose money tells the saves apart.
struct MenuRun : test::TestRuntime {
    MenuRun(std::string input, std::int32_t money) : TestRuntime(std::move(input)) {
        base.gameCode = 5;
        base.version = 1;
        addCharacters(1);
        store.at(kMoney) = money;
    }
};

// Saves with money 100 into slot 3, then for each failure tries to
// overwrite it with money 200 and loads it back.
TEST(SaveFaults, TheMenuSaysTheSaveFailedAndThePreviousSaveLoads) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    {
        MenuRun first("3\n", 100);
        ASSERT_EQ(saveMenu(first.rt), SaveMenuResult::Done);
        ASSERT_NE(utf8(first.output()).find("☆☆☆セーブしました☆☆☆"), std::string::npos);
    }
    for (const Fault& fault : kEveryFailure) {
        SCOPED_TRACE(describe(fault));
        MenuRun second("3\n0\n", 200);
        second.store.strings(kSaveStr)[0] = std::string(2 * kSavePieceSize, 'x');  // several pieces
        {
            InjectedFault injected(fault);
            EXPECT_EQ(saveMenu(second.rt), SaveMenuResult::Done);
        }
        std::string said = utf8(second.output());
        EXPECT_NE(said.find("セーブに失敗しました。"), std::string::npos) << said;
        EXPECT_EQ(said.find("☆☆☆セーブしました☆☆☆"), std::string::npos) << said;

        MenuRun later("3\n", 0);
        ASSERT_EQ(loadMenu(later.rt), LoadMenuResult::Loaded);
        EXPECT_EQ(later.store.at(kMoney), 100);
        EXPECT_EQ(later.store.strings(kSaveStr)[0], "");
        EXPECT_EQ(later.store.characterCount(), 1);
        EXPECT_FALSE(dir.exists("save03.sav.tmp"));
    }
}

// A process killed while the menu saves leaves a slot the next run still
// lists and loads as the previous save.
TEST(SaveFaults, KilledWhileTheMenuSavesThePreviousSaveStillLoads) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    {
        MenuRun first("3\n", 100);
        ASSERT_EQ(saveMenu(first.rt), SaveMenuResult::Done);
    }
    int status = inChild([] {
        MenuRun second("3\n0\n", 200);
        InjectedFault injected({SaveStep::Rename, 1, true});
        saveMenu(second.rt);
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    MenuRun later("3\n", 0);
    ASSERT_EQ(loadMenu(later.rt), LoadMenuResult::Loaded);
    EXPECT_EQ(later.store.at(kMoney), 100);
}

// ---- Slot files no save of this engine wrote ------------------------------

TEST(SaveFaults, AFifoInASlotsPlaceNeitherHangsNorLoads) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    ASSERT_EQ(mkfifo("save06.sav", 0666), 0);
    SlotHeader header;
    EXPECT_FALSE(readSlotHeader("save06.sav", header));
    EXPECT_FALSE(slotWritable("save06.sav"));
    MenuRun run("6\n100\n", 0);
    EXPECT_EQ(loadMenu(run.rt), LoadMenuResult::ShowAgain);
    EXPECT_NE(utf8(run.output()).find("[6]  データなし"), std::string::npos);
}

// A sparse file of a terabyte: the slot list reads its header without
// reading on through the zeros, and loading refuses it instead of trying to
// hold it in memory.
TEST(SaveFaults, AHugeSlotFileIsListedAtOnceAndRefused) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    dir.write("save07.sav", "5\r\n1\r\n" + test::sjis("巨大") + "\r\n1\r\n");
    dir.write("save08.sav", "");
    ASSERT_EQ(truncate("save07.sav", std::int64_t{1} << 40), 0);
    ASSERT_EQ(truncate("save08.sav", std::int64_t{1} << 40), 0);  // zeros only, no line feed
    MenuRun run("7\n100\n", 42);
    EXPECT_EQ(loadMenu(run.rt), LoadMenuResult::ShowAgain);
    std::string said = utf8(run.output());
    EXPECT_NE(said.find("[7]  巨大"), std::string::npos) << said;
    EXPECT_NE(said.find("[8]  ゲームが違います"), std::string::npos) << said;
    EXPECT_NE(said.find("ロードに失敗しました。"), std::string::npos) << said;
    EXPECT_EQ(run.store.at(kMoney), 42);
}

}  // namespace
}  // namespace kiro
