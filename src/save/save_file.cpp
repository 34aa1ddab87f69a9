// Writing and reading save files.
//
// Saving builds the whole file in memory and only then touches the disk, so
// a save either replaces the slot completely or leaves the old file alone.
// Loading reads the whole file into a SaveContents first, so a file that
// turns out unreadable or damaged changes nothing in the running game.
//
// Several processes may save into one folder at once. Each save writes a
// temporary file of its own, "save03.sav.tmp.<pid>.<n>", created exclusively,
// and holds an exclusive lock on the folder from creating it to renaming it.
// A temporary file of that pattern found while holding the lock therefore
// belongs to a writer that died, and is removed.
#include "save/save_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "data/game_base.h"
#include "data/text.h"
#include "data/variable_store.h"
#include "platform/platform.h"

namespace kiro {
namespace {

constexpr std::string_view kFinished = "__FINISHED";
constexpr std::string_view kLineEnd = "\r\n";

// The three header lines of any save this engine writes fit easily: the
// description that PUTFORM builds stays below 1 MiB.
constexpr std::size_t kMaxHeadBytes = 4 << 20;

// ---- Writing ---------------------------------------------------------------

class SaveWriter {
public:
    void line(std::string_view text) {
        out.append(text);
        out.append(kLineEnd);
    }
    void number(std::int32_t value) {
        char buf[16];
        auto r = std::to_chars(buf, buf + sizeof buf, value);
        line(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
    }
    // Elements up to the last non-zero one, then the end marker.
    void intArray(const std::vector<std::int32_t>& values) {
        std::size_t end = values.size();
        while (end > 0 && values[end - 1] == 0) --end;
        for (std::size_t i = 0; i < end; ++i) number(values[i]);
        line(kFinished);
    }
    void textArray(const std::vector<std::string>& values) {
        std::size_t end = values.size();
        while (end > 0 && values[end - 1].empty()) --end;
        for (std::size_t i = 0; i < end; ++i) line(values[i]);
        line(kFinished);
    }

    std::string out;
};

void writeCharacter(SaveWriter& w, const CharacterRecord& c) {
    w.line(c.name);
    w.line(c.callName);  // as stored: an empty call name stays empty
    w.number(c.isAssi);
    w.number(c.no);
    for (std::int32_t code = 0; code < kCharacterArrayCount; ++code) w.intArray(c.array(code));
}

// ---- Reading ---------------------------------------------------------------

// The lines of a save file. A line ends at LF, a CR just before it is not
// part of it; a last line without LF still counts. Past the end every line
// reads as empty, which gives 0 or the empty text.
class SaveLines {
public:
    explicit SaveLines(std::string_view bytes) : bytes_(bytes) {}

    bool next(std::string_view& line) {
        if (pos_ >= bytes_.size()) {
            line = {};
            return false;
        }
        std::size_t nl = bytes_.find('\n', pos_);
        std::size_t end = nl == std::string_view::npos ? bytes_.size() : nl;
        std::size_t stop = end;
        if (stop > pos_ && bytes_[stop - 1] == '\r') --stop;
        line = bytes_.substr(pos_, stop - pos_);
        pos_ = end + 1;
        return true;
    }
    std::int32_t number() {
        std::string_view line;
        next(line);
        return saturatingValue(line);
    }
    std::string text() {
        std::string_view line;
        next(line);
        return std::string(line);
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

// `values` arrives at its size, all zeros. A file may hold more element
// lines than the array has room for (never one this engine wrote); those are
// passed over up to the end marker, which also consumes the marker written
// after a full array. False when the file ends before the marker.
bool readIntArray(SaveLines& in, std::vector<std::int32_t>& values) {
    std::size_t i = 0;
    std::string_view line;
    while (in.next(line)) {
        if (line == kFinished) return true;
        if (i < values.size()) values[i++] = saturatingValue(line);
    }
    return false;
}

bool readTextArray(SaveLines& in, std::vector<std::string>& values) {
    std::size_t i = 0;
    std::string_view line;
    while (in.next(line)) {
        if (line == kFinished) return true;
        if (i < values.size()) values[i++].assign(line);
    }
    return false;
}

void readCharacter(SaveLines& in, CharacterRecord& c) {
    c.name = in.text();
    c.callName = in.text();
    c.isAssi = in.number();
    c.no = in.number();
    for (std::int32_t code = 0; code < kCharacterArrayCount; ++code) readIntArray(in, c.array(code));
}

// Reads from the start of a regular file until `lines` line feeds have been
// seen, the file ends, or kMaxHeadBytes have been read. Opened without
// blocking so that a FIFO in a slot's place cannot hang the menu; the byte
// limit keeps a huge file without line feeds (a sparse terabyte reads as
// zeros for minutes) from stalling it.
bool readFileHead(const std::string& path, int lines, std::string& bytes) {
    platform::InputFile file;
    bytes.clear();
    if (file.open(path) != platform::InputFile::Opened::kYes) return false;
    char buf[4096];
    int seen = 0;
    while (seen < lines && bytes.size() < kMaxHeadBytes) {
        const std::int64_t n = file.read(buf, sizeof buf);
        if (n < 0) return false;
        if (n == 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
        for (std::int64_t i = 0; i < n; ++i) seen += buf[i] == '\n';
    }
    return true;
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string_view baseNameOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

SaveStepHook saveStepHook = nullptr;

// Whether `step` may go ahead; only tests ever say no.
bool stepAllowed(SaveStep step) { return !saveStepHook || saveStepHook(step); }

// The folder a save is written into, held for its whole save and, where
// the system offers it, locked exclusively against other saves. The lock
// ends with the save or with the process, so a killed save never blocks the
// next one.
class SaveFolder {
public:
    explicit SaveFolder(const std::string& folder) : folder_(folder) {
        if (!folder_.opened() || !stepAllowed(SaveStep::Lock)) return;
        locked_ = folder_.lock(kLockPatience);
    }

    bool locked() const { return locked_; }

    // Makes a rename durable; a folder that cannot be synced still holds a
    // complete file, so a failure here is not a failed save.
    void sync() const { folder_.sync(); }

    // Removes every temporary file of `slot` a locked save left: under the
    // lock their writers cannot be running any more.
    void removeDeadWriters(std::string_view slot) const;

private:
    // Another save holds the lock for milliseconds; one held longer belongs
    // to a process that is stopped (Ctrl-Z) or stuck on its disk. Waiting for
    // it without end would hang this game, so past the patience the save goes
    // ahead unlocked, which is still safe: it only skips the cleanup.
    static constexpr int kLockPatience = 2000;  // milliseconds

    platform::FolderLock folder_;
    bool locked_ = false;
};

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A save holding the folder lock names its temporary file
// "<slot>.tmp.<pid>.<n>"; one without the lock adds ".unlocked", which keeps
// a running save's file out of the pattern that locked saves clean up.
constexpr std::string_view kTemporaryInfix = ".tmp.";
constexpr std::string_view kUnlockedSuffix = ".unlocked";

bool isLockedTemporaryOf(std::string_view name, std::string_view slot) {
    if (name.substr(0, slot.size()) != slot || name.substr(slot.size(), kTemporaryInfix.size()) != kTemporaryInfix)
        return false;
    std::string_view rest = name.substr(slot.size() + kTemporaryInfix.size());
    std::size_t dot = rest.find('.');
    return dot != std::string_view::npos && allDigits(rest.substr(0, dot)) && allDigits(rest.substr(dot + 1));
}

void SaveFolder::removeDeadWriters(std::string_view slot) const {
    folder_.removeFiles([slot](std::string_view name) { return isLockedTemporaryOf(name, slot); });
}

bool writeAll(platform::OutputFile& file, std::string_view bytes) {
    while (!bytes.empty()) {
        if (!stepAllowed(SaveStep::Write)) return false;
        const std::int64_t n = file.write(bytes.data(), std::min(bytes.size(), kSavePieceSize));
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a temporary file of this process's own beside `path` and names it
// in `temporary`. Created exclusively and without following a link, so it is
// never a file someone else has; a name already taken (left by a process of
// the same id long gone) is passed over for the next.
bool createTemporary(const std::string& path, bool locked, platform::OutputFile& file, std::string& temporary) {
    static unsigned counter = 0;
    const std::string stem = path + std::string(kTemporaryInfix) + std::to_string(platform::processId()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = stem + std::to_string(++counter);
        if (!locked) temporary += kUnlockedSuffix;
        const platform::OutputFile::Created created = file.create(temporary);
        if (created != platform::OutputFile::Created::kNameTaken) return created == platform::OutputFile::Created::kYes;
    }
    return false;
}

}  // namespace

std::string slotFileName(std::int32_t slot) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "save%02d.sav", static_cast<int>(slot));
    return buf;
}

bool readSlotHeader(const std::string& path, SlotHeader& header) {
    std::string bytes;
    if (!readFileHead(path, 3, bytes)) return false;
    SaveLines in(bytes);
    header.gameCode = in.number();
    header.version = in.number();
    header.description = in.text();
    return true;
}

bool versionAccepted(const GameBase& base, std::int32_t version) {
    if (version == base.version) return true;
    return base.acceptedVersion != -1 && version >= base.acceptedVersion;
}

std::string encodeSave(const VariableStore& store, const GameBase& base, std::string_view description) {
    SaveWriter w;
    w.number(base.gameCode);
    w.number(base.version);
    w.line(description);
    w.number(static_cast<std::int32_t>(store.characters.size()));
    for (const CharacterRecord& c : store.characters) writeCharacter(w, c);
    for (std::int32_t code = kFirstGlobalCode; code < kGlobalSlots; ++code) w.intArray(store.globalArrays[code]);
    w.textArray(store.stringArrays[kSaveStr]);
    return std::move(w.out);
}

bool decodeSave(std::string_view bytes, const VariableStore& store, SaveContents& contents) {
    SaveLines in(bytes);
    std::string_view skipped;
    for (int i = 0; i < 3; ++i) in.next(skipped);  // judged by the slot list
    std::int32_t count = in.number();
    if (count < 0 || count > kMaxCharacters) return false;

    contents.characters.clear();
    contents.characters.resize(static_cast<std::size_t>(count));
    for (CharacterRecord& c : contents.characters) readCharacter(in, c);
    for (std::int32_t i = 0; i < kSavedGlobalCount; ++i) {
        contents.globals[i].assign(store.globalArrays[kFirstGlobalCode + i].size(), 0);
        readIntArray(in, contents.globals[i]);
    }
    contents.saveStr.assign(store.stringArrays[kSaveStr].size(), std::string());
    // A file that ends early also ends before this last end marker.
    return readTextArray(in, contents.saveStr);
}

void applySave(SaveContents& contents, VariableStore& store) {
    store.characters.swap(contents.characters);
    for (std::int32_t i = 0; i < kSavedGlobalCount; ++i)
        store.globalArrays[kFirstGlobalCode + i].swap(contents.globals[i]);
    store.stringArrays[kSaveStr].swap(contents.saveStr);
}

bool slotWritable(const std::string& path) {
    return platform::mayWriteFile(path, folderOf(path));
}

bool replaceFile(const std::string& path, std::string_view bytes) {
    SaveFolder folder(folderOf(path));
    if (folder.locked()) folder.removeDeadWriters(baseNameOf(path));
    std::string temporary;
    platform::OutputFile file;
    if (!stepAllowed(SaveStep::CreateTemporary) || !createTemporary(path, folder.locked(), file, temporary))
        return false;
    bool ok = writeAll(file, bytes) && stepAllowed(SaveStep::Sync) && file.sync();
    if (!file.close() || !stepAllowed(SaveStep::Close)) ok = false;
    if (ok && (!stepAllowed(SaveStep::Rename) || !platform::replaceWith(temporary, path))) ok = false;
    if (!ok) {
        platform::removeFile(temporary);
        return false;
    }
    folder.sync();
    return true;
}

void setSaveStepHook(SaveStepHook hook) { saveStepHook = hook; }

}  // namespace kiro
