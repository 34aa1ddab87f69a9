// A game folder as the tools see it: which encoding its text files are in,
// and its conversion to the other encoding, written all at once or not at all.
#pragma once

#include <string>
#include <vector>

#include "cp932.h"

namespace kiro::text {

// Where kiro-play keeps the Shift-JIS working copy of a game kept in UTF-8,
// inside the game folder; the engine runs there, so its saves go there too.
inline constexpr const char* kWorkingCopy = ".kiro";

// The files the engine reads as text: csv/*.csv and kst/*.kst, as
// "csv/abl.csv", sorted.
std::vector<std::string> gameTextFiles(const std::string& game);

struct FolderEncoding {
    Encoding encoding = Encoding::Ascii;  // Ascii, Utf8 or ShiftJis when `problem` is empty
    std::string problem;                  // a file that is neither, or a folder that mixes both
};

// Judges every text file: a folder is UTF-8 when any of its files is, and
// Shift-JIS when any is; one with both kinds, or with a file that is
// neither, is a problem naming the files.
FolderEncoding judgeGameFolder(const std::string& game);

enum class Direction { ToShiftJis, ToUtf8 };

struct Conversion {
    std::vector<std::string> errors;  // one line each, "FILE:LINE:COLUMN: ..." where they have a place
    bool written = false;             // false when the destination already held exactly this
};

// Converts the text files of `source`'s csv/ and kst/ into `destination`
// (other files there are copied as they are). Every file is converted in
// memory first; only when all of them converted are the new csv/ and kst/
// built in a temporary folder and renamed into place, so a failure leaves
// the destination exactly as it was. Everything else in the destination
// (its saves) is kept. With `onlyIfChanged`, a destination that already
// holds the same files is not touched.
Conversion convertGame(const std::string& source, const std::string& destination, Direction direction,
                       bool onlyIfChanged = false);

// The folder the engine should run in for `game`: the game itself when it
// is in Shift-JIS (or plain ASCII), its refreshed working copy when it is in
// UTF-8. Empty, with `problem` set, when the game cannot be run.
std::string runnableFolder(const std::string& game, std::string& problem, bool& refreshed);

}  // namespace kiro::text
