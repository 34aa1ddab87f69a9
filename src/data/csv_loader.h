// The CSV data loader: game identity, name tables, item prices, STR texts
// and character templates from csv/*.csv.
#pragma once

#include <string>
#include <string_view>

#include "data/game_base.h"
#include "data/variable_store.h"

namespace kiro {

class Console;

// Reads every recognised file of `folder` in listing order; one that is not
// a regular file is skipped with a warning. False after the message of what
// ends loading: a file that cannot be opened or is too large, or a folder
// that exists but cannot be listed. Too few fields, a character file number outside
// 0-99, an STR index or a character-file array index outside its array
// throw ArrayError (start-up reports the array error).
bool loadCsvFiles(VariableStore& store, GameBase& base, Console& console, const std::string& folder = "csv");

// One file's bytes under its listed name (unrecognised names do nothing).
void loadCsvText(VariableStore& store, GameBase& base, Console& console, const std::string& fileName,
                 std::string_view bytes);

}  // namespace kiro
