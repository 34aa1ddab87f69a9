// kiro-play's conversion must never lose or mangle a character that a pipe
// read happens to cut in two.
#include <gtest/gtest.h>

#include "cp932.h"
#include "support/sjis.h"
#include "terminal_text.h"

namespace kiro {
namespace {

using text::StreamConverter;

TEST(StreamConverter, KeepsALeadByteCutAtTheEndOfAChunk) {
    StreamConverter down("UTF-8", "CP932");
    std::string bytes = test::sjis("能力アップ");  // 能 is 0x94 0x5C
    std::string out;
    for (char c : bytes) out += down.feed(&c, 1);  // the worst case: one byte per read
    out += down.feed("", 0, true);
    EXPECT_EQ(out, "能力アップ");
}

TEST(StreamConverter, KeepsAPartialUtf8SequenceTypedAcrossReads) {
    StreamConverter up("CP932", "UTF-8");
    std::string typed = "あか あお\n";
    std::string out = up.feed(typed.data(), 2);
    out += up.feed(typed.data() + 2, typed.size() - 2);
    EXPECT_EQ(out, test::sjis("あか あお\n"));
}

// What the terminal sends that Shift-JIS cannot hold becomes one '?' per
// character, whatever its UTF-8 length, even cut across reads.
TEST(StreamConverter, ReplacesEachTypedCharacterWithoutAShiftJisFormOnce) {
    StreamConverter up("CP932", "UTF-8");
    std::string typed = "café 한 😀 é\n";
    std::string out;
    for (char c : typed) out += up.feed(&c, 1);
    out += up.feed("", 0, true);
    EXPECT_EQ(out, "caf? ? ? ?\n");
    EXPECT_EQ(up.feed("a\xFF\xC3", 3, true), "a??");  // bytes that are not UTF-8: one each
}

TEST(StreamConverter, ReplacesWhatCannotBeConvertedAndGoesOn) {
    StreamConverter down("UTF-8", "CP932");
    std::string bytes = "a\xFF" "b";
    EXPECT_EQ(down.feed(bytes.data(), bytes.size()), "a?b");
    std::string lone = "\x82";  // a lead byte with nothing after it, at the very end
    EXPECT_EQ(down.feed(lone.data(), 1), "");
    EXPECT_EQ(down.feed("", 0, true), "?");
}

// Game text never drives the terminal: every control character but the line
// end and the tab is shown as a picture of itself.
TEST(TerminalText, ShowsControlCharactersAsPlaceholders) {
    struct Case {
        std::string_view text, shown;
    };
    const Case cases[] = {
        {"能力\tA\n", "能力\tA\n"},                              // tab and line feed stay
        {"a\r\nb", "a\r\nb"},                                    // so does a CR that ends a line
        {"a\rb", "a\u240Db"},                                      // a lone CR would overwrite the line
        {"\x1B[2J\x1B]0;t\x07", "\u241B[2J\u241B]0;t\u2407"},  // screen clear, title, bell
        {std::string_view("\0\x1F", 2), "\u2400\u241F"},
        {"\x7F", "\u2421"},
        {"\u0080\u009B[m\u009F", "??[m?"},                      // C1, as a byte CP932 does not decode
        {"\u00A0\u00C2", "\u00A0\u00C2"},                      // printable neighbours of C1
        {"x\r", "x\u240D"},                                        // a CR at the very end ends nothing
    };
    for (const Case& c : cases) EXPECT_EQ(showControls(c.text), c.shown);
}

TEST(TerminalText, HoldsACrCutAtTheEndOfAChunkForTheNext) {
    TerminalText shown;
    EXPECT_EQ(shown.feed("a\r"), "a");
    EXPECT_EQ(shown.feed("\nb\r"), "\r\nb");
    EXPECT_EQ(shown.feed("c"), "\u240Dc");
    EXPECT_EQ(shown.feed("\r", true), "\u240D");
}

TEST(TerminalText, EscapeFromTheEngineShowsAfterConversion) {
    StreamConverter down("UTF-8", "CP932");
    std::string bytes = test::sjis("\x1B[31m赤") + "\x80";
    EXPECT_EQ(showControls(down.feed(bytes.data(), bytes.size(), true)), "\u241B[31m赤?");
}

}  // namespace
}  // namespace kiro
