// What the loader keeps of each script line, and where: an 8-byte record
// per line, in runs of consecutive records (one run per function) inside
// large blocks, so that a million lines cost a few dozen allocations and no
// record moves once its run is complete. A function's full ScriptLines are
// made from its records when it is first used (function_lines.h). The
// functions' labels are kept the same way.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kiro {

struct LineRecord {
    enum Kind : std::uint8_t { kNoOp, kLabel, kStatement };
    // Labels: the upper-cased name; statements: the text after blanks and a
    // '?'. Either starts at `offset` in the kept file bytes and runs to the
    // end of its line. Files are far below 4 GiB, and below 2^30 lines.
    std::uint32_t offset = 0;
    std::uint32_t lineAndKind = 0;  // the line number times 4, plus the kind

    LineRecord() = default;
    LineRecord(std::size_t at, std::int32_t lineNumber, Kind kind)
        : offset(static_cast<std::uint32_t>(at)),
          lineAndKind(static_cast<std::uint32_t>(lineNumber) << 2 | kind) {}
    std::int32_t lineNumber() const { return static_cast<std::int32_t>(lineAndKind >> 2); }
    Kind kind() const { return static_cast<Kind>(lineAndKind & 3); }
};
static_assert(sizeof(LineRecord) == 8);

struct LabelEntry {
    std::int32_t lineNumber = 0;
    std::string_view name;  // upper-cased
};

// Records are added at the end of the last block. When a run outgrows the
// block, the run so far moves to a fresh block (twice its length at least),
// so no run is ever split and the moving costs at most a constant factor.
// Memory past a block's used records is never touched.
template <typename Record>
class RunStore {
    static_assert(std::is_trivially_copyable_v<Record>);

public:
    RunStore() = default;
    ~RunStore() {
        for (Record* block : blocks_) ::operator delete(block);
    }
    RunStore(const RunStore&) = delete;
    RunStore& operator=(const RunStore&) = delete;

    // The records appended from now on form a new run.
    void startRun() { runStart_ = next_; }
    // Adds a record at the end of the current run. The run's earlier
    // records may move to a new block with it, so spans of the current run
    // are stale afterwards.
    void append(const Record& record) {
        if (next_ == limit_) moveRunToNewBlock();
        *next_++ = record;
    }
    std::span<const Record> currentRun() const { return {runStart_, next_}; }

private:
    static constexpr std::size_t kBlockRecords = (std::size_t{1} << 20) / sizeof(Record);

    void moveRunToNewBlock() {
        const auto runLength = static_cast<std::size_t>(next_ - runStart_);
        const std::size_t capacity = std::max(kBlockRecords, 2 * runLength);
        blocks_.reserve(blocks_.size() + 1);
        auto* fresh = static_cast<Record*>(::operator new(capacity * sizeof(Record)));
        if (runLength > 0) std::memcpy(static_cast<void*>(fresh), runStart_, runLength * sizeof(Record));
        if (!blocks_.empty() && runStart_ == blocks_.back()) {  // the run was all the block held
            ::operator delete(blocks_.back());
            blocks_.pop_back();
        }
        blocks_.push_back(fresh);
        runStart_ = fresh;
        next_ = fresh + runLength;
        limit_ = fresh + capacity;
    }

    std::vector<Record*> blocks_;
    Record* runStart_ = nullptr;  // the current run, in the last block
    Record* next_ = nullptr;      // where the next record goes
    Record* limit_ = nullptr;     // the end of the last block
};

using LineStore = RunStore<LineRecord>;
using LabelStore = RunStore<LabelEntry>;

}  // namespace kiro
