// The line store: records are added at the end of the last block. When a
// run outgrows the block, the run so far moves to a fresh block (twice its
// length at least), so no run is ever split and the moving costs at most a
// constant factor. Memory past a block's used records is never touched.
#include "script/line_store.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace kiro {
namespace {

static_assert(std::is_trivially_copyable_v<LineRecord> && sizeof(LineRecord) == 16);

constexpr std::size_t kBlockRecords = (std::size_t{1} << 20) / sizeof(LineRecord);

}  // namespace

LineStore::~LineStore() {
    for (Block& block : blocks_) ::operator delete(block.records);
}

void LineStore::startRun() { runStart_ = blocks_.empty() ? 0 : blocks_.back().used; }

std::span<const LineRecord> LineStore::currentRun() const {
    if (blocks_.empty()) return {};
    const Block& block = blocks_.back();
    return {block.records + runStart_, block.used - runStart_};
}

void LineStore::moveRunToNewBlock() {
    const std::size_t runLength = blocks_.empty() ? 0 : blocks_.back().used - runStart_;
    const std::size_t capacity = std::max(kBlockRecords, 2 * runLength);
    blocks_.reserve(blocks_.size() + 1);
    Block fresh{static_cast<LineRecord*>(::operator new(capacity * sizeof(LineRecord))), 0, capacity};
    if (runLength > 0) {
        Block& old = blocks_.back();
        std::memcpy(static_cast<void*>(fresh.records), old.records + runStart_, runLength * sizeof(LineRecord));
        old.used = runStart_;
        fresh.used = runLength;
        if (old.used == 0) {  // the run was all the block held
            ::operator delete(old.records);
            blocks_.pop_back();
        }
    }
    blocks_.push_back(fresh);
    runStart_ = 0;
}

}  // namespace kiro
