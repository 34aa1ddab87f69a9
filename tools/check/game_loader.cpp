// Loading a game file by file, so that every message and failure can be
// pinned to its file. The engine's loaders do the reading: loadCsvText and
// loadScriptText on each file's bytes, exactly as loadCsvFiles and
// loadScriptFiles call them, with their console output captured.
#include "game_loader.h"

#include <cstring>
#include <functional>

#include "console/console.h"
#include "data/csv_loader.h"
#include "data/game_files.h"
#include "failing_line.h"
#include "loader_messages.h"
#include "messages.h"
#include "script/errors.h"
#include "script/loader.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

using TextLoad = std::function<void(Console& console, std::string_view bytes)>;

// Runs a load with its console output captured; false when it threw the
// array error.
bool loadCaptured(const TextLoad& load, std::string_view bytes, std::string& output) {
    StringConsoleIo io;
    bool ok = true;
    {
        Console console(io);
        try {
            load(console, bytes);
        } catch (const ArrayError&) {
            ok = false;
        }
        console.flush();
    }
    output = std::move(io.output);
    return ok;
}

// Loads into throwaway data, for probing.
void loadQuietly(const TextLoad& load, std::string_view bytes) {
    std::string ignored;
    if (!loadCaptured(load, bytes, ignored)) throwArrayError();
}

std::string arrayErrorText() {
    return utf8Of(std::string(msg::ARRAY_ERROR_BANNER) + " " + std::string(msg::ARRAY_ERROR_MESSAGE));
}

// One folder's files: where they are, how the engine loads them, and what
// a failing line means there.
struct Folder {
    std::string name;       // "csv" or "kst"
    std::string extension;  // ".csv" or ".kst"
    std::function<TextLoad(const std::string& fileName)> realLoad;
    std::function<TextLoad(const std::string& fileName)> scratchLoad;
    std::function<bool(const std::string& fileName)> isRead;  // kiro opens the file at all
    std::string_view lineFault;                                // why a line stops the load
    std::string_view nameFault;                                // why the empty file already does
};

void reportStop(const Folder& folder, const std::string& path, const std::string& fileName, std::string_view bytes,
                Findings& findings) {
    const TextLoad scratch = folder.scratchLoad(fileName);
    std::int32_t line = failingLine(bytes, [&](std::string_view prefix) { loadQuietly(scratch, prefix); });
    std::string why(line == 0 ? folder.nameFault : folder.lineFault);
    findings.add(path, line == 0 ? 1 : line, "kiro stops loading here with the array error (" + why + "): " +
                                                 arrayErrorText());
}

// What to do with a file once it has loaded: its path, listed name and bytes.
using AfterFile = std::function<void(const std::string& path, const std::string& name, std::string_view bytes)>;

// What kiro says about a file it does not read, with why in the checker's words.
std::string unreadFileFinding(const std::string& name, ReadStatus status) {
    std::string text = utf8Of(name + std::string(unreadFileText(status)));
    if (status == ReadStatus::kTooLarge)
        text += " (kiro reads files of at most " + std::to_string(kMaxGameFileBytes >> 20) + " MiB)";
    return text;
}

bool loadFolder(const std::string& gameDir, const Folder& folder, Findings& findings, const AfterFile& afterFile) {
    const std::string dir = gameDir + "/" + folder.name;
    const GameFolder listed = listGameFolder(dir, folder.extension);
    if (listed.error != 0) {
        findings.add(folder.name, 1, utf8Of(folder.name + std::string(msg::FOLDER_UNREADABLE)) + " (" +
                                         std::strerror(listed.error) + ")");
        return false;
    }
    std::string output;
    for (const ListedFile& file : listed.files) {
        const std::string& name = file.name;
        if (!folder.isRead(name)) continue;
        const std::string path = folder.name + "/" + name;
        FileBytes data;
        if (ReadStatus status = readGameFile(dir, file, data); status != ReadStatus::kRead) {
            findings.add(path, 1, unreadFileFinding(name, status));
            if (status == ReadStatus::kNotRegular) continue;  // kiro skips it and goes on
            return false;
        }
        const std::string_view bytes = data.view();
        bool ok = loadCaptured(folder.realLoad(name), bytes, output);
        relayLoaderOutput(output, path, name, findings);
        if (!ok) {
            reportStop(folder, path, name, bytes, findings);
            return false;
        }
        afterFile(path, name, bytes);
    }
    return true;
}

// Scratch data for probing CSV files; no probe depends on what an earlier
// one stored.
struct CsvScratch {
    VariableStore store;
    GameBase base;
    TextLoad loader(const std::string& fileName) {
        return [this, fileName](Console& c, std::string_view b) { loadCsvText(store, base, c, fileName, b); };
    }
};

// kiro skips CSV names it does not recognise without opening them. The
// loader alone knows the names: a one-line text that no recognised kind
// accepts silently ("x": a name without its value, or an unknown key) makes
// it either complain or throw, while an unrecognised name does nothing.
bool csvNameIsRead(CsvScratch& scratch, const std::string& fileName) {
    std::string output;
    bool ok = loadCaptured(scratch.loader(fileName), "x\n", output);
    return !ok || !output.empty();
}

// Records the line of every training command a file defines. Each line is
// loaded alone into scratch data: the number it adds to trainNames is the
// command it defines.
void locateTrainCommands(CsvScratch& scratch, const std::string& path, const std::string& fileName,
                         std::string_view bytes, LoadedGame& game) {
    scratch.store.trainNames.clear();
    std::string ignored;
    loadCaptured(scratch.loader(fileName), bytes, ignored);
    if (scratch.store.trainNames.empty()) return;
    LineReader lines(bytes);
    for (std::string_view line; lines.next(line);) {
        scratch.store.trainNames.clear();
        std::string one = std::string(line) + "\n";
        loadCaptured(scratch.loader(fileName), one, ignored);
        for (const auto& entry : scratch.store.trainNames)
            game.trainCommands[entry.first] = SourceLine{path, lines.lineNumber()};
    }
}

Folder csvFolder(LoadedGame& game, CsvScratch& scratch) {
    return Folder{
        "csv",
        ".csv",
        [&game](const std::string& n) -> TextLoad {
            return [&game, n](Console& c, std::string_view b) { loadCsvText(*game.store, game.base, c, n, b); };
        },
        [&scratch](const std::string& n) { return scratch.loader(n); },
        [&scratch](const std::string& n) { return csvNameIsRead(scratch, n); },
        "too few fields for the file or its key, or a number outside its array",
        "the number in the file's name is outside the character slots 0-99",
    };
}

Folder kstFolder(LoadedGame& game) {
    return Folder{
        "kst",
        ".kst",
        [&game](const std::string& n) -> TextLoad {
            return [&game, n](Console& c, std::string_view b) { loadScriptText(game.program, c, n, b); };
        },
        [](const std::string& n) -> TextLoad {
            return [n](Console& c, std::string_view b) {
                ScriptProgram scratchProgram;
                loadScriptText(scratchProgram, c, n, b);
            };
        },
        [](const std::string&) { return true; },
        "the statement ends in the first byte of a double-byte character",
        "",  // an empty script file always loads
    };
}

}  // namespace

bool loadGame(const std::string& gameDir, LoadedGame& game, Findings& findings) {
    auto scratch = std::make_unique<CsvScratch>();
    auto trainLines = [&](const std::string& path, const std::string& name, std::string_view bytes) {
        locateTrainCommands(*scratch, path, name, bytes, game);
    };
    auto nothingMore = [](const std::string&, const std::string&, std::string_view) {};
    return loadFolder(gameDir, csvFolder(game, *scratch), findings, trainLines) &&
           loadFolder(gameDir, kstFolder(game), findings, nothingMore);
}

}  // namespace kiro::check
