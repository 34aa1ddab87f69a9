// Line ends the loaders do not see as the author did. Both loaders cut a
// file at line feeds only, and a last line without a line feed is not a line
// at all: it is dropped without a word. A file whose lines end in CR alone
// (old Mac line ends) has no line feed to cut at, so it is one long line.
#include <algorithm>

#include "checks.h"
#include "data/csv_loader.h"
#include "data/game_files.h"

namespace kiro::check {
namespace {

// The last line without a line feed, unless it is blank or a comment (then
// dropping it changes nothing).
std::string_view unendedLastLine(std::string_view bytes) {
    std::size_t nl = bytes.rfind('\n');
    std::string_view last = bytes.substr(nl == std::string_view::npos ? 0 : nl + 1);
    std::size_t first = last.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || last[first] == ';') return {};
    return last;
}

std::int32_t lineCount(std::string_view bytes) {
    return static_cast<std::int32_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// Lines that end in CR alone: CRs, none of them before a line feed, and no
// line feed but perhaps one at the very end.
bool crOnlyLineEnds(std::string_view bytes) {
    std::string_view body = bytes.ends_with('\n') ? bytes.substr(0, bytes.size() - 1) : bytes;
    return body.find('\r') != std::string_view::npos && body.find('\n') == std::string_view::npos;
}

void checkFile(const std::string& path, std::string_view bytes, Findings& findings) {
    if (crOnlyLineEnds(bytes)) {
        std::string message = "the lines end in CR alone: kiro sees the whole file as one line";
        if (!bytes.ends_with('\n')) message += " and, as no line feed ends it, loads none of it";
        message += " (save it with LF or CR LF line ends)";
        findings.add(Place{path, 1, 0}, FindingCode::CrOnlyLineEnds, message);
        return;
    }
    if (!unendedLastLine(bytes).empty())
        findings.add(Place{path, lineCount(bytes) + 1, 0}, FindingCode::LastLineWithoutLineFeed,
                     "the last line has no line feed, so kiro drops it (end it with a line feed to keep it)");
}

void checkFolder(const std::string& gameDir, const std::string& folder, std::string_view extension,
                 bool (*isRead)(const std::string& fileName), Findings& findings) {
    const std::string dir = gameDir + "/" + folder;
    // Read as the loaders read: only regular files, never beyond their limit
    // (what is not read is the game loader's finding).
    for (const ListedFile& file : listGameFolder(dir, extension).files) {
        FileBytes bytes;
        if (isRead(file.name) && readGameFile(dir, file, bytes) == ReadStatus::kRead)
            checkFile(folder + "/" + file.name, bytes.view(), findings);
    }
}

}  // namespace

void checkLineEnds(const std::string& gameDir, Findings& findings) {
    checkFolder(gameDir, "csv", ".csv", isCsvFileRead, findings);
    checkFolder(gameDir, "kst", ".kst", [](const std::string&) { return true; }, findings);
}

}  // namespace kiro::check
