// One fault found in a game, and the list a check run collects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiro::check {

struct Finding {
    std::string file;     // "kst/a.kst", "csv/chara1.csv": the folder and the name as listed (raw bytes)
    std::int32_t line;    // 1-based; faults of a whole file are put on line 1
    std::string message;  // UTF-8
};

class Findings {
public:
    void add(std::string file, std::int32_t line, std::string message) {
        list_.push_back(Finding{std::move(file), line, std::move(message)});
    }
    const std::vector<Finding>& list() const { return list_; }
    bool empty() const { return list_.empty(); }

    // By file, then line; findings on one line keep the order they were made in.
    void sort();

private:
    std::vector<Finding> list_;
};

// "file:line: message", all in UTF-8, without the line end.
std::string formatFinding(const Finding& finding);

}  // namespace kiro::check
