// Console primitives over in-memory input: the line-at-a-time model.
#include <gtest/gtest.h>

#include "console/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

#include "support/test_game.h"

namespace kiro {
namespace {

struct ConsoleFixture {
    explicit ConsoleFixture(std::string input) : io(std::move(input)), console(io) {}
    StringConsoleIo io;
    Console console;
};

TEST(ConsoleRead, NumbersSkipGarbageAndAcceptSignsAndZeros) {
    ConsoleFixture f("abc\n42\n  -7\n+7\n007\n3000000000\n5 6\n");
    EXPECT_EQ(f.console.readNumber(), 42);
    EXPECT_EQ(f.console.readNumber(), -7);
    EXPECT_EQ(f.console.readNumber(), 7);
    EXPECT_EQ(f.console.readNumber(), 7);
    EXPECT_EQ(f.console.readNumber(), 5);  // 3000000000 is discarded with its line
    EXPECT_EQ(f.console.readNumber(), 6);  // the same line answers a second read
    EXPECT_TRUE(f.io.output.empty());
}

TEST(ConsoleRead, DigitsFollowedByLettersLeaveTheLettersForTheNextRead) {
    ConsoleFixture f("12abc\n9\n");
    EXPECT_EQ(f.console.readNumber(), 12);
    EXPECT_EQ(f.console.readNumber(), 9);
}

TEST(ConsoleRead, ExtremeValuesAndFullWidthDigits) {
    ConsoleFixture f("-2147483648\n2147483647\n2147483648\n\x82\x50\n1\n");
    EXPECT_EQ(f.console.readNumber(), INT32_MIN);
    EXPECT_EQ(f.console.readNumber(), INT32_MAX);
    EXPECT_EQ(f.console.readNumber(), 1);
}

TEST(ConsoleRead, EndOfInputFlushesAndExitsWithStatusOne) {
    ConsoleFixture f("abc\n");
    f.console.writeText("prompt");
    try {
        f.console.readNumber();
        FAIL() << "no exit";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, 1);
    }
    EXPECT_EQ(f.io.output, "prompt");
}

TEST(ConsoleRead, LongGarbageIsDiscardedInChunksOf1024) {
    // 1100 letters then 5 on the same line: the first discard stops after
    // 1024 bytes, the second takes the rest of the line with the 5.
    ConsoleFixture f(std::string(1100, 'x') + " 5\n8\n");
    EXPECT_EQ(f.console.readNumber(), 8);
}

TEST(ConsoleWait, ConsumesExactlyOneLineAfterDiscardingTheRest) {
    ConsoleFixture f("5 6\nignored line\n7\n");
    EXPECT_EQ(f.console.readNumber(), 5);
    f.console.waitForEnter();  // drops " 6", consumes "ignored line"
    EXPECT_EQ(f.console.readNumber(), 7);
}

// At end of input a wait returns at once and a word read gives the empty
// text, 1,000 times; the next one flushes and ends the program with status 1.
TEST(ConsoleEndOfInput, WaitsAndWordReadsReturnAThousandTimesThenExit) {
    const std::pair<const char*, void (*)(Console&)> reads[] = {
        {"wait", [](Console& c) { c.waitForEnter(); }},
        {"word", [](Console& c) { EXPECT_EQ(c.readWord(), ""); }},
    };
    for (const auto& [name, read] : reads) {
        SCOPED_TRACE(name);
        ConsoleFixture f("last\n");
        f.console.waitForEnter();  // takes the one line typed
        for (int i = 0; i < Console::kEndOfInputReturns; ++i) read(f.console);
        f.console.writeText("prompt");
        try {
            read(f.console);
            ADD_FAILURE() << "no exit";
        } catch (const ProgramExit& e) {
            EXPECT_EQ(e.status, 1);
        }
        EXPECT_EQ(f.io.output, "prompt");
    }
}

TEST(ConsoleWord, TakesOneWordAndKeepsFullWidthBlanksInside) {
    // あか あお with a half-width blank, then with a full-width blank (0x81 0x40).
    ConsoleFixture f("\n\x82\xA0\x82\xA9 \x82\xA0\x82\xA8\n\x82\xA0\x82\xA9\x81\x40\x82\xA0\x82\xA8\n");
    EXPECT_EQ(f.console.readWord(), "\x82\xA0\x82\xA9");
    EXPECT_EQ(f.console.readWord(), "\x82\xA0\x82\xA9\x81\x40\x82\xA0\x82\xA8");
    EXPECT_EQ(f.console.readWord(), "");  // end of input
}

TEST(ConsoleWrite, OutputStaysBufferedUntilLineEndFlushOrRead) {
    ConsoleFixture f("3\n");
    f.console.writeText("a");
    f.console.writeNumber(-12);
    EXPECT_EQ(f.io.output, "");
    f.console.endLine();
    EXPECT_EQ(f.io.output, "a-12\n");
    f.console.writeText("?");
    EXPECT_EQ(f.console.readNumber(), 3);
    EXPECT_EQ(f.io.output, "a-12\n?");
}

TEST(ConsoleWrite, EndlessOutputWithoutLineEndIsWrittenOutNotHoarded) {
    ConsoleFixture f("");
    std::string chunk(4096, 'x');
    for (int i = 0; i < 600; ++i) f.console.writeText(chunk);  // 2.4 MiB, no line end
    EXPECT_GE(f.io.output.size(), std::size_t{1} << 20);
    f.console.flush();
    EXPECT_EQ(f.io.output.size(), 600u * 4096u);
}

// Output to a file or /dev/null is held back: whole lines go out before a
// read, at a flush or the console's end, or once 64 KiB have gathered.
TEST(ConsoleWrite, UnwatchedOutputIsHeldUntilAReadAFlushOrMuchOutput) {
    StringConsoleIo io("5\n");
    io.watchedOutput = false;
    {
        Console console(io);
        console.writeText("a");
        console.endLine();
        console.writeText("b");
        console.endLine();
        EXPECT_EQ(io.output, "");
        EXPECT_EQ(console.readNumber(), 5);
        EXPECT_EQ(io.output, "a\nb\n");
        const std::string line(99, 'x');
        for (int i = 0; i < 700; ++i) {
            console.writeText(line);
            console.endLine();
        }
        EXPECT_GE(io.output.size(), std::size_t{1} << 16);
        EXPECT_LT(io.output.size(), 4u + 700u * 100u);
        console.writeText("end");
    }
    EXPECT_EQ(io.output, "a\nb\n" + [] {
        std::string all;
        for (int i = 0; i < 700; ++i) all += std::string(99, 'x') + "\n";
        return all;
    }() + "end");
}

// A line of standard input keeps its first MiB; the rest of it is read and
// dropped, and the next line comes whole.
TEST(ConsoleStandardStreams, InputLineKeepsItsFirstMebibyte) {
    test::TempDir dir;
    const std::size_t limit = StdConsoleIo::kMaxInputLine;
    dir.write("in", std::string(limit, 'a') + std::string(limit + 10, 'b') + "\nnext\n");
    std::FILE* in = std::fopen((dir.path() + "/in").c_str(), "rb");
    ASSERT_NE(in, nullptr);
    StdConsoleIo io(in);
    std::string line;
    EXPECT_TRUE(io.readLine(line));
    EXPECT_EQ(line, std::string(limit, 'a'));
    line.clear();
    EXPECT_TRUE(io.readLine(line));
    EXPECT_EQ(line, "next");
    EXPECT_FALSE(io.readLine(line));
    std::fclose(in);
}

// Standard output is watched unless it is a regular file or /dev/null.
TEST(ConsoleStandardStreams, OnlyFilesAndTheNullDeviceAreUnwatched) {
    const int saved = dup(STDOUT_FILENO);
    ASSERT_GE(saved, 0);
    auto watchedWith = [&](int fd) {
        dup2(fd, STDOUT_FILENO);
        close(fd);
        const bool watched = StdConsoleIo().watched();
        dup2(saved, STDOUT_FILENO);
        return watched;
    };
    test::TempDir dir;
    EXPECT_FALSE(watchedWith(open((dir.path() + "/out").c_str(), O_WRONLY | O_CREAT, 0600)));
    EXPECT_FALSE(watchedWith(open("/dev/null", O_WRONLY)));
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_TRUE(watchedWith(pipeEnds[1]));
    close(pipeEnds[0]);
    close(saved);
}

}  // namespace
}  // namespace kiro
