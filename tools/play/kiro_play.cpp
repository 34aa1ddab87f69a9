// kiro-play: plays a game on a UTF-8 terminal.
//
// The engine speaks Shift-JIS bytes and takes no arguments; today's terminals
// speak UTF-8. kiro-play runs the engine in the game directory with pipes,
// converts every chunk the engine writes to UTF-8 at once (so a prompt shows
// before the engine waits), converts what is typed back to Shift-JIS, and
// ends with the engine's exit status.
//
// Both directions are relayed by one poll loop that never blocks on the
// engine: input the engine has not taken yet waits in a buffer while its
// output goes on being read, so any amount of piped input works. Control
// characters in the game's text are shown, never sent to the terminal raw.
// When kiro-play is stopped by SIGTERM, SIGHUP or SIGINT, it stops the engine
// with the same signal, waits for it and exits with 128 + the signal.
//
// A game kept in UTF-8 is played from its Shift-JIS working copy inside the
// game folder (see game_folder.h), refreshed first when a source changed.
//
//   kiro-play [GAME-DIRECTORY]    (default: the bundled sample game)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "command_line.h"
#include "cp932.h"
#include "game_folder.h"
#include "terminal_text.h"

namespace {

// The signals that stop kiro-play and, through it, the engine.
constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

volatile sig_atomic_t stopSignal = 0;
int wakeWriter = -1;  // the handler's byte here wakes the poll loop

void onStopSignal(int signal) {
    if (stopSignal == 0) stopSignal = signal;
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] ssize_t n = write(wakeWriter, &byte, 1);
    errno = saved;
}

bool retryable(ssize_t n) { return n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK); }

// The terminal side stays as it was opened (it may be shared with the shell),
// so a write there can still meet a descriptor someone else made non-blocking.
void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && stopSignal == 0) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (retryable(n)) {
            pollfd wait{fd, POLLOUT, 0};
            if (errno != EINTR) poll(&wait, 1, -1);
            continue;
        }
        if (n <= 0) return;  // the terminal is gone: what is left has nowhere to go
        done += static_cast<std::size_t>(n);
    }
}

std::string siblingEngine(const char* argv0) {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv0);
    std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/kiro";
}

// Catches the stop signals (leaving alone any the caller ignores, as with
// nohup) and ignores SIGPIPE; returns SIGPIPE's disposition for the engine.
struct sigaction catchSignals() {
    struct sigaction stop{};
    stop.sa_handler = onStopSignal;  // no SA_RESTART: a signal must end a wait
    sigemptyset(&stop.sa_mask);
    for (int signal : kStopSignals) {
        struct sigaction old{};
        sigaction(signal, nullptr, &old);
        if (old.sa_handler != SIG_IGN) sigaction(signal, &stop, nullptr);
    }
    struct sigaction ignore{}, pipeBefore{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &pipeBefore);
    return pipeBefore;
}

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals) sigaddset(&set, signal);
    return set;
}

// Starts the engine in the game directory. The stop signals are held back
// while it forks, so the child never runs kiro-play's handler; the engine
// starts with the signal dispositions kiro-play was given.
pid_t startEngine(const std::string& engine, const char* gameDir, const struct sigaction& pipeBefore,
                  int& toEngine, int& fromEngine) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return -1;
    if (pipe2(out, O_CLOEXEC) != 0) return -1;
    const sigset_t stops = stopSignalSet();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &stops, &before);
    pid_t pid = fork();
    if (pid == 0) {
        struct sigaction fallback{};
        fallback.sa_handler = SIG_DFL;
        for (int signal : kStopSignals) {
            struct sigaction mine{};
            sigaction(signal, nullptr, &mine);
            if (mine.sa_handler == onStopSignal) sigaction(signal, &fallback, nullptr);
        }
        sigaction(SIGPIPE, &pipeBefore, nullptr);
        sigprocmask(SIG_SETMASK, &before, nullptr);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (chdir(gameDir) != 0) {
            std::fprintf(stderr, "kiro-play: cannot enter %s: %s\n", gameDir, std::strerror(errno));
            _exit(127);
        }
        execl(engine.c_str(), engine.c_str(), static_cast<char*>(nullptr));
        std::fprintf(stderr, "kiro-play: cannot run %s: %s\n", engine.c_str(), std::strerror(errno));
        _exit(127);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    close(in[0]);
    close(out[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        return -1;
    }
    toEngine = in[1];
    fromEngine = out[0];
    fcntl(toEngine, F_SETFL, fcntl(toEngine, F_GETFL) | O_NONBLOCK);
    fcntl(fromEngine, F_SETFL, fcntl(fromEngine, F_GETFL) | O_NONBLOCK);
    return pid;
}

// Shuttles bytes between the terminal and the engine until the engine
// closes its output or a stop signal arrives.
class Relay {
public:
    Relay(int toEngine, int fromEngine, int wake) : toEngine_(toEngine), fromEngine_(fromEngine), wake_(wake) {}
    // An engine still reading once its output has ended sees the end of its
    // input, rather than waiting for input nobody relays.
    ~Relay() {
        if (toEngine_ >= 0) close(toEngine_);
        close(fromEngine_);
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    void run() {
        while (stopSignal == 0) {
            pollfd fds[4] = {
                {fromEngine_, POLLIN, 0},
                {wantsInput() ? STDIN_FILENO : -1, POLLIN, 0},
                {toEngine_ >= 0 && !pending_.empty() ? toEngine_ : -1, POLLOUT, 0},
                {wake_, POLLIN, 0},
            };
            if (poll(fds, 4, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[2].revents) deliver();
            if (fds[1].revents) readInput();
            if (fds[0].revents && !showOutput()) return;
        }
    }

private:
    // Typed input is read only while little of it waits for the engine, so
    // a game that stops reading never makes kiro-play hold unbounded input.
    static constexpr std::size_t kMaxPending = 64 * 1024;

    bool wantsInput() const { return inputOpen_ && pending_.size() < kMaxPending; }

    void readInput() {
        char buf[4096];
        ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
        if (retryable(n)) return;
        if (n > 0) {
            pending_ += up_.feed(buf, static_cast<std::size_t>(n));
        } else {
            pending_ += up_.feed("", 0, true);
            inputOpen_ = false;
        }
        deliver();
    }

    // Writes what the engine will take now; closes its input once the
    // terminal's input has ended and all of it has been delivered.
    void deliver() {
        while (toEngine_ >= 0 && !pending_.empty()) {
            ssize_t n = write(toEngine_, pending_.data(), pending_.size());
            if (retryable(n)) break;
            if (n <= 0) {  // the engine no longer reads: drop the rest
                pending_.clear();
                inputOpen_ = false;
                break;
            }
            pending_.erase(0, static_cast<std::size_t>(n));
        }
        if (toEngine_ >= 0 && !inputOpen_ && pending_.empty()) {
            close(toEngine_);
            toEngine_ = -1;
        }
    }

    // False once the engine's output has ended.
    bool showOutput() {
        char buf[65536];
        ssize_t n = read(fromEngine_, buf, sizeof buf);
        if (retryable(n)) return true;
        if (n <= 0) {
            writeAll(STDOUT_FILENO, shown_.feed(down_.feed("", 0, true), true));
            return false;
        }
        writeAll(STDOUT_FILENO, shown_.feed(down_.feed(buf, static_cast<std::size_t>(n))));
        return true;
    }

    int toEngine_, fromEngine_, wake_;
    kiro::text::StreamConverter down_{"UTF-8", "CP932"};  // engine -> terminal
    kiro::text::StreamConverter up_{"CP932", "UTF-8"};    // terminal -> engine, '?' for what Shift-JIS lacks
    kiro::TerminalText shown_;
    std::string pending_;  // converted input the engine has not taken yet
    bool inputOpen_ = true;
};

// Waits for the engine; a stop signal that arrives meanwhile is passed on.
int waitForEngine(pid_t pid) {
    bool passedOn = false;
    int status = 0;
    for (;;) {
        if (stopSignal != 0 && !passedOn) {
            kill(pid, stopSignal);
            passedOn = true;
        }
        if (waitpid(pid, &status, 0) == pid) break;
        if (errno != EINTR) return 2;
    }
    if (stopSignal != 0) return 128 + stopSignal;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

constexpr const char* kUsage = "usage: kiro-play [GAME-DIRECTORY]";

constexpr const char* kHelp =
    "usage: kiro-play [GAME-DIRECTORY]\n"
    "\n"
    "Plays a game on this UTF-8 terminal: runs kiro in the game folder and converts\n"
    "between its Shift-JIS and UTF-8 as the text goes by. Without a folder it plays\n"
    "the bundled sample game.\n"
    "\n"
    "The game's csv/*.csv and kst/*.kst may be in Shift-JIS (CP932) or in UTF-8,\n"
    "not a mix. A game in UTF-8 is converted to a Shift-JIS working copy in\n"
    "GAME-DIRECTORY/.kiro/, refreshed whenever a source file changed, and played\n"
    "there: its saves go to .kiro/ too, and a refresh never touches them.\n"
    "Typed characters that Shift-JIS cannot hold reach the game as one '?' each.\n"
    "\n"
    "Exit status: the engine's; 128 + N when stopped by signal N; 2 when the game\n"
    "cannot be started.\n";

// The folder the engine runs in, or empty after saying why there is none.
std::string prepareGame(const char* gameDir) {
    std::error_code ignored;
    if (!std::filesystem::is_directory(gameDir, ignored)) {
        std::fprintf(stderr, "kiro-play: %s: not a folder\n", gameDir);
        return {};
    }
    std::string problem;
    bool refreshed = false;
    std::string folder = kiro::text::runnableFolder(gameDir, problem, refreshed);
    if (!problem.empty()) {
        std::fprintf(stderr, "kiro-play: %s\nkiro-play: the game was not started\n", problem.c_str());
        return {};
    }
    if (refreshed)
        std::fprintf(stderr, "kiro-play: %s is in UTF-8; playing its Shift-JIS copy in %s (saves go there)\n",
                     gameDir, folder.c_str());
    return folder;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::optional<int> answered = kiro::text::answerStandardOption(argc, argv, "kiro-play", kHelp)) return *answered;
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) return kiro::text::usageError("kiro-play", kUsage);
    if (!kiro::text::cp932Available()) {
        std::fprintf(stderr, "kiro-play: this system cannot convert Shift-JIS (CP932)\n");
        return 2;
    }
    const std::string game = prepareGame(argc > 1 ? argv[1] : KIRO_SAMPLE_GAME);
    if (game.empty()) return 2;
    const char* gameDir = game.c_str();
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "kiro-play: cannot start the engine\n");
        return 2;
    }
    wakeWriter = wake[1];
    const struct sigaction pipeBefore = catchSignals();
    int toEngine = -1, fromEngine = -1;
    pid_t pid = startEngine(siblingEngine(argv[0]), gameDir, pipeBefore, toEngine, fromEngine);
    if (pid < 0) {
        std::fprintf(stderr, "kiro-play: cannot start the engine\n");
        return 2;
    }
    Relay(toEngine, fromEngine, wake[0]).run();
    return waitForEngine(pid);
}
