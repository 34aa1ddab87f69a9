// kiro-convert, and the encoding judgement kiro-play and kiro-check share
// with it, run as programs on real folders.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cp932.h"
#include "kiro_version.h"
#include "support/test_game.h"

namespace kiro {
namespace {

namespace fs = std::filesystem;

using test::ProgramRun;

ProgramRun run(const std::string& program, const std::string& arguments) {
    return test::runCommand(program + " " + arguments + " 2>&1");
}

ProgramRun convert(const std::string& arguments) { return run(KIRO_CONVERT_BINARY, arguments); }

// Every file under a folder (hidden ones too) with its bytes.
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        if (entry.is_regular_file()) bytes << in.rdbuf();
        files[fs::relative(entry.path(), folder).string()] = bytes.str();
    }
    return files;
}

// Every code CP932 decodes, one character each: the double-byte ones and
// half-width katakana, with the character it stands for in UTF-8.
std::vector<std::pair<std::string, std::string>> everyCp932Character() {
    std::vector<std::pair<std::string, std::string>> codes;
    auto add = [&](std::string code) {
        text::Iconv decoder("UTF-8", "CP932");
        std::string utf8;
        std::string_view in = code;
        if (decoder.convert(in, utf8) == text::Iconv::Stop::Done) codes.emplace_back(code, utf8);
    };
    for (int single = 0xA1; single <= 0xDF; ++single) add(std::string(1, static_cast<char>(single)));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F) add({static_cast<char>(lead), static_cast<char>(trail)});
    }
    return codes;
}

// Shift-JIS -> UTF-8 -> Shift-JIS over every character, one per line with
// CRLF line ends, into a destination holding a save. Each character comes
// back as itself; the bytes come back exactly, except for the codes that
// share their character with another code (NEC and IBM duplicates), which
// come back as the one code C libraries write for that character.
TEST(Convert, RoundTripsEveryCp932CharacterKeepingLineEndsAndSaves) {
    const auto codes = everyCp932Character();
    ASSERT_GT(codes.size(), 7000u + 63u);
    std::map<std::string, int> sharing;
    std::string sjisText, utf8Text;
    for (const auto& [code, character] : codes) {
        ++sharing[character];
        sjisText += code + "\r\n";
        utf8Text += character + "\r\n";
    }
    test::TempDir dir;
    dir.write("sjis/kst/all.kst", sjisText);
    dir.write("back/save00.sav", "a save");
    ASSERT_EQ(convert("--to-utf8 " + dir.path() + "/sjis " + dir.path() + "/utf8/").status, 0);  // a new folder
    EXPECT_EQ(dir.read("utf8/kst/all.kst"), utf8Text);
    ProgramRun back = convert("--to-sjis " + dir.path() + "/utf8 " + dir.path() + "/back");
    ASSERT_EQ(back.status, 0) << back.output;
    EXPECT_EQ(dir.read("back/save00.sav"), "a save");
    std::istringstream lines(dir.read("back/kst/all.kst"));
    std::size_t i = 0;
    for (std::string line; std::getline(lines, line) && i < codes.size(); ++i) {
        ASSERT_TRUE(line.ends_with('\r')) << i;
        line.pop_back();
        const auto& [code, character] = codes[i];
        if (sharing[character] == 1) EXPECT_EQ(line, code) << character;
        else EXPECT_EQ(text::utf8Of(line), character);
    }
    EXPECT_EQ(i, codes.size());
}

// Characters without a Shift-JIS form: each one named with its place, and
// nothing written, whether the destination exists or not.
TEST(Convert, UnconvertibleCharactersLeaveTheDestinationAsItWas) {
    test::TempDir dir;
    dir.write("src/csv/str.csv", "0,ok\r\n1,smile 😀 and 한\r\n");
    dir.write("src/kst/a.kst", "\xEF\xBB\xBF@A\nPRINTL ☃x😀\n");
    dir.write("dst/csv/str.csv", "old");
    dir.write("dst/save03.sav", "a save");
    const auto before = snapshot(dir.path() + "/dst");
    ProgramRun failed = convert("--to-sjis " + dir.path() + "/src " + dir.path() + "/dst");
    EXPECT_EQ(failed.status, 1);
    for (const char* place : {"/src/csv/str.csv:2:9: U+1F600 '😀' has no Shift-JIS form",
                              "/src/csv/str.csv:2:15: U+D55C '한' has no Shift-JIS form",
                              "/src/kst/a.kst:2:8: U+2603 '☃' has no Shift-JIS form",
                              "/src/kst/a.kst:2:10: U+1F600 '😀' has no Shift-JIS form"})
        EXPECT_NE(failed.output.find(place), std::string::npos) << place << " not in:\n" << failed.output;
    EXPECT_EQ(snapshot(dir.path() + "/dst"), before);
    EXPECT_EQ(convert("--to-sjis " + dir.path() + "/src " + dir.path() + "/new").status, 1);
    EXPECT_FALSE(fs::exists(dir.path() + "/new"));
    for (const auto& [name, bytes] : snapshot(dir.path()))
        EXPECT_EQ(name.find(".kiro-convert"), std::string::npos) << "left behind: " << name;
}

// A folder mixing the encodings is refused with both files named, by the
// converter and by kiro-check; kiro-check reports a UTF-8 game against its
// own files.
TEST(Convert, MixedFoldersAreNamedAndUtf8GamesAreCheckedAsWritten) {
    test::TempDir dir;
    dir.write("game/kst/a.kst", "@EVENTFIRST\nPRINTL 能力\nGOTO NOWHERE\n");
    ProgramRun checked = run(KIRO_CHECK_BINARY, dir.path() + "/game");
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.output.find("kst/a.kst:3:6: error: GOTO to a label"), std::string::npos) << checked.output;

    dir.write("game/csv/abl.csv", "0,\x94\x5C\x97\xCD\n");  // 能力 in Shift-JIS
    const std::string mixed = dir.path() + "/game mixes encodings: " + dir.path() + "/game/kst/a.kst is UTF-8 but " +
                              dir.path() + "/game/csv/abl.csv is Shift-JIS";
    for (const ProgramRun& refused : {convert("--to-sjis " + dir.path() + "/game " + dir.path() + "/out"),
                                      run(KIRO_CHECK_BINARY, dir.path() + "/game")}) {
        EXPECT_NE(refused.status, 0);
        EXPECT_NE(refused.output.find(mixed), std::string::npos) << refused.output;
    }
    dir.write("game/csv/abl.csv", "0,\xFF\n");
    EXPECT_NE(run(KIRO_CHECK_BINARY, dir.path() + "/game").output.find("csv/abl.csv: neither UTF-8 nor Shift-JIS"),
              std::string::npos);
}

TEST(Convert, HelpVersionAndUsage) {
    const struct {
        std::string arguments;
        int status;
        std::string output;
    } cases[] = {
        {"--help", 0, "usage: kiro-convert"},
        {"--version", 0, "kiro-convert " KIRO_VERSION "\n"},
        {"--sideways a b", 2, "usage: kiro-convert"},
        {"--to-sjis a", 2, "usage: kiro-convert"},
    };
    for (const auto& c : cases) {
        ProgramRun r = convert(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        EXPECT_TRUE(r.output.starts_with(c.output)) << c.arguments << ": " << r.output;
    }
    EXPECT_EQ(run(KIRO_CHECK_BINARY, "--version").output, "kiro-check " KIRO_VERSION "\n");
}

}  // namespace
}  // namespace kiro
