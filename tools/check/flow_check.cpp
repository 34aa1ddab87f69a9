// What a function does to the loop and block state it runs in. kiro keeps
// one COUNT for every loop of every function, lets JUMP replace only a
// function the game loop started, and on GOTO closes every open IF but
// leaves a running loop running: each legal, each almost never meant.
#include <algorithm>
#include <initializer_list>
#include <map>
#include <optional>
#include <vector>

#include "call_graph.h"
#include "checks.h"
#include "script/instruction_table.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

std::string placeOf(const FunctionDefinition& definition, std::int32_t line) {
    return utf8Of(pathOf(definition)) + ":" + std::to_string(line);
}

Place placeOfLine(const FunctionDefinition& definition, const ScriptLine& line) {
    return Place{pathOf(definition), line.lineNumber, columnOf(line, line.text)};
}

// The blocks a line lies in, as written: the innermost open IF and the
// running loop (line numbers, 0 for none).
struct Blocks {
    std::int32_t openIf = 0;
    std::int32_t loop = 0;
};

// Each line's blocks, read in order; a stray ENDIF or REND closes nothing.
std::vector<Blocks> blocksOf(const FunctionDefinition& definition) {
    std::vector<Blocks> all;
    std::vector<std::int32_t> ifs, loops;
    for (const ScriptLine& line : definition.lines) {
        if ((line.code == kENDIF) && !ifs.empty()) ifs.pop_back();
        if (line.code == kREND && !loops.empty()) loops.pop_back();
        all.push_back({ifs.empty() ? 0 : ifs.back(), loops.empty() ? 0 : loops.back()});
        if (line.code == kIF) ifs.push_back(line.lineNumber);
        if (line.code == kREPEAT) loops.push_back(line.lineNumber);
    }
    return all;
}

class FlowCheck {
public:
    FlowCheck(const LoadedGame& game, Findings& findings) : graph_(game.program), findings_(findings) {}

    void check(const FunctionDefinition& definition) {
        const std::vector<Blocks> blocks = blocksOf(definition);
        for (std::size_t i = 0; i < definition.lines.size(); ++i) {
            const ScriptLine& line = definition.lines[i];
            if (line.code == kCALL && blocks[i].loop) checkCallInLoop(definition, i, blocks);
            if (line.code == kJUMP) checkJump(definition, line);
            if (line.code == kGOTO) checkGoto(definition, line, blocks[i], blocks);
        }
    }

private:
    // COUNT put back after the call, inside the same loop: the author saved it.
    static bool restoresCount(const FunctionDefinition& definition, std::size_t from, const std::vector<Blocks>& blocks) {
        for (std::size_t i = from + 1; i < definition.lines.size() && blocks[i].loop == blocks[from].loop; ++i)
            if (definition.lines[i].code == kASSIGN && definition.lines[i].target == "COUNT") return true;
        return false;
    }

    void checkCallInLoop(const FunctionDefinition& definition, std::size_t index, const std::vector<Blocks>& blocks) {
        const ScriptLine& line = definition.lines[index];
        for (const CallSite& site : graph_.sitesIn(definition)) {
            if (site.line != &line || !site.to || restoresCount(definition, index, blocks)) continue;
            const CallGraph::Hit hit = repeatRunBy(*site.to);
            if (!hit.line) continue;
            findings_.add(placeOfLine(definition, line), FindingCode::SharedCount,
                          "CALL inside the loop of line " + std::to_string(blocks[index].loop) + " runs the REPEAT at " +
                              placeOf(*hit.definition, hit.line->lineNumber) +
                              ": every loop counts in the same COUNT, so this loop goes on from the count that "
                              "one leaves (and usually ends early). Save COUNT in a variable before the CALL and "
                              "put it back after it");
        }
    }

    // The first REPEAT the function or what it CALLs runs, found once per function.
    CallGraph::Hit repeatRunBy(const FunctionDefinition& definition) {
        auto [entry, fresh] = repeats_.try_emplace(&definition);
        if (fresh) entry->second = graph_.find(definition, [](const ScriptLine& l) { return l.code == kREPEAT; }, true);
        return entry->second;
    }

    void checkJump(const FunctionDefinition& definition, const ScriptLine& line) {
        const CallSite* through = graph_.calledThrough(definition);
        if (!through) return;
        findings_.add(placeOfLine(definition, line), FindingCode::JumpInCall,
                      "JUMP in a function that a CALL runs (" + placeOf(*through->from, through->line->lineNumber) +
                          "): kiro reports error 202 there and goes on with the next line. Use CALL and then "
                          "RETURN, or JUMP from the function the game loop started");
    }

    void checkGoto(const FunctionDefinition& definition, const ScriptLine& line, Blocks from,
                   const std::vector<Blocks>& blocks) {
        std::optional<std::size_t> target;
        cutOperands(line, [&](OperandKind kind, std::string_view name) {
            if (kind != OperandKind::Label) return;
            if (const LabelEntry* label = findLabel(definition, name))
                for (std::size_t i = 0; i < definition.lines.size() && !target; ++i)
                    if (definition.lines[i].lineNumber == label->lineNumber) target = i;
        });
        if (!target) return;
        const Blocks to = blocks[*target];
        const auto& lines = definition.lines;
        if (from.loop && to.loop != from.loop) {
            const Next next = nextAfter(lines, *target, {kREPEAT, kREND});
            if (!next.fault) return;
            findings_.add(placeOfLine(definition, line), FindingCode::GotoOutOfLoop,
                          "GOTO out of the loop of line " + std::to_string(from.loop) + ": the loop keeps running, so " +
                              (next.line ? keywordOf(*next.line) + " at line " + std::to_string(next.line->lineNumber) +
                                               (next.line->code == kREPEAT ? " reports error 203"
                                                                           : " counts for it")
                                         : std::string("the end of the function reports error 207")) +
                              ". Leave the loop with BREAK");
        } else if (to.loop && to.loop != from.loop) {
            const Next next = nextAfter(lines, *target, {kREND});
            if (!next.fault || !next.line) return;
            findings_.add(placeOfLine(definition, line), FindingCode::GotoIntoBlock,
                          "GOTO into the loop of line " + std::to_string(to.loop) + ": no loop runs there, so the REND at line " +
                              std::to_string(next.line->lineNumber) + " does not go back to the REPEAT");
        } else if (to.openIf) {
            const Next next = nextAfter(lines, *target, {kELSE, kELSEIF, kENDIF});
            if (!next.fault || !next.line) return;
            findings_.add(placeOfLine(definition, line), FindingCode::GotoIntoBlock,
                          "GOTO to a label inside the IF block of line " + std::to_string(to.openIf) +
                              ": GOTO closes every open IF, so the " + keywordOf(*next.line) + " at line " +
                              std::to_string(next.line->lineNumber) + " reports error 100. Put the label before the IF");
        }
    }

    // What runs after a label, read in order at the label's own block
    // level: a fault (one of `faults`, or the end of the function: null
    // line) or a line that ends the function first. A GOTO or RESTART
    // there goes who knows where, which counts as no fault.
    struct Next {
        bool fault = false;
        const ScriptLine* line = nullptr;
    };
    static Next nextAfter(const FunctionLines& lines, std::size_t label, std::initializer_list<std::int32_t> faults) {
        int depth = 0;
        bool conditional = false;  // the line after a SIF
        for (std::size_t i = label + 1; i < lines.size(); ++i) {
            const ScriptLine& line = lines[i];
            const bool level = depth == 0 && !conditional;
            conditional = line.code == kSIF;
            if (level && std::find(faults.begin(), faults.end(), line.code) != faults.end()) return {true, &line};
            if (line.code == kIF) ++depth;
            if (line.code == kENDIF && depth > 0) --depth;
            if (!level) continue;
            if (line.code == kRETURN || line.code == kBEGIN || line.code == kJUMP || line.code == kQUIT ||
                line.code == kGOTO || line.code == kRESTART)
                return {};
        }
        return {true, nullptr};
    }

    CallGraph graph_;
    std::map<const FunctionDefinition*, CallGraph::Hit> repeats_;
    Findings& findings_;
};

}  // namespace

void checkFlow(const LoadedGame& game, Findings& findings) {
    FlowCheck flow(game, findings);
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) { flow.check(definition); });
}

}  // namespace kiro::check
