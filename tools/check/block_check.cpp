// IF and REPEAT blocks, matched by reading each function's lines in order,
// as they are written. kiro matches them only while running, so a stray
// ENDIF or a missing REND shows up there as an error report in the middle
// of a game (or, for a block left open at the end of a function, as the
// end of the game).
#include <vector>

#include "checks.h"
#include "script/instruction_table.h"

namespace kiro::check {
namespace {

class BlockWalk {
public:
    BlockWalk(const FunctionDefinition& definition, Findings& findings)
        : path_(pathOf(definition)), findings_(findings) {}

    void visit(const ScriptLine& line);
    void finish();

private:
    void openIf(const ScriptLine& line) { openIfs_.push_back(placeOf(line)); }
    void continueIf(const ScriptLine& line);
    void closeIf(const ScriptLine& line);
    void openRepeat(const ScriptLine& line);
    void closeRepeat(const ScriptLine& line);
    void insideLoopOnly(const ScriptLine& line);
    Place placeOf(const ScriptLine& line) const { return Place{path_, line.lineNumber, columnOf(line, line.text)}; }
    void add(const ScriptLine& line, FindingCode code, std::string message) {
        findings_.add(placeOf(line), code, std::move(message));
    }

    struct Rule {
        std::int32_t code;
        void (BlockWalk::*handle)(const ScriptLine&);
    };
    static constexpr Rule kRules[] = {
        {kIF, &BlockWalk::openIf},         {kELSEIF, &BlockWalk::continueIf},
        {kELSE, &BlockWalk::continueIf},   {kENDIF, &BlockWalk::closeIf},
        {kREPEAT, &BlockWalk::openRepeat}, {kREND, &BlockWalk::closeRepeat},
        {kCONTINUE, &BlockWalk::insideLoopOnly}, {kBREAK, &BlockWalk::insideLoopOnly},
    };

    std::string path_;
    Findings& findings_;
    std::vector<Place> openIfs_;      // innermost last
    std::vector<Place> openRepeats_;  // nested ones are reported but kept, to match their RENDs
};

void BlockWalk::visit(const ScriptLine& line) {
    for (const Rule& rule : kRules)
        if (rule.code == line.code) (this->*rule.handle)(line);
}

void BlockWalk::continueIf(const ScriptLine& line) {
    if (openIfs_.empty())
        add(line, FindingCode::UnbalancedIf, keywordOf(line) + " without an open IF (kiro reports error 100 here)");
}

void BlockWalk::closeIf(const ScriptLine& line) {
    if (openIfs_.empty()) add(line, FindingCode::UnbalancedIf, "ENDIF without an open IF (kiro reports error 100 here)");
    else openIfs_.pop_back();
}

void BlockWalk::openRepeat(const ScriptLine& line) {
    if (!openRepeats_.empty())
        add(line, FindingCode::NestedRepeat,
            "REPEAT inside the loop of line " + std::to_string(openRepeats_.back().line) +
                ": only one loop runs at a time, so kiro reports error 203 and ignores this REPEAT");
    openRepeats_.push_back(placeOf(line));
}

void BlockWalk::closeRepeat(const ScriptLine& line) {
    if (openRepeats_.empty())
        add(line, FindingCode::RendWithoutRepeat, "REND without REPEAT (kiro adds 1 to COUNT:0 here and goes on)");
    else openRepeats_.pop_back();
}

void BlockWalk::insideLoopOnly(const ScriptLine& line) {
    if (openRepeats_.empty())
        add(line, FindingCode::OutsideRepeat,
            keywordOf(line) + " outside a REPEAT loop (kiro passes over every line up to the next REND)");
}

void BlockWalk::finish() {
    for (const Place& place : openIfs_)
        findings_.add(place, FindingCode::UnbalancedIf,
                      "IF without ENDIF: the function ends with the block open (kiro raises error 206 there)");
    for (const Place& place : openRepeats_)
        findings_.add(place, FindingCode::UnclosedRepeat,
                      "REPEAT without REND: the function ends with the loop open (kiro raises error 207 there)");
}

}  // namespace

void checkBlocks(const LoadedGame& game, Findings& findings) {
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) {
        BlockWalk walk(definition, findings);
        for (const ScriptLine& line : definition.lines) walk.visit(line);
        walk.finish();
    });
}

}  // namespace kiro::check
