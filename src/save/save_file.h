// The save file format: what a slot file holds, how the store becomes its
// bytes, and how its bytes become a staging copy that replaces the stored
// game only once the whole file has been read.
//
// A save is a text of CR LF lines: game code, version, description,
// character count, one block per character (names, ISASSI, NO and the 17
// per-character arrays), the 60 global arrays of codes 20-79 and SAVESTR.
// Every array is written up to its last non-zero (non-empty) element and
// closed by a "__FINISHED" line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/character_record.h"
#include "data/variable_store.h"

namespace kiro {

struct GameBase;

inline constexpr std::int32_t kSlotCount = 20;
inline constexpr std::int32_t kSavedGlobalCount = 60;         // codes 20-79
// A save declaring more than kMaxCharacters characters is unreadable, and so
// is a larger slot file than this: 10,000 characters with every value
// at its longest take under half of it, and reading a bigger one whole
// could exhaust the memory.
inline constexpr std::int64_t kMaxSaveFileBytes = std::int64_t{1} << 30;

// "save05.sav" for slot 5.
std::string slotFileName(std::int32_t slot);

// The first three lines of a slot file, which the slot list judges.
struct SlotHeader {
    std::int32_t gameCode = 0;
    std::int32_t version = 0;
    std::string description;
};

// False when the file cannot be opened or read (a directory counts as such).
bool readSlotHeader(const std::string& path, SlotHeader& header);

// Whether a save of `version` may be loaded into this game.
bool versionAccepted(const GameBase& base, std::int32_t version);

// The complete bytes of a save of the current game.
std::string encodeSave(const VariableStore& store, const GameBase& base, std::string_view description);

// What a save file restores, read apart from the store so that an unreadable
// file changes nothing.
struct SaveContents {
    std::vector<CharacterRecord> characters;
    std::array<std::vector<std::int32_t>, kSavedGlobalCount> globals;  // index = code - 20
    std::vector<std::string> saveStr;
};

// Reads a save file's bytes into `contents`, giving each array the size it
// has in `store`. False when the file is unreadable (a character count that
// is negative or above kMaxCharacters) or damaged: it ends before the
// "__FINISHED" that closes SAVESTR, the last line a save holds (that line
// needs no line feed). Every load goes through here, so a cut-off file is a
// failed load and never a game whose missing part reads as 0.
bool decodeSave(std::string_view bytes, const VariableStore& store, SaveContents& contents);

// Replaces the character list, the global arrays 20-79 and SAVESTR.
void applySave(SaveContents& contents, VariableStore& store);

// Whether a save to `path` can be attempted: the slot is not a directory and
// neither the file nor the folder is write-protected.
bool slotWritable(const std::string& path);

// Writes `bytes` to a temporary file of this process's own beside `path`
// ("<path>.tmp.<pid>.<n>"), flushes it to disk, renames it over `path` and
// flushes the folder. On any failure that temporary file is removed and
// `path` is left as it was. Saves into one folder take turns through an
// exclusive lock on the folder, which also lets them remove temporary files
// of killed saves; where the file system has no locks, saves still go
// through and leftovers stay.
bool replaceFile(const std::string& path, std::string_view bytes);

// The steps of replaceFile, in order. Write comes once per piece of at most
// kSavePieceSize bytes, so a failure can strike in the middle of a file. A
// refused Lock stands for a file system without locks: the save goes on.
enum class SaveStep { Lock, CreateTemporary, Write, Sync, Close, Rename };
inline constexpr std::size_t kSavePieceSize = 64 * 1024;

// Fault injection for tests: when set, the hook is asked before each step
// and a false answer makes that step fail as its system call would (the
// hook may also end the process there). The engine never sets it.
using SaveStepHook = bool (*)(SaveStep step);
void setSaveStepHook(SaveStepHook hook);

}  // namespace kiro
