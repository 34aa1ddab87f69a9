// kiro-play: plays a game on a UTF-8 terminal.
//
// The engine speaks Shift-JIS bytes and takes no arguments; today's terminals
// speak UTF-8. kiro-play runs the engine in the game directory with pipes,
// converts every chunk the engine writes to UTF-8 at once (so a prompt shows
// before the engine waits), converts each typed line back to Shift-JIS, and
// ends with the engine's exit status.
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
#include <string>

#include "stream_converter.h"

namespace {

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string siblingEngine(const char* argv0) {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv0);
    std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/kiro";
}

pid_t startEngine(const std::string& engine, const char* gameDir, int& toEngine, int& fromEngine) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[0]); close(in[1]); close(out[0]); close(out[1]);
        if (chdir(gameDir) != 0) {
            std::fprintf(stderr, "kiro-play: cannot enter %s: %s\n", gameDir, std::strerror(errno));
            _exit(127);
        }
        execl(engine.c_str(), engine.c_str(), static_cast<char*>(nullptr));
        std::fprintf(stderr, "kiro-play: cannot run %s: %s\n", engine.c_str(), std::strerror(errno));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toEngine = in[1];
    fromEngine = out[0];
    return pid;
}

// Shuttles bytes until the engine closes its output.
void relay(int toEngine, int fromEngine) {
    kiro::StreamConverter down("UTF-8", "CP932");  // engine -> terminal
    kiro::StreamConverter up("CP932", "UTF-8");    // terminal -> engine
    bool inputOpen = true;
    char buf[4096];
    for (;;) {
        pollfd fds[2] = {{fromEngine, POLLIN, 0}, {inputOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) {
            ssize_t n = read(fromEngine, buf, sizeof buf);
            if (n <= 0) {
                writeAll(STDOUT_FILENO, down.feed("", 0, true));
                return;
            }
            writeAll(STDOUT_FILENO, down.feed(buf, static_cast<std::size_t>(n)));
        }
        if (inputOpen && fds[1].revents) {
            ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
            bool end = n <= 0;
            std::string bytes = end ? up.feed("", 0, true) : up.feed(buf, static_cast<std::size_t>(n));
            if (!writeAll(toEngine, bytes) || end) {
                close(toEngine);
                inputOpen = false;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* gameDir = argc > 1 ? argv[1] : KIRO_SAMPLE_GAME;
    if (argc > 2) {
        std::fprintf(stderr, "usage: kiro-play [GAME-DIRECTORY]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    kiro::StreamConverter probe("UTF-8", "CP932");
    if (!probe.ok()) {
        std::fprintf(stderr, "kiro-play: this system cannot convert Shift-JIS (CP932)\n");
        return 2;
    }
    int toEngine = -1, fromEngine = -1;
    pid_t pid = startEngine(siblingEngine(argv[0]), gameDir, toEngine, fromEngine);
    if (pid < 0) {
        std::fprintf(stderr, "kiro-play: cannot start the engine\n");
        return 2;
    }
    relay(toEngine, fromEngine);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
