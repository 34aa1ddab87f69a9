// Fuzz target: a save file's bytes through the reader, applied to a store
// when they read as a save.
#include "fuzz_support.h"
#include "save/save_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kiro::VariableStore store;  // loads replace what an earlier one left
    kiro::SaveContents contents;
    if (kiro::decodeSave(kiro::fuzz::asText(data, size), store, contents)) kiro::applySave(contents, store);
    return 0;
}
