// Fuzz target: a data file's bytes through the CSV loader; the first byte
// picks which kind of file they are read as.
#include "data/csv_loader.h"
#include "fuzz_support.h"
#include "script/errors.h"

namespace {
const char* const kNames[] = {"gamebase.csv", "abl.csv",  "talent.csv", "mark.csv",   "exp.csv",
                              "palam.csv",    "train.csv", "item.csv",  "str.csv",    "chara7.csv",
                              "chara.csv",    "CHARA99x.CSV", "chara-5.csv", "chara0000100.csv"};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    kiro::fuzz::DiscardingConsoleIo io({});
    kiro::Console console(io);
    // One store for the whole run: building a fresh one per input would
    // dominate the run time. What an input added to the name tables and
    // texts is put back before it ends, so that every input starts alike and
    // libFuzzer sees no memory left held (which it would run again as a
    // possible leak).
    static kiro::VariableStore store;
    kiro::GameBase base;
    const std::size_t kind = data[0] % (sizeof kNames / sizeof kNames[0]);
    try {
        kiro::loadCsvText(store, base, console, kNames[kind], kiro::fuzz::asText(data + 1, size - 1));
    } catch (const kiro::ArrayError&) {
        // too few fields or an index outside its array ends start-up
    }
    kiro::fuzz::clearTables(store, std::string_view(kNames[kind]) == "str.csv");
    return 0;
}
