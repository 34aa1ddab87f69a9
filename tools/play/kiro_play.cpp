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
//   kiro-play [OPTION...] [GAME-DIRECTORY]    (default: the bundled sample game)
//
// --record writes the session as a case for kiro-test, --transcript as a
// readable text; --input types a file's lines first; --seed, --time and
// --trace set the engine's KIRO_SEED, KIRO_TIME and KIRO_TRACE.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
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
// What a session leaves besides the terminal: the bytes typed and shown
// (for --record) and a readable transcript (for --transcript).
struct SessionLog {
    bool recording = false;
    std::string typed;  // Shift-JIS, as the engine received it
    std::string shown;  // Shift-JIS, as the engine wrote it
    std::ofstream transcript;
    bool transcriptAtLineStart = true;

    void toTranscript(const std::string& text) {
        if (!transcript.is_open() || text.empty()) return;
        transcript << text;
        transcript.flush();
        transcriptAtLineStart = text.back() == '\n';
    }
    // A line the player typed, marked "> " and on a line of its own.
    void typedLine(const std::string& sjisLine) {
        if (!transcript.is_open()) return;
        std::string line = kiro::TerminalText().feed(kiro::text::utf8Of(sjisLine), true);
        if (line.empty() || line.back() != '\n') line += '\n';
        toTranscript((transcriptAtLineStart ? "> " : "\n> ") + line);
    }
};

// True when the engine sits in a read of its standard input (Linux's view
// of its current system call); nothing when that cannot be seen.
std::optional<bool> engineWaitsForInput(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
    std::string number, fd;
    if (!(in >> number)) return std::nullopt;  // "running" while it runs
    in >> fd;
    return number == std::to_string(SYS_read) && fd == "0x0";
}

class Relay {
public:
    Relay(int toEngine, int fromEngine, int wake, SessionLog& log, pid_t engine)
        : toEngine_(toEngine), fromEngine_(fromEngine), wake_(wake), log_(log), engine_(engine),
          pacing_(log.transcript.is_open()) {}

    // Input typed before the keyboard's (--input FILE).
    void type(const std::string& utf8) { accept(up_.feed(utf8.data(), utf8.size())); }
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
            if (toEngine_ >= 0 && !inputOpen_ && pending_.empty()) {
                close(toEngine_);
                toEngine_ = -1;
            }
            const bool paced = pacing_ && !pending_.empty() && toEngine_ >= 0;
            pollfd fds[4] = {
                {fromEngine_, POLLIN, 0},
                {wantsInput() ? STDIN_FILENO : -1, POLLIN, 0},
                {toEngine_ >= 0 && !pending_.empty() && !paced ? toEngine_ : -1, POLLOUT, 0},
                {wake_, POLLIN, 0},
            };
            if (poll(fds, 4, paced ? 2 : -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (paced && !deliverOneLine()) return;
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
            accept(up_.feed(buf, static_cast<std::size_t>(n)));
        } else {
            accept(up_.feed("", 0, true));
            inputOpen_ = false;
        }
        if (!pacing_) deliver();
    }

    void accept(const std::string& sjis) {
        pending_ += sjis;
        if (log_.recording) log_.typed += sjis;
    }

    // With a transcript, the typed lines go to the engine one at a time,
    // each when the engine waits for it with everything before it shown, so
    // the transcript has every line where the player's input met the game.
    // False once the engine's output has ended.
    bool deliverOneLine() {
        std::optional<bool> waits = engineWaitsForInput(engine_);
        if (!waits) {  // cannot be seen here: everything goes as it comes
            pacing_ = false;
            deliver();
            return true;
        }
        int unread = 0;
        if (!*waits || ioctl(toEngine_, FIONREAD, &unread) != 0 || unread > 0) return true;
        for (;;) {  // what the engine wrote before it began to wait
            char buf[65536];
            ssize_t n = read(fromEngine_, buf, sizeof buf);
            if (retryable(n)) break;
            if (n <= 0) {
                finishOutput();
                return false;
            }
            show(buf, static_cast<std::size_t>(n));
        }
        std::size_t end = pending_.find('\n');
        if (end == std::string::npos && inputOpen_) return true;  // the line is not complete yet
        end = end == std::string::npos ? pending_.size() : end + 1;
        const std::string line = pending_.substr(0, end);
        log_.typedLine(line);
        std::string rest = pending_.substr(end);
        pending_ = line;
        deliver();
        pending_ += rest;
        if (toEngine_ >= 0 && !inputOpen_ && pending_.empty()) {
            close(toEngine_);
            toEngine_ = -1;
        }
        return true;
    }

    void show(const char* data, std::size_t size) {
        if (log_.recording) log_.shown.append(data, size);
        const std::string text = shown_.feed(down_.feed(data, size));
        log_.toTranscript(text);
        writeAll(STDOUT_FILENO, text);
    }

    void finishOutput() {
        const std::string text = shown_.feed(down_.feed("", 0, true), true);
        log_.toTranscript(text);
        writeAll(STDOUT_FILENO, text);
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
        if (toEngine_ >= 0 && !inputOpen_ && pending_.empty() && !pacing_) {
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
            finishOutput();
            return false;
        }
        show(buf, static_cast<std::size_t>(n));
        return true;
    }

    int toEngine_, fromEngine_, wake_;
    SessionLog& log_;
    pid_t engine_;
    bool pacing_;
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

constexpr const char* kUsage =
    "usage: kiro-play [--record CASE] [--transcript FILE] [--input FILE] [--seed N] [--time T] [--trace FILE] "
    "[GAME-DIRECTORY]";

constexpr const char* kHelp =
    "usage: kiro-play [OPTION...] [GAME-DIRECTORY]\n"
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
    "Options:\n"
    "  --record CASE      write the session as a case for kiro-test: the lines typed,\n"
    "                     the output and exit status, and the seed and time it ran\n"
    "                     with (chosen now unless --seed, --time or KIRO_SEED and\n"
    "                     KIRO_TIME fix them)\n"
    "  --transcript FILE  write the whole session, the typed lines marked \"> \"\n"
    "  --input FILE       type the lines of FILE first, then read the keyboard\n"
    "  --seed N           KIRO_SEED=N: a new game's RAND starts from N\n"
    "  --time T           KIRO_TIME=T (YYYY-MM-DDTHH:MM:SS): the engine's clock\n"
    "  --trace FILE       KIRO_TRACE=FILE: the engine appends the statements it runs,\n"
    "                     the functions entered and left and the errors to FILE\n"
    "\n"
    "Exit status: the engine's; 128 + N when stopped by signal N; 2 when the game\n"
    "cannot be started.\n";

struct Options {
    std::string record, transcript, input;
    const char* game = KIRO_SAMPLE_GAME;
};

// Reads the options; false for a call that cannot be understood. --seed,
// --time and --trace go straight to the engine's environment.
bool readOptions(int argc, char** argv, Options& options) {
    bool gameGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') {
            if (i + 1 >= argc) return false;
            const char* value = argv[++i];
            if (arg == "--record") options.record = value;
            else if (arg == "--transcript") options.transcript = value;
            else if (arg == "--input") options.input = value;
            else if (arg == "--seed") setenv("KIRO_SEED", value, 1);
            else if (arg == "--time") setenv("KIRO_TIME", value, 1);
            else if (arg == "--trace") setenv("KIRO_TRACE", value, 1);
            else return false;
        } else if (gameGiven) {
            return false;
        } else {
            options.game = argv[i];
            gameGiven = true;
        }
    }
    return true;
}

std::optional<std::string> readWhole(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A recorded session must replay: the seed and time it runs with are fixed
// now when the caller has not fixed them.
void fixSeedAndTime() {
    const std::time_t now = std::time(nullptr);
    if (!std::getenv("KIRO_SEED")) setenv("KIRO_SEED", std::to_string(static_cast<std::uint32_t>(now)).c_str(), 1);
    if (!std::getenv("KIRO_TIME")) {
        std::tm t{};
        localtime_r(&now, &t);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &t);
        setenv("KIRO_TIME", text, 1);
    }
}

// A body line of a case: a line that would read as a section header keeps
// its first '-' as the escape \x2D.
std::string caseLine(const std::string& line) { return line.rfind("-- ", 0) == 0 ? "\\x2D" + line.substr(1) : line; }

// A case section: its header (with noeol when the text does not end in a
// line feed) and the text's lines.
std::string caseSection(const std::string& header, const std::string& utf8) {
    std::string out = header + (utf8.empty() || utf8.back() == '\n' ? "\n" : " noeol\n");
    std::istringstream lines(utf8);
    for (std::string line; std::getline(lines, line);) out += caseLine(line) + "\n";
    return out;
}

// A save file as a raw case section: printable ASCII and line feeds as they
// are, every other byte (the backslash too) as \xNN.
std::string saveSection(const std::string& name, const std::string& bytes) {
    std::string body;
    for (unsigned char c : bytes) {
        if (c == '\n' || (c >= 0x20 && c < 0x7F && c != '\\')) {
            body += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            body += escaped;
        }
    }
    return caseSection("-- file " + name + " raw", body);
}

// The saves the session starts from, so that its case replays from them.
std::string savesBefore(const std::string& folder) {
    std::string sections;
    for (int slot = 0; slot < 20; ++slot) {
        char name[16];
        std::snprintf(name, sizeof name, "save%02d.sav", slot);
        if (std::optional<std::string> bytes = readWhole(folder + "/" + name)) sections += saveSection(name, *bytes);
    }
    return sections;
}

bool writeRecording(std::ofstream& out, const char* game, const std::string& saves, const SessionLog& log,
                    int status) {
    out << "-- note recorded by kiro-play from " << game << "\n"
        << "-- env KIRO_SEED=" << std::getenv("KIRO_SEED") << " KIRO_TIME=" << std::getenv("KIRO_TIME") << "\n"
        << saves
        << caseSection("-- stdin", kiro::text::utf8Of(log.typed))
        << caseSection("-- stdout", kiro::text::utf8Of(log.shown)) << "-- exit " << status << "\n";
    return static_cast<bool>(out.flush());
}

// The folder the engine runs in, or empty after saying why there is none.
std::string prepareGame(const char* gameDir) {
    std::error_code error;
    if (!std::filesystem::is_directory(gameDir, error)) {
        std::fprintf(stderr, "kiro-play: %s: not a folder%s%s\n", gameDir, error ? ": " : "",
                     error ? error.message().c_str() : "");
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
    Options options;
    if (!readOptions(argc, argv, options)) return kiro::text::usageError("kiro-play", kUsage);
    if (!kiro::text::cp932Available()) {
        std::fprintf(stderr, "kiro-play: this system cannot convert Shift-JIS (CP932)\n");
        return 2;
    }
    std::optional<std::string> typedFirst;
    if (!options.input.empty() && !(typedFirst = readWhole(options.input))) {
        std::fprintf(stderr, "kiro-play: cannot read %s\n", options.input.c_str());
        return 2;
    }
    SessionLog log;
    log.recording = !options.record.empty();
    std::ofstream record;
    if (log.recording) {
        fixSeedAndTime();
        record.open(options.record, std::ios::binary | std::ios::trunc);
        if (!record) {
            std::fprintf(stderr, "kiro-play: cannot write %s\n", options.record.c_str());
            return 2;
        }
    }
    if (!options.transcript.empty()) {
        log.transcript.open(options.transcript, std::ios::binary | std::ios::trunc);
        if (!log.transcript) {
            std::fprintf(stderr, "kiro-play: cannot write %s\n", options.transcript.c_str());
            return 2;
        }
    }
    const std::string game = prepareGame(options.game);
    if (game.empty()) return 2;
    const char* gameDir = game.c_str();
    const std::string saves = log.recording ? savesBefore(game) : std::string();
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
    {
        Relay relay(toEngine, fromEngine, wake[0], log, pid);
        if (typedFirst) relay.type(*typedFirst);
        relay.run();
    }
    const int status = waitForEngine(pid);
    if (log.recording && !writeRecording(record, options.game, saves, log, status)) {
        std::fprintf(stderr, "kiro-play: cannot write %s\n", options.record.c_str());
        return 2;
    }
    return status;
}
