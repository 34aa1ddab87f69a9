// Making a function's ScriptLines from its records: a label line's argument
// is its name, a statement is classified again exactly as the loader did
// (it succeeded then, so it does now).
#include "script/function_lines.h"

#include <cstring>

#include "script/statement_classifier.h"

namespace kiro {
namespace {

// A record's text runs to its line feed; a CR just before the line feed is
// not part of it (the line feed is always there: a last line without one is
// not a line).
std::string_view recordText(const LineRecord& record, const char* bytes, const char* bytesEnd) {
    const char* start = bytes + record.offset;
    const auto length = static_cast<std::size_t>(bytesEnd - start);
    const auto* feed = static_cast<const char*>(std::memchr(start, '\n', length));
    const char* end = feed ? feed : bytesEnd;
    if (end > start && end[-1] == '\r') --end;
    return {start, static_cast<std::size_t>(end - start)};
}

// A view of `part`, which lies in `from`, moved into `to` (a copy of `from`).
std::string_view rebased(std::string_view part, const std::string& from, const std::string& to) {
    if (part.empty()) return {};
    return std::string_view(to).substr(static_cast<std::size_t>(part.data() - from.data()), part.size());
}

}  // namespace

void FunctionLines::setRecords(std::span<const LineRecord> records, std::span<const char> bytes) {
    records_ = records;
    bytes_ = bytes.data();
    bytesEnd_ = bytes.data() + bytes.size();
    lines_.reset();
}

void FunctionLines::makeLines() const {
    auto lines = std::make_unique<ScriptLine[]>(records_.size());
    std::string word;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const LineRecord& record = records_[i];
        ScriptLine& line = lines[i];
        line.lineNumber = record.lineNumber();
        if (record.kind() == LineRecord::kLabel) {
            line.argument = recordText(record, bytes_, bytesEnd_);
        } else if (record.kind() == LineRecord::kStatement) {
            classifyStatement(recordText(record, bytes_, bytesEnd_), word, line);
            if (!word.empty() && !line.target.empty()) {  // an assignment whose target had small letters
                const std::string& kept = upperWords_.emplace_front(word);
                line.target = rebased(line.target, word, kept);
                line.targetIndex = rebased(line.targetIndex, word, kept);
            }
        }
    }
    lines_ = std::move(lines);
}

}  // namespace kiro
