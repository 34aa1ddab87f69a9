// kiro-play's conversion must never lose or mangle a character that a pipe
// read happens to cut in two.
#include <gtest/gtest.h>

#include "stream_converter.h"
#include "support/sjis.h"

namespace kiro {
namespace {

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

TEST(StreamConverter, ReplacesWhatCannotBeConvertedAndGoesOn) {
    StreamConverter down("UTF-8", "CP932");
    std::string bytes = "a\xFF" "b";
    EXPECT_EQ(down.feed(bytes.data(), bytes.size()), "a?b");
    std::string lone = "\x82";  // a lead byte with nothing after it, at the very end
    EXPECT_EQ(down.feed(lone.data(), 1), "");
    EXPECT_EQ(down.feed("", 0, true), "?");
}

}  // namespace
}  // namespace kiro
