// Judging and converting a game folder's text files.
#include "game_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "system.h"

namespace kiro::text {
namespace fs = std::filesystem;
namespace {

constexpr const char* kFolders[] = {"csv", "kst"};

// The largest file kiro reads; a larger one stops its load.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{256} << 20;

bool endsWithIgnoringCase(const std::string& name, std::string_view extension) {
    if (name.size() < extension.size()) return false;
    return std::equal(extension.begin(), extension.end(), name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool isTextFile(std::string_view folder, const std::string& name) {
    return endsWithIgnoringCase(name, folder == "csv" ? ".csv" : ".kst");
}

// The regular files of one folder, by name, sorted. Anything else (a FIFO,
// a device) is never opened: kiro skips it too, and says so.
std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_regular_file(ignored)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool tooLarge(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return !error && size > kMaxFileBytes;
}

bool readFile(const fs::path& path, std::string& bytes) {
    if (tooLarge(path)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    bytes = std::move(text).str();
    return !in.bad();
}

bool writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

const char* encodingName(Encoding encoding) {
    return encoding == Encoding::Utf8 ? "UTF-8" : encoding == Encoding::ShiftJis ? "Shift-JIS (CP932)" : "ASCII";
}

std::string lineOfFirstInvalidUtf8(std::string_view bytes) {
    int line = 1;
    for (std::string_view rest = bytes; !rest.empty();) {
        std::size_t length = utf8SequenceLength(rest);
        if (length == 0) return std::to_string(line);
        if (rest.front() == '\n') ++line;
        rest.remove_prefix(length);
    }
    return "?";
}

// A game's converted files, by their path inside the game ("kst/a.kst").
using GameFiles = std::map<std::string, std::string>;

std::string convertFile(const std::string& file, const std::string& bytes, Direction direction,
                        std::vector<std::string>& errors) {
    if (direction == Direction::ToShiftJis) {
        std::vector<Unconvertible> bad;
        std::string out = sjisOfText(bytes, bad);
        for (const Unconvertible& u : bad)
            errors.push_back(file + ":" + std::to_string(u.line) + ":" + std::to_string(u.column) + ": " +
                             describeCharacter(u.character) + " has no Shift-JIS form");
        return out;
    }
    Iconv decoder("UTF-8", "CP932");
    std::string out;
    std::string_view rest = bytes;
    if (!decoder.ok() || decoder.convert(rest, out) != Iconv::Stop::Done) {
        const auto line = std::count(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(rest.size()), '\n') + 1;
        errors.push_back(file + ":" + std::to_string(line) + ": not Shift-JIS (CP932) text");
    }
    return out;
}

// Reads and converts every file of the source's csv/ and kst/.
GameFiles convertAll(const fs::path& source, Direction direction, std::vector<std::string>& errors) {
    GameFiles files;
    for (const char* folder : kFolders) {
        for (const std::string& name : filesIn(source / folder)) {
            const std::string file = std::string(folder) + "/" + name;
            std::string bytes;
            if (!readFile(source / file, bytes)) {
                errors.push_back((source / file).string() +
                                 (tooLarge(source / file) ? ": larger than the 256 MiB kiro reads" : ": cannot be read"));
                continue;
            }
            const std::string shown = (source / file).string();
            files[file] = isTextFile(folder, name) ? convertFile(shown, bytes, direction, errors) : bytes;
        }
    }
    return files;
}

bool sameAsDestination(const fs::path& destination, const GameFiles& files) {
    std::size_t count = 0;
    for (const char* folder : kFolders) {
        for (const std::string& name : filesIn(destination / folder)) {
            const std::string file = std::string(folder) + "/" + name;
            auto it = files.find(file);
            std::string bytes;
            if (it == files.end() || !readFile(destination / file, bytes) || bytes != it->second) return false;
            ++count;
        }
    }
    return count == files.size();
}

// Moves a finished folder into place; an existing one is swapped out
// in one step where the system allows it.
bool moveIntoPlace(const fs::path& from, const fs::path& to) {
    if (!fs::exists(to)) return renameFolder(from, to);
    if (exchangeFolders(from, to)) return true;
    const fs::path old = from.string() + ".old";
    return renameFolder(to, old) && renameFolder(from, to);
}

// Writes the files into a temporary folder next to (or, when it exists,
// inside) the destination, then renames them into place.
bool writeGame(fs::path destination, const GameFiles& files, const std::vector<std::string>& folders,
               std::string& error) {
    destination = destination.lexically_normal();
    if (!destination.has_filename()) destination = destination.parent_path();  // "dst/" is "dst"
    std::error_code ec;
    const bool exists = fs::exists(destination, ec);
    if (exists && !fs::is_directory(destination, ec)) {
        error = destination.string() + ": exists and is not a folder";
        return false;
    }
    fs::path parent = exists ? destination : destination.parent_path();
    if (parent.empty()) parent = ".";
    if (!exists) fs::create_directories(parent, ec);
    const fs::path temp = makeTemporaryFolder(parent, ".kiro-convert-");
    if (temp.empty()) {
        error = parent.string() + ": cannot make a temporary folder here";
        return false;
    }
    allowLikeANewFolder(temp);
    bool ok = true;
    for (const std::string& folder : folders) ok = ok && fs::create_directory(temp / folder, ec);
    for (const auto& [file, bytes] : files) ok = ok && writeFile(temp / file, bytes);
    if (ok && !exists) {
        ok = renameFolder(temp, destination);
    } else if (ok) {
        for (const std::string& folder : folders) ok = ok && moveIntoPlace(temp / folder, destination / folder);
    }
    if (!ok) error = destination.string() + ": cannot be written";
    if (!ok || exists) fs::remove_all(temp, ec);
    return ok;
}

}  // namespace

std::vector<std::string> gameTextFiles(const std::string& game) {
    std::vector<std::string> files;
    for (const char* folder : kFolders)
        for (const std::string& name : filesIn(fs::path(game) / folder))
            if (isTextFile(folder, name)) files.push_back(std::string(folder) + "/" + name);
    return files;
}

FolderEncoding judgeGameFolder(const std::string& game) {
    std::map<Encoding, std::string> firstOfKind;
    std::string bytes;
    for (const std::string& file : gameTextFiles(game)) {
        const std::string shown = (fs::path(game) / file).string();
        if (!readFile(fs::path(game) / file, bytes)) continue;  // kiro (and kiro-check) report it
        const Encoding kind = judgeEncoding(bytes);
        if (kind == Encoding::Neither)
            return {Encoding::Ascii, shown + ": neither UTF-8 nor Shift-JIS (CP932) text (the first byte that is not UTF-8 is on line " +
                                         lineOfFirstInvalidUtf8(bytes) + ")"};
        firstOfKind.emplace(kind, shown);
    }
    const bool utf8 = firstOfKind.contains(Encoding::Utf8), sjis = firstOfKind.contains(Encoding::ShiftJis);
    if (utf8 && sjis)
        return {Encoding::Ascii, game + " mixes encodings: " + firstOfKind[Encoding::Utf8] + " is UTF-8 but " +
                                     firstOfKind[Encoding::ShiftJis] +
                                     " is Shift-JIS (CP932); keep every file in one of them (kiro-convert converts a whole game)"};
    if (sjis) return {Encoding::ShiftJis, {}};
    if (utf8 || firstOfKind.contains(Encoding::Either)) return {Encoding::Utf8, {}};
    return {Encoding::Ascii, {}};
}

Conversion convertGame(const std::string& source, const std::string& destination, Direction direction,
                       bool onlyIfChanged) {
    Conversion result;
    FolderEncoding judged = judgeGameFolder(source);
    const Encoding wrong = direction == Direction::ToShiftJis ? Encoding::ShiftJis : Encoding::Utf8;
    if (!judged.problem.empty()) result.errors.push_back(judged.problem);
    else if (judged.encoding == wrong)
        result.errors.push_back(source + ": already in " + encodingName(wrong));
    if (!result.errors.empty()) return result;

    std::vector<std::string> folders;
    for (const char* folder : kFolders)
        if (fs::is_directory(fs::path(source) / folder)) folders.emplace_back(folder);
    if (folders.empty()) {
        result.errors.push_back(source + ": no csv or kst folder, so this is not a game folder");
        return result;
    }
    GameFiles files = convertAll(source, direction, result.errors);
    if (!result.errors.empty()) return result;
    if (onlyIfChanged && sameAsDestination(destination, files)) return result;
    std::string error;
    result.written = writeGame(destination, files, folders, error);
    if (!result.written) result.errors.push_back(error);
    return result;
}

std::string runnableFolder(const std::string& game, std::string& problem, bool& refreshed) {
    refreshed = false;
    FolderEncoding judged = judgeGameFolder(game);
    if (!judged.problem.empty()) {
        problem = judged.problem;
        return {};
    }
    if (judged.encoding != Encoding::Utf8) return game;
    const std::string copy = (fs::path(game) / kWorkingCopy).string();
    Conversion conversion = convertGame(game, copy, Direction::ToShiftJis, true);
    for (const std::string& error : conversion.errors) problem += (problem.empty() ? "" : "\n") + error;
    refreshed = conversion.written;
    return problem.empty() ? copy : std::string();
}

}  // namespace kiro::text
