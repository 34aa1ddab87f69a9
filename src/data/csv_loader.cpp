// The CSV loader: recognises each file of the csv folder by its lower-cased
// name and applies its lines to the variable store, the game identity or a
// character template.
//
// Lines are comma-separated fields without quoting. A line needing a field it
// does not have is the array error (reported by start-up), raised at the
// moment the missing field is asked for, so whatever the line stored before
// that point stays stored.
#include "data/csv_loader.h"

#include <array>

#include "data/faults.h"
#include "data/game_files.h"
#include "data/load_diagnostics.h"
#include "data/text.h"
#include "messages.h"

namespace kiro {
namespace {

enum class FileKind { kNone, kGameBase, kNameTable, kTrain, kItem, kStr, kCharacter };

struct NamedFile {
    std::string_view name;  // lower-cased
    FileKind kind;
    std::int32_t nameTable;  // StringCode of the table a name-table file fills
};

constexpr NamedFile kNamedFiles[] = {
    {"gamebase.csv", FileKind::kGameBase, 0}, {"abl.csv", FileKind::kNameTable, kAblName},
    {"talent.csv", FileKind::kNameTable, kTalentName}, {"mark.csv", FileKind::kNameTable, kMarkName},
    {"exp.csv", FileKind::kNameTable, kExpName}, {"palam.csv", FileKind::kNameTable, kPalamName},
    {"train.csv", FileKind::kTrain, 0}, {"item.csv", FileKind::kItem, 0}, {"str.csv", FileKind::kStr, 0},
};

constexpr std::string_view kCharaPrefix = "chara";
constexpr std::size_t kCharaNumberLength = 7;  // bytes after the prefix read as the slot

// One key table serves gamebase.csv and the character files; each code has
// a meaning in both kinds of file, and a key of the other kind acts by its
// code (a character file's "number" key sets the game code in gamebase.csv).
namespace base_key {
constexpr std::int32_t kCode = 0, kVersion = 1, kIgnored = 2, kNoItem = 3, kCheckedOnly = 4, kTitle = 5,
                       kAuthor = 6, kYear = 7, kExtraInfo = 8, kAcceptedVersion = 9, kInitialCharacter = 10;
}
namespace chara_key {
constexpr std::int32_t kNumber = 0, kName = 1, kBase = 2, kTalent = 3, kAbl = 4, kExp = 5, kMark = 6,
                       kRelation = 7, kCflag = 8, kCallName = 9, kAssi = 10;
}

struct CsvKey {
    std::string_view text;
    std::int32_t code;
};

constexpr CsvKey kCsvKeys[] = {
    {msg::KEY_CODE, base_key::kCode},
    {msg::KEY_VERSION, base_key::kVersion},
    {msg::KEY_NO_ITEM, base_key::kNoItem},
    {msg::KEY_TITLE, base_key::kTitle},
    {msg::KEY_AUTHOR, base_key::kAuthor},
    {msg::KEY_YEAR, base_key::kYear},
    {msg::KEY_EXTRA_INFO, base_key::kExtraInfo},
    {msg::KEY_ACCEPTED_VERSION, base_key::kAcceptedVersion},
    {msg::KEY_INITIAL_CHARACTER, base_key::kInitialCharacter},
    {msg::KEY_NUMBER, chara_key::kNumber},
    {msg::KEY_NAME, chara_key::kName},
    {msg::KEY_BASE, chara_key::kBase},
    {msg::KEY_TALENT, chara_key::kTalent},
    {msg::KEY_ABL, chara_key::kAbl},
    {msg::KEY_EXP, chara_key::kExp},
    {msg::KEY_MARK, chara_key::kMark},
    {msg::KEY_RELATION, chara_key::kRelation},
    {msg::KEY_CFLAG, chara_key::kCflag},
    {msg::KEY_CALLNAME, chara_key::kCallName},
    {msg::KEY_ASSI, chara_key::kAssi},
};

// The character array each "index, value" key writes (the base key writes
// MAXBASE as well).
constexpr std::array<std::int32_t, 11> kCharaKeyArray = {
    -1, -1, kBase, kTalent, kAbl, kExp, kMark, kRelation, kCflag, -1, -1,
};

int findKey(std::string_view text) {
    for (const CsvKey& key : kCsvKeys)
        if (key.text == text) return key.code;
    return -1;
}

// The first three fields of a line; no kind uses more. Asking for a field
// the line does not have is the array error.
class Fields {
public:
    explicit Fields(std::string_view line) {
        std::size_t start = 0;
        while (count_ < static_cast<int>(text_.size())) {
            std::size_t comma = line.find(',', start);
            text_[count_++] = line.substr(start, comma == std::string_view::npos ? comma : comma - start);
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
    }
    std::string_view text(int i) const {
        if (i >= count_) throwArrayError();
        return text_[i];
    }
    std::int32_t number(int i) const { return saturatingValue(text(i)); }

private:
    std::array<std::string_view, 3> text_;
    int count_ = 0;
};

std::string lowerCased(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

NamedFile recognise(const std::string& lowered) {
    for (const NamedFile& file : kNamedFiles)
        if (file.name == lowered) return file;
    if (lowered.starts_with(kCharaPrefix) && lowered.find(".csv") != std::string::npos)
        return {{}, FileKind::kCharacter, 0};
    return {{}, FileKind::kNone, 0};
}

std::int32_t characterSlot(std::string_view lowered) {
    return saturatingValue(lowered.substr(kCharaPrefix.size(), kCharaNumberLength));
}

// Everything one file's lines write to.
struct CsvTarget {
    VariableStore& store;
    GameBase& base;
    NamedFile file;
    CharacterRecord* character = nullptr;  // the template slot of a character file
};

// Codes 2 and 4 have no key of gamebase.csv's own; a character key with
// those codes changes nothing there, though 4 still wants its field.
void applyGameBase(GameBase& base, std::int32_t key, const Fields& f) {
    switch (key) {
        case base_key::kCode: base.gameCode = f.number(1); break;
        case base_key::kVersion: base.version = f.number(1); break;
        case base_key::kIgnored: break;
        case base_key::kNoItem: base.noItem = static_cast<std::int8_t>(f.number(1) & 0xFF); break;
        case base_key::kCheckedOnly: f.text(1); break;
        case base_key::kTitle: base.title = f.text(1); break;
        case base_key::kAuthor: base.author = f.text(1); break;
        case base_key::kYear: base.year = f.text(1); break;
        case base_key::kExtraInfo: base.extraInfo = f.text(1); break;
        case base_key::kAcceptedVersion: base.acceptedVersion = f.number(1); break;
        case base_key::kInitialCharacter: base.initialCharacter = f.number(1); break;
    }
}

void applyCharacter(CharacterRecord& chara, std::int32_t key, const Fields& f) {
    switch (key) {
        case chara_key::kNumber: chara.no = f.number(1); return;
        case chara_key::kName: chara.name = f.text(1); return;
        case chara_key::kTalent: chara.at(kTalent, f.number(1)) = 1; return;
        case chara_key::kCallName: chara.callName = f.text(1); return;
        case chara_key::kAssi: chara.isAssi = f.number(1); return;
    }
    // The rest write entry i (field 1) of an array with v (field 2); an
    // index outside the array is refused before anything is written.
    std::int32_t index = f.number(1), value = f.number(2);
    chara.at(kCharaKeyArray[key], index) = value;
    if (key == chara_key::kBase) chara.at(kMaxBase, index) = value;
}

void applyLine(CsvTarget& target, std::int32_t key, const Fields& f) {
    VariableStore& store = target.store;
    switch (target.file.kind) {
        case FileKind::kGameBase: applyGameBase(target.base, key, f); return;
        case FileKind::kCharacter: applyCharacter(*target.character, key, f); return;
        case FileKind::kNameTable: store.nameTable(target.file.nameTable)[f.number(0)] = f.text(1); return;
        case FileKind::kTrain: store.trainNames[f.number(0)] = f.text(1); return;
        case FileKind::kItem: {
            std::int32_t item = f.number(0);
            store.nameTable(kItemName)[item] = f.text(1);
            store.itemPrices[item] = f.number(2);  // the name above stays when the price is missing
            return;
        }
        case FileKind::kStr: {
            std::vector<std::string>& texts = store.strings(kStr);
            std::int32_t index = f.number(0);
            std::string_view text = f.text(1);
            texts[checkedIndex(index, texts.size())] = text;
            return;
        }
        case FileKind::kNone: return;
    }
}

bool isKeyed(FileKind kind) { return kind == FileKind::kGameBase || kind == FileKind::kCharacter; }

// A file's names in its messages: as listed, and lower-cased as shown.
struct FileNames {
    std::string_view listed, shown;
};

void report(DiagnosticSink& sink, FileNames names, DiagnosticKind kind, std::int32_t line = 0,
            std::string_view text = {}) {
    sink.report({.kind = kind, .file = names.listed, .shownAs = names.shown, .line = line, .text = text});
}

// Reads the lines into the target. An unknown key ends the file; a line
// that throws the array error is reported before the error goes on.
void loadLines(CsvTarget& target, DiagnosticSink& sink, FileNames names, std::string_view bytes) {
    const bool keyed = isKeyed(target.file.kind);
    LineReader lines(bytes);
    try {
        for (std::string_view raw; lines.next(raw);) {
            std::string_view line = trimBlanks(raw);
            if (line.empty() || line.front() == ';') continue;
            Fields fields(line);
            std::int32_t key = keyed ? findKey(fields.text(0)) : 0;
            if (key < 0) {
                report(sink, names, DiagnosticKind::kInvalidCsvKey, lines.lineNumber(), line);
                return;
            }
            applyLine(target, key, fields);
        }
    } catch (const ArrayError&) {
        report(sink, names, DiagnosticKind::kCsvValueOutOfRange, lines.lineNumber());
        throw;
    }
}

// The template slot a character file fills, cleared: a later file for the
// same slot replaces everything an earlier one wrote.
CharacterRecord& characterTemplate(VariableStore& store, DiagnosticSink& sink, FileNames names) {
    try {
        CharacterRecord& chara = store.templateAt(characterSlot(names.shown));
        chara = CharacterRecord();
        return chara;
    } catch (const ArrayError&) {
        report(sink, names, DiagnosticKind::kCharacterSlotOutOfRange);
        throw;
    }
}

}  // namespace

bool isCsvFileRead(const std::string& fileName) { return recognise(lowerCased(fileName)).kind != FileKind::kNone; }

void loadCsvText(VariableStore& store, GameBase& base, DiagnosticSink& sink, const std::string& fileName,
                 std::string_view bytes) {
    const std::string lowered = lowerCased(fileName);
    const FileNames names{fileName, lowered};
    CsvTarget target{store, base, recognise(lowered)};
    if (target.file.kind == FileKind::kNone) return;
    if (target.file.kind == FileKind::kCharacter) target.character = &characterTemplate(store, sink, names);
    loadLines(target, sink, names, bytes);
}

void loadCsvText(VariableStore& store, GameBase& base, Console& console, const std::string& fileName,
                 std::string_view bytes) {
    ConsoleDiagnostics sink(console);
    loadCsvText(store, base, sink, fileName, bytes);
}

bool loadCsvFiles(VariableStore& store, GameBase& base, DiagnosticSink& sink, const std::string& folder) {
    return readGameFolder(folder, ".csv", sink, isCsvFileRead, [&](const std::string& name, FileBytes& bytes) {
        loadCsvText(store, base, sink, name, bytes.view());
    });
}

bool loadCsvFiles(VariableStore& store, GameBase& base, Console& console, const std::string& folder) {
    ConsoleDiagnostics sink(console);
    return loadCsvFiles(store, base, sink, folder);
}

}  // namespace kiro
