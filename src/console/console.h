// The player's console: the six primitives every other module writes and
// reads through (write text, write number, end line, flush, read number,
// wait for Enter), plus the word read of INPUTS.
//
// Text is bytes (Shift-JIS) and passes through unchanged. Input is taken one
// line at a time, so "input already buffered" is exactly the unconsumed rest
// of the current line; piped input therefore behaves like typing.
//
// Output goes out at every end of line when someone may be watching it (a
// terminal, or a pipe to a program such as kiro-play): a prompt must show
// before the engine waits. Output to a file or /dev/null is held back until
// the next read, the end of the program, or a large amount has gathered;
// the bytes are the same either way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kiro {

// Thrown to end the program with a status (QUIT, end of input at a number
// read or long after it, fatal reports). Only main catches it; every guard
// lets it pass.
struct ProgramExit {
    int status;
};

// Where console bytes come from and go to. The real program uses the
// process's standard streams; tests use in-memory ones.
class ConsoleIo {
public:
    virtual ~ConsoleIo() = default;
    // Appends the next input line (without its line feed) to `line`;
    // false at end of input.
    virtual bool readLine(std::string& line) = 0;
    virtual void write(std::string_view bytes) = 0;
    // Whether the output may be read line by line as it comes.
    virtual bool watched() const { return true; }
};

class Console {
public:
    explicit Console(ConsoleIo& io) : io_(io), flushEachLine_(io.watched()) {}
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void writeText(std::string_view text) {
        out_.append(text);
        if (out_.size() > kOutputLimit) flush();
    }
    void writeNumber(std::int32_t value);
    void endLine();
    void flush();

    // Reads one integer as formatted extraction would: blanks and empty lines
    // are skipped, an optional sign, then digits. Anything else (or a value
    // outside 32 bits) discards up to the next line feed (at most 1024
    // bytes) and asks again. At end of input: flush, then ProgramExit{1}.
    std::int32_t readNumber();

    // Discards the rest of the current line, then consumes exactly one more
    // line. Returns at once at end of input (but see kEndOfInputReturns).
    void waitForEnter();

    // Discards the rest of the current line, skips white space (line feeds
    // too) and returns the next word; the rest of that line stays unread.
    // Bytes 0x80 and above are never white space. Empty at end of input
    // (but see kEndOfInputReturns).
    std::string readWord();

    // Waits and word reads return this many times at end of input; the next
    // one flushes and throws ProgramExit{1}, so that a script looping on
    // them cannot spin or write for ever once nobody can answer.
    static constexpr int kEndOfInputReturns = 1000;

    // Drops whatever is left of the current line.
    void discardPending();

private:
    // A script that prints for ever without ending a line must not fill the
    // memory: past this much pending output it is written out anyway.
    static constexpr std::size_t kOutputLimit = 1 << 20;
    // Output nobody watches goes out in blocks of about this size.
    static constexpr std::size_t kHeldOutput = 1 << 16;

    bool fetchLine();  // next line into line_, pos_ = 0; false at end of input
    bool atLineEnd() const { return pos_ >= line_.size(); }
    void discardUpToNewline(std::size_t limit);
    void returnAtEndOfInput();  // counts one return, or ends the program

    ConsoleIo& io_;
    const bool flushEachLine_;
    std::string out_;
    std::string line_;
    std::size_t pos_ = 0;
    bool haveLine_ = false;  // line_ holds a line whose line feed is not yet consumed
    bool eof_ = false;
    int endOfInputReturns_ = 0;
};

// Standard input (or another input stream, for tests) and standard output
// of the process, unbuffered below the console's own buffer. Standard output
// is watched unless, at start, it is a regular file or /dev/null.
//
// A line keeps at most kMaxInputLine bytes; the rest of it is read and
// dropped as it arrives, so that memory stays bounded whatever is typed or
// piped in (a stream without line feeds included).
class StdConsoleIo : public ConsoleIo {
public:
    static constexpr std::size_t kMaxInputLine = std::size_t{1} << 20;

    explicit StdConsoleIo(std::FILE* input = stdin);
    bool readLine(std::string& line) override;
    void write(std::string_view bytes) override;
    bool watched() const override { return watched_; }

private:
    std::FILE* input_;
    bool watched_;
};

// In-memory streams for tests: reads from a fixed text, collects output.
class StringConsoleIo : public ConsoleIo {
public:
    explicit StringConsoleIo(std::string input = {}) : input_(std::move(input)) {}
    bool readLine(std::string& line) override;
    void write(std::string_view bytes) override { output += bytes; }
    bool watched() const override { return watchedOutput; }
    std::string output;
    bool watchedOutput = true;  // read by a Console when it is made

private:
    std::string input_;
    std::size_t pos_ = 0;
};

}  // namespace kiro
