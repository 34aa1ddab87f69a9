// What the loader keeps of each script line, and where: a 16-byte record
// per line, in runs of consecutive records (one run per function) inside
// large blocks, so that a million lines cost a few dozen allocations and no
// record moves once its run is complete. A function's full ScriptLines are
// made from its records when it is first used (function_lines.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

namespace kiro {

struct LineRecord {
    enum Kind : std::uint8_t { kNoOp, kLabel, kStatement };
    // Labels: the upper-cased name; statements: the text after blanks and a
    // '?'. Either runs to the end of its line in the kept file bytes.
    const char* start = nullptr;
    std::int32_t lineNumber = 0;
    Kind kind = kNoOp;
};

class LineStore {
public:
    LineStore() = default;
    ~LineStore();
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    // The records appended from now on form a new run.
    void startRun();
    // Adds a record at the end of the current run. The run's earlier
    // records may move to a new block with it, so spans of the current run
    // are stale afterwards.
    void append(const LineRecord& record) {
        if (blocks_.empty() || blocks_.back().used == blocks_.back().capacity) moveRunToNewBlock();
        Block& block = blocks_.back();
        new (block.records + block.used) LineRecord(record);
        ++block.used;
    }
    std::span<const LineRecord> currentRun() const;

private:
    struct Block {
        LineRecord* records;
        std::size_t used, capacity;
    };
    void moveRunToNewBlock();

    std::vector<Block> blocks_;
    std::size_t runStart_ = 0;  // where the current run begins in the last block
};

}  // namespace kiro
