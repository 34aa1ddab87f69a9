// Saves that fail part-way. Every step of replacing a slot file is made to
// fail in turn (through the save-step hook, and through real conditions
// where the system offers them), and the process is killed between its
// steps; each time the previous save must still be there and load, and the
// player must be told that the save failed. Two processes saving one slot
// while being killed at random must leave a complete save and tell the
// truth about it.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
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
    static const char* const names[] = {"lock", "create temporary", "write", "sync", "close", "rename"};
    return std::string(names[static_cast<int>(fault.step)]) + " #" + std::to_string(fault.occurrence);
}

// A save large enough to be written in several pieces.
std::string bigSave(char fill) { return std::string(3 * kSavePieceSize + 17, fill); }

// The names in `folder`, sorted: after a save, the slot files and nothing
// else of the save's.
std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

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
        EXPECT_EQ(entriesOf(dir.path()), Names{"save01.sav"});
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
    EXPECT_EQ(entriesOf(dir.path()), Names{"save02.sav"});

    // The rename cannot replace a folder that holds something.
    dir.write("save03.sav/inner", "kept");
    EXPECT_FALSE(replaceFile("save03.sav", "new"));
    EXPECT_EQ(dir.read("save03.sav/inner"), "kept");
    EXPECT_EQ(entriesOf(dir.path()), (Names{"save02.sav", "save03.sav"}));
}

// What earlier saves left beside a slot never stops a save and is never
// written through. Only the temporary files of killed saves are removed,
// links as links; a name of another pattern, folders and files of another
// slot stay. Without the folder lock nothing is removed.
TEST(SaveFaults, StaleTemporariesNeverStopASave) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    dir.write("victim", "untouched");
    ASSERT_EQ(symlink("victim", (dir.path() + "/save04.sav.tmp").c_str()), 0);
    ASSERT_EQ(symlink("victim", (dir.path() + "/save04.sav.tmp.12.3").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir.path() + "/save04.sav.tmp.12.4").c_str()), 0);
    dir.write("save04.sav.tmp.13.1", "stale");
    dir.write("save04.sav.tmp.14.1/inner", "a folder");
    dir.write("save04.sav.tmp.15.1.unlocked", "a save without the lock");
    dir.write("save05.sav.tmp.16.1", "another slot's");
    const Names stale = entriesOf(dir.path());
    {
        InjectedFault noLock({SaveStep::Lock});
        ASSERT_TRUE(replaceFile("save04.sav", "unlocked"));
    }
    EXPECT_EQ(dir.read("save04.sav"), "unlocked");
    Names withSlot = stale;
    withSlot.insert(std::lower_bound(withSlot.begin(), withSlot.end(), "save04.sav"), "save04.sav");
    EXPECT_EQ(entriesOf(dir.path()), withSlot);

    ASSERT_TRUE(replaceFile("save04.sav", "locked"));
    EXPECT_EQ(dir.read("save04.sav"), "locked");
    EXPECT_EQ(dir.read("victim"), "untouched");
    EXPECT_EQ(entriesOf(dir.path()), (Names{"save04.sav", "save04.sav.tmp", "save04.sav.tmp.14.1",
                                            "save04.sav.tmp.15.1.unlocked", "save05.sav.tmp.16.1", "victim"}));
}

// A game stopped in the middle of its save (Ctrl-Z) keeps the folder lock;
// another game's save waits for it a little, then goes ahead without it.
TEST(SaveFaults, ALockHeldByAStoppedGameDelaysASaveButNeverStopsIt) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    dir.write("save06.sav.tmp.17.1", "stale, but not provably so without the lock");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        int fd = open(".", O_RDONLY | O_DIRECTORY);
        if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_TRUE(replaceFile("save06.sav", "saved meanwhile"));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(dir.read("save06.sav"), "saved meanwhile");
    EXPECT_EQ(entriesOf(dir.path()), (Names{"save06.sav", "save06.sav.tmp.17.1"}));
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
        // What the dead process left behind is only ever its temporary file,
        // which the next save removes: that save also shows that the dead
        // process's lock was released.
        EXPECT_EQ(entriesOf(dir.path()).size(), 2u);
        ASSERT_TRUE(replaceFile("save05.sav", "after"));
        EXPECT_EQ(dir.read("save05.sav"), "after");
        EXPECT_EQ(entriesOf(dir.path()), Names{"save05.sav"});
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
        EXPECT_EQ(entriesOf(dir.path()), Names{"save03.sav"});
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

// ---- Two processes saving one slot ---------------------------------------

// A save told apart by its tag (in MONEY), long enough to be written in
// several pieces so that two writers overlap.
std::string taggedSave(std::int32_t tag) {
    VariableStore store;
    store.at(kMoney) = tag;
    store.strings(kSaveStr)[0] = std::string(3 * kSavePieceSize, static_cast<char>('a' + tag % 26));
    return encodeSave(store, GameBase{}, "d");
}

// The tag of the complete save `bytes` hold, or -1 when they are no complete
// save or not exactly the save of that tag.
std::int32_t tagOf(const std::string& bytes) {
    VariableStore store;
    SaveContents contents;
    if (!decodeSave(bytes, store, contents)) return -1;
    applySave(contents, store);
    std::int32_t tag = store.at(kMoney);
    return bytes == taggedSave(tag) ? tag : -1;
}

// What a contender said about its save; Killed when it said nothing.
enum class Report { Saved, Failed, Killed };

// A process that waits until the pipe `start` is closed, saves `bytes` into
// `slot` and reports the outcome through a pipe of its own.
struct Contender {
    Contender(const std::string& slot, const std::string& bytes, const int (&start)[2]) {
        int report[2];
        if (pipe(report) != 0) std::abort();
        pid = fork();
        if (pid < 0) std::abort();
        if (pid == 0) {
            close(start[1]);
            char go;
            while (read(start[0], &go, 1) < 0) {}
            // Every step as slow as on a busy disk, so that the two saves overlap.
            setSaveStepHook([](SaveStep) {
                usleep(200);
                return true;
            });
            char said = replaceFile(slot, bytes) ? 'S' : 'F';
            if (write(report[1], &said, 1) != 1) _exit(1);
            _exit(0);
        }
        close(report[1]);
        reportFd = report[0];
    }
    // Waits for the process to end.
    Report outcome() {
        char said = 0;
        ssize_t n = read(reportFd, &said, 1);
        close(reportFd);
        int status = 0;
        if (pid > 0) waitpid(pid, &status, 0);
        if (n != 1) return Report::Killed;
        return said == 'S' ? Report::Saved : Report::Failed;
    }

    pid_t pid = -1;
    int reportFd = -1;
};

// What is wrong with a round in which the slot went from the save `before`
// to `now`, the contenders having saved the tags `tags` with `reports`.
std::string judgeRound(std::int32_t before, std::int32_t now, const std::int32_t (&tags)[2],
                       const Report (&reports)[2]) {
    if (now < 0) return "the slot holds no complete save";
    if (now != before && now != tags[0] && now != tags[1]) return "the slot holds a save nobody wrote";
    for (int i = 0; i < 2; ++i) {
        if (reports[i] == Report::Failed && now == tags[i]) return "a failed save is in the slot";
        if (reports[i] == Report::Saved && now == before) return "a reported save is not in the slot";
    }
    return {};
}

// Each round starts two processes saving one slot at the same moment and
// kills each with a chance of one in three after a random short while.
// Bounded by a round count and a wall-clock budget; no assertion depends on
// timing.
TEST(SaveFaults, TwoProcessesSavingOneSlotLeaveACompleteSaveAndTellTheTruth) {
    test::TempDir dir;
    test::WorkingDirectory cwd(dir.path());
    const std::string slot = "save09.sav";
    std::int32_t before = 1;
    ASSERT_TRUE(replaceFile(slot, taggedSave(before)));
    std::mt19937 rng(20240615);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int rounds = 0, badRounds = 0;
    for (; rounds < 60 && std::chrono::steady_clock::now() < deadline; ++rounds) {
        const std::int32_t tags[2] = {2 * rounds + 2, 2 * rounds + 3};
        int start[2];
        ASSERT_EQ(pipe(start), 0);
        Contender contenders[2] = {{slot, taggedSave(tags[0]), start}, {slot, taggedSave(tags[1]), start}};
        close(start[0]);
        close(start[1]);  // both start now
        const bool kills[2] = {rng() % 3 == 0, rng() % 3 == 0};
        usleep(rng() % 3000);
        for (int i = 0; i < 2; ++i)
            if (kills[i]) kill(contenders[i].pid, SIGKILL);
        const Report reports[2] = {contenders[0].outcome(), contenders[1].outcome()};
        const std::int32_t now = tagOf(dir.read(slot));
        std::string fault = judgeRound(before, now, tags, reports);
        if (!fault.empty() && ++badRounds <= 3) ADD_FAILURE() << "round " << rounds << ": " << fault;
        if (now >= 0) before = now;
    }
    EXPECT_EQ(badRounds, 0) << "of " << rounds << " rounds";
    // A save after them all removes what the killed ones left.
    ASSERT_TRUE(replaceFile(slot, taggedSave(0)));
    EXPECT_EQ(entriesOf(dir.path()), Names{slot});
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
