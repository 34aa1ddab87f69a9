// Fuzz target: a save file's bytes through the reader, applied to a store
// when they read as a save.
//
// A file declaring N characters makes the reader build N zeroed characters
// (17 arrays each) even when the file ends right after the count, so a
// count in the thousands costs milliseconds per input and would hold the
// run to a few hundred inputs a second. Inputs declaring more than
// kMaxFuzzedCharacters (and no more than the reader accepts) are therefore
// skipped here: the large counts are covered by the save-file unit tests and
// the end-to-end cases in tests/e2e/cases/limits/, and nothing in the
// reader depends on the count beyond repeating the character block.
// Negative and over-limit counts still go through, as they are refused at
// once.
//
// The reader sizes every array after the store. With the global arrays and
// SAVESTR cut to a few elements, zero-filling 70,000 elements no longer
// dominates each run, and files with more element lines than an array has
// room for, which the reader passes over, come up all the time.
#include "data/text.h"
#include "fuzz_support.h"
#include "save/save_file.h"

namespace {

constexpr std::int32_t kMaxFuzzedCharacters = 8;

// The fourth line, read the way the reader reads the character count.
std::int32_t declaredCharacters(std::string_view bytes) {
    std::size_t start = 0;
    for (int line = 0; line < 3; ++line) {
        std::size_t nl = bytes.find('\n', start);
        if (nl == std::string_view::npos) return 0;
        start = nl + 1;
    }
    std::size_t end = bytes.find('\n', start);
    return kiro::saturatingValue(bytes.substr(start, end == std::string_view::npos ? end : end - start));
}

void shrinkGlobals(kiro::VariableStore& store) {
    for (std::int32_t code = kiro::kFirstGlobalCode; code < kiro::kGlobalSlots; ++code)
        store.global(code).resize(4 + code % 13);
    store.strings(kiro::kSaveStr).resize(6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes = kiro::fuzz::asText(data, size);
    std::int32_t count = declaredCharacters(bytes);
    if (count > kMaxFuzzedCharacters && count <= kiro::kMaxCharacters) return 0;
    static kiro::VariableStore store;  // loads replace what an earlier one left
    static bool ready = (shrinkGlobals(store), true);
    (void)ready;
    kiro::SaveContents contents;
    if (kiro::decodeSave(bytes, store, contents)) kiro::applySave(contents, store);
    return 0;
}
