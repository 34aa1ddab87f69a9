#include "case_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "case_file.h"
#include "cp932.h"
#include "system.h"

namespace fs = std::filesystem;

namespace kiro::cases {
namespace {

// A failure of the case itself (a section that cannot be carried out).
struct CaseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw CaseError("cannot write " + path.string());
}

struct RunResult {
    std::string out;
    std::string err;  // standard error, shown with a failure
    int status = -1;
    bool timedOut = false;
};

// One run of kiro: what is typed, the environment it runs with and what it must answer.
struct Run {
    std::string input;
    int expectedExit = 0;
    std::vector<std::string> env;        // NAME=VALUE
    std::vector<const Section*> checks;  // stdout and contains sections
    const Section* start = nullptr;      // the stdin section that started it
    std::vector<const Section*> entries; // files and folders made just before it (sections since the last stdin)
};

RunResult runKiro(const CaseSetup& setup, const fs::path& dir, const Run& run) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw CaseError("pipe failed");
    std::vector<char*> argv;
    for (const std::string& word : setup.launcher) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(const_cast<char*>(setup.kiro.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (const std::string& setting : run.env) putenv(const_cast<char*>(setting.c_str()));
        if (chdir(dir.c_str()) != 0) _exit(127);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    RunResult r;
    std::size_t written = 0;
    if (run.input.empty()) { close(in[1]); in[1] = -1; }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(setup.timeoutSeconds);
    for (;;) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        int n = poll(fds, in[1] >= 0 ? 3 : 2, 200);
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
        if (fds[1].revents && err[0] >= 0) {
            char buf[4096];
            ssize_t got = read(err[0], buf, sizeof buf);
            if (got > 0) r.err.append(buf, static_cast<std::size_t>(got));
            else { close(err[0]); err[0] = -1; fds[1].fd = -1; }
        }
        if (in[1] >= 0 && fds[2].revents) {
            ssize_t put = write(in[1], run.input.data() + written, run.input.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put < 0 || written == run.input.size()) { close(in[1]); in[1] = -1; }
        }
    }
    if (in[1] >= 0) close(in[1]);
    close(out[0]);
    if (err[0] >= 0) close(err[0]);
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
void copyUtf8Game(const fs::path& dir, const fs::path& source) {
    for (const char* folder : {"csv", "kst"}) {
        if (!fs::is_directory(source / folder)) continue;
        for (const auto& entry : fs::directory_iterator(source / folder)) {
            std::optional<std::string> bytes = text::sjisOf(readFile(entry.path()));
            if (!bytes) throw CaseError(entry.path().string() + ": text Shift-JIS cannot hold");
            writeFile(dir / folder / entry.path().filename(), *bytes);
        }
    }
}

// The csv/ and kst/ of a Shift-JIS game, as they are.
void copyBaseGame(const fs::path& dir, const fs::path& base) {
    for (const char* folder : {"csv", "kst"})
        if (fs::is_directory(base / folder)) fs::copy(base / folder, dir / folder, fs::copy_options::recursive);
}

// "4096", "64K", "100G": bytes, or units of 1024 bytes.
off_t sizeOf(const std::string& text) {
    std::size_t digits = 0;
    unsigned long long size = std::stoull(text, &digits);
    const std::string unit = text.substr(digits);
    const std::size_t power = unit.empty() ? 0 : std::string("KMG").find(unit) + 1;
    if (power == 0 && !unit.empty()) throw CaseError("size with an unknown unit: " + text);
    return static_cast<off_t>(size << (10 * power));
}

// Files that a `-- file` section cannot write: a FIFO, a symbolic link (its
// target as written, absolute or relative) and a sparse file of SIZE bytes.
void makeSpecialFile(const fs::path& dir, const Section& s) {
    fs::path path = dir / s.path;
    fs::create_directories(path.parent_path());
    if (s.kind == "fifo") {
        if (mkfifo(path.c_str(), 0644) != 0) throw CaseError("cannot make the FIFO " + s.path);
    } else if (s.kind == "symlink") {
        if (s.flags.empty()) throw CaseError("symlink " + s.path + " needs a target");
        fs::create_symlink(s.flags[0], path);
    } else {
        if (s.flags.empty()) throw CaseError("sparse " + s.path + " needs a size");
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) throw CaseError("cannot make " + s.path);
        const bool sized = ftruncate(fd, sizeOf(s.flags[0])) == 0;
        close(fd);
        if (!sized) throw CaseError("cannot size " + s.path);
    }
}

// Lines of a `mask` section are regular expressions; what they match is
// replaced by <masked> in both the expected and the actual output (time
// stamps of saves, for instance).
std::string masked(std::string text, const std::vector<std::regex>& masks) {
    for (const std::regex& re : masks) text = std::regex_replace(text, re, "<masked>");
    return text;
}

// Where a message points: "FILE:LINE: -- HEADER (run N)".
std::string place(const std::string& file, const Section& s, std::size_t run) {
    std::string header = "-- " + s.kind;
    if (!s.path.empty()) header += " " + s.path;
    for (const std::string& f : s.flags) header += " " + f;
    return file + ":" + std::to_string(s.line) + ": " + header + (run ? " (run " + std::to_string(run) + ")" : "");
}

// The first line where two texts differ, 1-based.
std::size_t firstDifferingLine(const std::string& a, const std::string& b) {
    std::size_t at = std::mismatch(a.begin(), a.begin() + static_cast<long>(std::min(a.size(), b.size())), b.begin()).first -
                     a.begin();
    return static_cast<std::size_t>(std::count(a.begin(), a.begin() + static_cast<long>(at), '\n')) + 1;
}

void checkStdout(const std::string& file, const Section& s, std::size_t run, const RunResult& r,
                 const std::vector<std::regex>& masks, std::vector<std::string>& failures) {
    const std::string gotBytes = s.has("after-title") ? afterTitle(r.out) : r.out;
    const std::string want = masked(text::utf8Of(bodyBytes(s)), masks);
    const std::string got = masked(text::utf8Of(gotBytes), masks);
    if (want != got) {
        failures.push_back(place(file, s, run) + ": output differs from line " +
                           std::to_string(firstDifferingLine(want, got)) + "\n" + unifiedDiff(want, got));
    } else if (masks.empty() && gotBytes != bodyBytes(s)) {
        failures.push_back(place(file, s, run) + ": the bytes differ (the same text after decoding)");
    }
}

void checkContains(const std::string& file, const Section& s, std::size_t run, const RunResult& r,
                   const std::vector<std::regex>& masks, std::vector<std::string>& failures) {
    const std::string text = masked(text::utf8Of(r.out), masks);
    std::size_t pos = 0;
    for (const std::string& line : s.lines) {
        const std::string want = masked(line, masks);
        std::size_t at = text.find(want, pos);
        if (at == std::string::npos) {
            failures.push_back(place(file, s, run) + ": the output lacks, in order: " + want + "\noutput:\n" + text);
            return;
        }
        pos = at + want.size();
    }
}

void checkRun(const std::string& file, const Run& run, std::size_t number, const RunResult& r,
              const std::vector<std::regex>& masks, std::vector<std::string>& failures) {
    const std::string where = run.start ? place(file, *run.start, number) : file + ": (run " + std::to_string(number) + ")";
    if (r.timedOut) {
        failures.push_back(where + ": kiro did not end in time; output so far:\n" + text::utf8Of(r.out));
        return;
    }
    if (r.status != run.expectedExit)
        failures.push_back(where + ": exit status " + std::to_string(r.status) + ", expected " +
                           std::to_string(run.expectedExit) + "; output:\n" + text::utf8Of(r.out) +
                           (r.err.empty() ? "" : "standard error:\n" + r.err));
    for (const Section* s : run.checks)
        (s->kind == "stdout" ? checkStdout : checkContains)(file, *s, number, r, masks, failures);
}

void checkFiles(const std::string& file, const std::vector<Section>& sections, const fs::path& dir,
                std::vector<std::string>& failures) {
    for (const Section& s : sections) {
        if (s.kind == "after") {
            if (!fs::exists(dir / s.path)) {
                failures.push_back(place(file, s, 0) + ": was not written");
                continue;
            }
            const std::string want = text::utf8Of(bodyBytes(s)), got = text::utf8Of(readFile(dir / s.path));
            if (want != got)
                failures.push_back(place(file, s, 0) + ": differs from line " +
                                   std::to_string(firstDifferingLine(want, got)) + "\n" + unifiedDiff(want, got));
        } else if (s.kind == "absent" && fs::exists(fs::symlink_status(dir / s.path))) {
            failures.push_back(place(file, s, 0) + ": exists but should not");
        }
    }
}

// Sections that make a file or folder of the game directory.
bool isEntry(const Section& s) {
    static const char* const kKinds[] = {"file", "dir", "fifo", "symlink", "sparse", "game"};
    return std::any_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return s.kind == k; });
}

void makeEntry(const fs::path& dir, const Section& s, const CaseSetup& setup) {
    const fs::path path = dir / s.path;
    if (s.kind == "file") {
        writeFile(path, (s.has("append") && fs::exists(path) ? readFile(path) : "") + bodyBytes(s));
        if (s.has("readonly"))
            fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
    } else if (s.kind == "dir") fs::create_directories(path);
    else if (s.kind == "game") {
        if (setup.baseGame.empty()) copyUtf8Game(dir, fs::path(setup.sourceRoot) / s.path);
    } else makeSpecialFile(dir, s);
}

std::vector<std::string> runSections(const std::string& file, const std::vector<Section>& sections,
                                     const CaseSetup& setup) {
    const kiro::text::TemporaryFolder game("kiro-case-");
    const fs::path& dir = game.path();
    if (dir.empty()) throw CaseError("cannot make a temporary folder");
    if (!setup.baseGame.empty()) copyBaseGame(dir, setup.baseGame);
    std::vector<Run> runs(1);
    std::vector<std::regex> masks;
    bool started = false;           // a `stdin` section starts the next run after the first
    std::vector<std::string> env;  // NAME=VALUE for the runs that start from here on
    std::vector<const Section*> between;  // files and folders after a stdin, made before the next run
    for (const Section& s : sections) {
        if (isEntry(s)) {
            if (started) between.push_back(&s);
            else makeEntry(dir, s, setup);
        } else if (s.kind == "mask") for (const auto& l : s.lines) masks.emplace_back(l);
        else if (s.kind == "env") env.insert(env.end(), s.flags.begin(), s.flags.end());
        else if (s.kind == "stdin" && s.has("append")) runs.back().input += bodyBytes(s);
        else if (s.kind == "stdin") {
            if (started) {
                runs.emplace_back();
                runs.back().entries.swap(between);
            }
            started = true;
            runs.back().input = bodyBytes(s);
            runs.back().env = env;
            runs.back().start = &s;
        } else if (s.kind == "exit") runs.back().expectedExit = std::stoi(s.path);
        else if (s.kind == "stdout" || s.kind == "contains") runs.back().checks.push_back(&s);
    }
    if (!started) runs.back().env = env;
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        for (const Section* s : runs[i].entries) makeEntry(dir, *s, setup);
        checkRun(file, runs[i], i + 1, runKiro(setup, dir, runs[i]), masks, failures);
    }
    for (const Section* s : between) makeEntry(dir, *s, setup);
    checkFiles(file, sections, dir, failures);
    return failures;
}

}  // namespace

bool caseRunsOn(const std::string& caseFile, const std::string& system) {
    for (const Section& s : parseCase(readFile(caseFile)))
        if (s.kind == "systems") return s.has(system.c_str());
    return true;
}

std::vector<std::string> runCaseFile(const std::string& caseFile, const CaseSetup& setup) {
    if (!fs::is_regular_file(caseFile)) return {caseFile + ": no such case file"};
    try {
        return runSections(caseFile, parseCase(readFile(caseFile)), setup);
    } catch (const std::exception& e) {
        return {caseFile + ": " + e.what()};
    }
}

}  // namespace kiro::cases
