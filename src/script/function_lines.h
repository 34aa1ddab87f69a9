// The lines of one function. The loader gives it the function's line
// records; the ScriptLines themselves are made from them the first time
// anything looks at a line, so a large game pays at start-up only for the
// records, and in full only for the functions it runs.
#pragma once

#include <cstddef>
#include <forward_list>
#include <memory>
#include <span>
#include <string>

#include "script/line_store.h"
#include "script/script_line.h"

namespace kiro {

class FunctionLines {
public:
    FunctionLines() = default;
    FunctionLines(const FunctionLines&) = delete;
    FunctionLines& operator=(const FunctionLines&) = delete;

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    // The lines, made on first use; they never move afterwards.
    std::span<const ScriptLine> view() const {
        if (!lines_ && !records_.empty()) makeLines();
        return {lines_.get(), records_.size()};
    }
    operator std::span<const ScriptLine>() const { return view(); }
    const ScriptLine& operator[](std::size_t i) const { return view()[i]; }
    const ScriptLine* begin() const { return view().data(); }
    const ScriptLine* end() const { return view().data() + records_.size(); }

    // For the loader, once the function's records are complete: the records
    // and the file bytes they point into.
    void setRecords(std::span<const LineRecord> records, std::span<const char> bytes);

private:
    void makeLines() const;

    std::span<const LineRecord> records_;
    const char* bytes_ = nullptr;
    const char* bytesEnd_ = nullptr;
    mutable std::unique_ptr<ScriptLine[]> lines_;
    mutable std::forward_list<std::string> upperWords_;  // first words written with small letters
};

}  // namespace kiro
