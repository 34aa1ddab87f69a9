// kiro-convert: converts a game's text files between UTF-8 (for editing)
// and Shift-JIS (what kiro reads), all of them or none.
//
//   kiro-convert --to-sjis SOURCE DESTINATION
//   kiro-convert --to-utf8 SOURCE DESTINATION
#include <string>
#include <string_view>

#include "command_line.h"
#include "game_folder.h"

namespace {

constexpr std::string_view kUsage = "usage: kiro-convert --to-sjis|--to-utf8 SOURCE DESTINATION";

constexpr std::string_view kHelp =
    "usage: kiro-convert --to-sjis|--to-utf8 SOURCE DESTINATION\n"
    "\n"
    "Converts the text files of a game folder (csv/*.csv and kst/*.kst):\n"
    "  --to-sjis   from UTF-8 to the Shift-JIS (CP932) kiro reads, to ship a game\n"
    "  --to-utf8   from Shift-JIS (CP932) to UTF-8, to edit a game in today's editors\n"
    "Other files in csv/ and kst/ are copied as they are; line ends are kept.\n"
    "DESTINATION may be SOURCE itself. Its csv/ and kst/ are replaced; everything\n"
    "else in it (the saves) is kept.\n"
    "\n"
    "Every file is converted before anything is written. A character that\n"
    "Shift-JIS cannot hold is reported as FILE:LINE:COLUMN with the character,\n"
    "every one of them, and then nothing is written: DESTINATION stays exactly as\n"
    "it was. So does it when the source mixes the two encodings or holds a file\n"
    "that is neither.\n"
    "\n"
    "Exit status: 0 converted, 1 nothing written (the reasons on standard error),\n"
    "2 a call that cannot be understood.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kiro::text;
    if (std::optional<int> answered = answerStandardOption(argc, argv, "kiro-convert", kHelp)) return *answered;
    if (argc != 4) return usageError("kiro-convert", kUsage);
    const std::string_view mode = argv[1];
    if (mode != "--to-sjis" && mode != "--to-utf8") return usageError("kiro-convert", kUsage);
    if (!cp932Available()) {
        print(stderr, "kiro-convert: this system cannot convert Shift-JIS (CP932)\n");
        return 1;
    }
    const Direction direction = mode == "--to-sjis" ? Direction::ToShiftJis : Direction::ToUtf8;
    Conversion conversion = convertGame(argv[2], argv[3], direction);
    for (const std::string& error : conversion.errors) print(stderr, "kiro-convert: " + error + "\n");
    if (conversion.errors.empty()) return 0;
    print(stderr, std::string("kiro-convert: nothing written to ") + argv[3] + "\n");
    return 1;
}
