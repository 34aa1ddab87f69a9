// Runs every tests/e2e/cases/<group>/<name>.case as one GoogleTest: the real
// kiro binary in a fresh game directory, given stdin, compared on exact
// stdout bytes, exit status and the files left behind (format: README.md).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/sjis.h"
#include "support/test_game.h"

namespace fs = std::filesystem;
using kiro::test::sjis;
using kiro::test::utf8;

namespace {

constexpr int kTimeoutSeconds = 60;

struct Section {
    std::string kind;                // file, dir, fifo, symlink, sparse, stdin, stdout, exit, after, absent, ...
    std::string path;                // for file, dir, fifo, symlink, sparse, after, absent
    std::vector<std::string> flags;  // crlf, noeol, raw, after-title, append, repeat N; a symlink's target, a size
    std::vector<std::string> lines;
    bool has(const char* flag) const {
        for (const auto& f : flags)
            if (f == flag) return true;
        return false;
    }
    // "repeat N": the body stands N times over (1 without the flag).
    std::size_t repeat() const {
        for (std::size_t i = 0; i + 1 < flags.size(); ++i)
            if (flags[i] == "repeat") return std::stoul(flags[i + 1]);
        return 1;
    }
};

std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    return w;
}

std::vector<Section> parseCase(const std::string& text) {
    std::vector<Section> sections;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("-- ", 0) == 0) {
            std::vector<std::string> w = words(line.substr(3));
            Section s;
            s.kind = w.empty() ? "" : w[0];
            std::size_t first = 1;
            if (s.kind == "file" || s.kind == "dir" || s.kind == "fifo" || s.kind == "symlink" ||
                s.kind == "sparse" || s.kind == "after" || s.kind == "absent" || s.kind == "exit" ||
                s.kind == "note" || s.kind == "game") {
                if (w.size() > 1) s.path = w[1];
                first = 2;
            }
            s.flags.assign(w.begin() + static_cast<long>(std::min(first, w.size())), w.end());
            sections.push_back(std::move(s));
        } else if (!sections.empty()) {
            sections.back().lines.push_back(line);
        }
    }
    return sections;
}

// \xNN escapes to bytes; "\\x" stays a backslash followed by x.
std::string unescapeBytes(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\' && i + 2 < s.size() && s[i + 2] == 'x') {
            out += "\\x";
            i += 2;
        } else if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && isxdigit(s[i + 2]) &&
                   isxdigit(s[i + 3])) {
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The bytes a section stands for: lines converted, line ends as flagged,
// the whole repeated as flagged.
std::string bodyBytes(const Section& s) {
    std::string once;
    const char* eol = s.has("crlf") ? "\r\n" : "\n";
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        std::string line = s.has("raw") ? s.lines[i] : sjis(s.lines[i]);
        once += unescapeBytes(line);
        if (i + 1 < s.lines.size() || !s.has("noeol")) once += eol;
    }
    std::string out;
    out.reserve(once.size() * s.repeat());
    for (std::size_t i = s.repeat(); i > 0; --i) out += once;
    return out;
}

struct RunResult {
    std::string out;
    int status = -1;
    bool timedOut = false;
};

RunResult runKiro(const std::string& dir, const std::string& input) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]); close(in[1]); close(out[0]); close(out[1]);
        if (chdir(dir.c_str()) != 0) _exit(127);
        execl(KIRO_BINARY, KIRO_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    signal(SIGPIPE, SIG_IGN);
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    RunResult r;
    std::size_t written = 0;
    if (input.empty()) { close(in[1]); in[1] = -1; }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutSeconds);
    for (;;) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        int n = poll(fds, in[1] >= 0 ? 2 : 1, 200);
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            r.timedOut = true;
            break;
        }
        if (n <= 0) continue;
        if (fds[0].revents) {
            char buf[65536];
            ssize_t got = read(out[0], buf, sizeof buf);
            if (got <= 0) break;
            r.out.append(buf, static_cast<std::size_t>(got));
        }
        if (in[1] >= 0 && fds[1].revents) {
            ssize_t put = write(in[1], input.data() + written, input.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put < 0 || written == input.size()) { close(in[1]); in[1] = -1; }
        }
    }
    if (in[1] >= 0) close(in[1]);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

std::string afterTitle(const std::string& out) {
    const std::string rule = std::string(79, '-') + "\n";
    std::size_t at = out.find(rule);
    return at == std::string::npos ? "<no title rule in output>\n" + out : out.substr(at + rule.size());
}

// Copies a game kept readable in UTF-8 (csv/ and kst/) into `dir`, converted.
void copyGame(const kiro::test::TempDir& game, const fs::path& source) {
    for (const char* folder : {"csv", "kst"}) {
        if (!fs::is_directory(source / folder)) continue;
        for (const auto& entry : fs::directory_iterator(source / folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            game.write(std::string(folder) + "/" + entry.path().filename().string(), sjis(text.str()));
        }
    }
}

// "4096", "64K", "100G": bytes, or units of 1024 bytes.
off_t sizeOf(const std::string& text) {
    std::size_t digits = 0;
    unsigned long long size = std::stoull(text, &digits);
    const std::string unit = text.substr(digits);
    const std::size_t power = unit.empty() ? 0 : std::string("KMG").find(unit) + 1;
    if (power == 0 && !unit.empty()) throw std::invalid_argument("size with an unknown unit: " + text);
    return static_cast<off_t>(size << (10 * power));
}

// Files that a `-- file` section cannot write: a FIFO, a symbolic link (its
// target as written, absolute or relative) and a sparse file of SIZE bytes
// (a number with an optional K, M or G suffix, in units of 1024).
void makeSpecialFile(const kiro::test::TempDir& game, const Section& s) {
    fs::path path = fs::path(game.path()) / s.path;
    fs::create_directories(path.parent_path());
    if (s.kind == "fifo") {
        ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << s.path;
    } else if (s.kind == "symlink") {
        ASSERT_FALSE(s.flags.empty()) << "symlink " << s.path << " needs a target";
        fs::create_symlink(s.flags[0], path);
    } else {
        ASSERT_FALSE(s.flags.empty()) << "sparse " << s.path << " needs a size";
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << s.path;
        EXPECT_EQ(ftruncate(fd, sizeOf(s.flags[0])), 0) << s.path;
        close(fd);
    }
}

// One run of kiro: what is typed and what it must answer.
struct Run {
    std::string input;
    int expectedExit = 0;
    std::vector<const Section*> checks;  // stdout and contains sections
};

// Lines of a `mask` section are regular expressions; what they match is
// replaced by <masked> in both the expected and the actual output (time
// stamps of saves, for instance).
std::string masked(std::string text, const std::vector<std::regex>& masks) {
    for (const std::regex& re : masks) text = std::regex_replace(text, re, "<masked>");
    return text;
}

void checkRun(const Run& run, const RunResult& r, const std::vector<std::regex>& masks, std::size_t index) {
    SCOPED_TRACE("run " + std::to_string(index + 1));
    ASSERT_FALSE(r.timedOut) << "kiro did not end within " << kTimeoutSeconds << " s; output so far:\n"
                             << utf8(r.out);
    EXPECT_EQ(r.status, run.expectedExit) << "output:\n" << utf8(r.out);
    for (const Section* s : run.checks) {
        if (s->kind == "stdout") {
            std::string got = s->has("after-title") ? afterTitle(r.out) : r.out;
            std::string want = bodyBytes(*s);
            if (masks.empty()) {
                EXPECT_EQ(utf8(got), utf8(want));
                EXPECT_TRUE(got == want) << "bytes differ (same text after decoding)";
            } else {
                EXPECT_EQ(masked(utf8(got), masks), masked(utf8(want), masks));
            }
        } else {
            std::string text = utf8(r.out);
            std::size_t pos = 0;
            for (const std::string& want : s->lines) {
                std::size_t at = text.find(want, pos);
                EXPECT_NE(at, std::string::npos) << "output lacks, in order: " << want << "\noutput:\n" << text;
                if (at == std::string::npos) break;
                pos = at + want.size();
            }
        }
    }
}

void runCase(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    std::vector<Section> sections = parseCase(buf.str());

    kiro::test::TempDir game;
    std::vector<Run> runs(1);
    std::vector<std::regex> masks;
    bool started = false;  // a `stdin` section starts the next run after the first
    for (const Section& s : sections) {
        if (s.kind == "file") game.write(s.path, (s.has("append") ? game.read(s.path) : "") + bodyBytes(s));
        else if (s.kind == "dir") fs::create_directories(fs::path(game.path()) / s.path);
        else if (s.kind == "fifo" || s.kind == "symlink" || s.kind == "sparse") makeSpecialFile(game, s);
        else if (s.kind == "game") copyGame(game, fs::path(KIRO_SOURCE_DIR) / s.path);
        else if (s.kind == "mask") for (const auto& l : s.lines) masks.emplace_back(l);
        else if (s.kind == "stdin" && s.has("append")) runs.back().input += bodyBytes(s);
        else if (s.kind == "stdin") {
            if (started) runs.emplace_back();
            started = true;
            runs.back().input = bodyBytes(s);
        } else if (s.kind == "exit") runs.back().expectedExit = std::stoi(s.path);
        else if (s.kind == "stdout" || s.kind == "contains") runs.back().checks.push_back(&s);
    }
    for (std::size_t i = 0; i < runs.size(); ++i) checkRun(runs[i], runKiro(game.path(), runs[i].input), masks, i);
    for (const Section& s : sections) {
        if (s.kind == "after") {
            EXPECT_TRUE(game.exists(s.path)) << s.path << " was not written";
            EXPECT_EQ(utf8(game.read(s.path)), utf8(bodyBytes(s))) << "in " << s.path;
        } else if (s.kind == "absent") {
            EXPECT_FALSE(game.exists(s.path)) << s.path << " exists but should not";
        }
    }
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
    registerCases();
    return RUN_ALL_TESTS();
}
