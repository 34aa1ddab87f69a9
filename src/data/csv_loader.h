// The CSV data loader: game identity, name tables, item prices, STR texts
// and character templates from csv/*.csv.
#pragma once

#include <string>
#include <string_view>

#include "data/game_base.h"
#include "data/variable_store.h"

namespace kiro {

class Console;
class DiagnosticSink;

// Reads every recognised file of `folder` in listing order, reporting to
// `sink`; one that is not a regular file is skipped. False after the report
// of what ends loading: a file that cannot be opened or is too large, or a
// folder that exists but cannot be listed. Too few fields, a character file
// number outside 0-99, an STR index or a character-file array index outside
// its array are reported with their line and throw ArrayError
// (start-up reports the array error).
bool loadCsvFiles(VariableStore& store, GameBase& base, DiagnosticSink& sink, const std::string& folder = "csv");

// One file's bytes under its listed name (unrecognised names do nothing).
void loadCsvText(VariableStore& store, GameBase& base, DiagnosticSink& sink, const std::string& fileName,
                 std::string_view bytes);

// Whether the loader reads a file of this name at all.
bool isCsvFileRead(const std::string& fileName);

// The same, printing the messages on the console.
bool loadCsvFiles(VariableStore& store, GameBase& base, Console& console, const std::string& folder = "csv");
void loadCsvText(VariableStore& store, GameBase& base, Console& console, const std::string& fileName,
                 std::string_view bytes);

}  // namespace kiro
