// Console primitives over a line-at-a-time input model.
//
// The current input line is line_ (without its line feed) read up to pos_;
// while haveLine_ is set its line feed has not been consumed yet, which is
// what a stream reader would still find buffered.
#include "console/console.h"

#include "console/before_read.h"
#include "platform/platform.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <iostream>

namespace kiro {
namespace {

bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// A failed number read throws away at most this many bytes at a time.
constexpr std::size_t kDiscardLimit = 1024;

}  // namespace

Console::~Console() {
    // Whatever ends the program, what was written reaches the player.
    flush();
}

void Console::writeNumber(std::int32_t value) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    out_.append(buf, res.ptr);
}

void Console::endLine() {
    out_ += '\n';
    if (flushEachLine_ || out_.size() >= kHeldOutput) flush();
}

void Console::flush() {
    if (out_.empty()) return;
    io_.write(out_);
    out_.clear();
}

bool Console::fetchLine() {
    flush();  // a prompt must be visible before the engine waits
    if (beforeConsoleRead) beforeConsoleRead();
    line_.clear();
    pos_ = 0;
    haveLine_ = false;
    if (eof_ || !io_.readLine(line_)) {
        eof_ = true;
        return false;
    }
    haveLine_ = true;
    return true;
}

void Console::discardPending() { haveLine_ = false; }

void Console::returnAtEndOfInput() {
    if (endOfInputReturns_ == kEndOfInputReturns) {
        flush();
        throw ProgramExit{1};
    }
    ++endOfInputReturns_;
}

void Console::discardUpToNewline(std::size_t limit) {
    if (!haveLine_) return;
    std::size_t remaining = line_.size() - pos_ + 1;  // + the line feed
    if (remaining <= limit)
        haveLine_ = false;
    else
        pos_ += limit;
}

std::int32_t Console::readNumber() {
    flush();
    for (;;) {
        // Skip white space, taking new lines as needed.
        for (;;) {
            if (!haveLine_) {
                if (!fetchLine()) {
                    flush();
                    throw ProgramExit{1};
                }
                continue;
            }
            while (!atLineEnd() && isSpace(static_cast<unsigned char>(line_[pos_]))) ++pos_;
            if (!atLineEnd()) break;
            haveLine_ = false;  // the line feed is white space too
        }
        bool negative = false;
        if (line_[pos_] == '+' || line_[pos_] == '-') negative = line_[pos_++] == '-';
        std::int64_t value = 0;
        bool digits = false, overflow = false;
        while (!atLineEnd() && isDigit(static_cast<unsigned char>(line_[pos_]))) {
            digits = true;
            if (!overflow) {
                value = value * 10 + (line_[pos_] - '0');
                if (value > 2147483648LL) overflow = true;
            }
            ++pos_;
        }
        if (negative) value = -value;
        if (digits && !overflow && value >= INT32_MIN && value <= INT32_MAX)
            return static_cast<std::int32_t>(value);
        discardUpToNewline(kDiscardLimit);
    }
}

void Console::waitForEnter() {
    flush();
    discardPending();
    if (fetchLine())
        discardPending();
    else
        returnAtEndOfInput();
}

std::string Console::readWord() {
    flush();
    discardPending();
    for (;;) {
        if (!haveLine_ && !fetchLine()) {
            returnAtEndOfInput();
            return {};
        }
        while (!atLineEnd() && isSpace(static_cast<unsigned char>(line_[pos_]))) ++pos_;
        if (!atLineEnd()) break;
        haveLine_ = false;
    }
    std::size_t start = pos_;
    while (!atLineEnd() && !isSpace(static_cast<unsigned char>(line_[pos_]))) ++pos_;
    return line_.substr(start, pos_ - start);
}

StdConsoleIo::StdConsoleIo(std::FILE* input) : input_(input), watched_(!platform::standardOutputUnwatched()) {}

bool StdConsoleIo::readLine(std::string& line) {
    int c;
    bool any = false;
    std::size_t kept = 0;
    // The engine reads its input from one thread only.
    while ((c = platform::readInputByte(input_)) != EOF) {
        any = true;
        if (c == '\n') return true;
        if (kept < kMaxInputLine) {
            line += static_cast<char>(c);
            ++kept;
        }
    }
    // A last line without a line feed still counts as typed.
    return any;
}

void StdConsoleIo::write(std::string_view bytes) {
    // A console that is gone takes nothing more; nothing sensible is left to do.
    platform::writeStandardOutput(bytes);
}

bool StringConsoleIo::readLine(std::string& line) {
    if (pos_ >= input_.size()) return false;
    std::size_t nl = input_.find('\n', pos_);
    if (nl == std::string::npos) nl = input_.size();
    line.append(input_, pos_, nl - pos_);
    pos_ = nl + 1;
    return true;
}

}  // namespace kiro
