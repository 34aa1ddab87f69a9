#include "call_graph.h"

#include <algorithm>
#include <deque>

#include "checks.h"
#include "data/text.h"
#include "script/entry_points.h"
#include "script/instruction_table.h"

namespace kiro::check {
namespace {

template <typename Names>
bool listed(const Names& names, std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// A number as the engine writes it into a name: optional "-", no leading zeros.
bool isDecimalText(std::string_view text) { return !text.empty() && decimalText(decimalValue(text)) == text; }

const std::vector<CallSite> kNoSites;

}  // namespace

bool isEngineEntryPoint(std::string_view name) {
    if (!name.empty() && listed(entry_point::kEvents, name)) return true;
    if (listed(entry_point::kFixed, name)) return true;
    for (std::string_view prefix : entry_point::kNumbered)
        if (name.starts_with(prefix) && isDecimalText(name.substr(prefix.size()))) return true;
    return false;
}

CallGraph::CallGraph(const ScriptProgram& program) {
    forEachDefinition(program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines) {
            if (line.code != kCALL && line.code != kJUMP) continue;
            cutOperands(line, [&](OperandKind kind, std::string_view name) {
                if (kind != OperandKind::Function) return;
                named_.emplace(name);
                sites_[&definition].push_back({&definition, &line, program.findFunction(name), line.code == kJUMP});
            });
        }
    });
    // Everything a CALL starts runs on a called executor, and so does
    // everything that runs CALLs in turn.
    std::deque<const FunctionDefinition*> queue;
    for (const auto& [from, sites] : sites_)
        for (const CallSite& site : sites)
            if (!site.jump && site.to && calledThrough_.emplace(site.to, site).second) queue.push_back(site.to);
    while (!queue.empty()) {
        const FunctionDefinition* next = queue.front();
        queue.pop_front();
        for (const CallSite& site : sitesIn(*next))
            if (!site.jump && site.to && calledThrough_.emplace(site.to, site).second)
                queue.push_back(site.to);
    }
}

const std::vector<CallSite>& CallGraph::sitesIn(const FunctionDefinition& definition) const {
    auto found = sites_.find(&definition);
    return found == sites_.end() ? kNoSites : found->second;
}

const CallSite* CallGraph::calledThrough(const FunctionDefinition& definition) const {
    auto found = calledThrough_.find(&definition);
    return found == calledThrough_.end() ? nullptr : &found->second;
}

CallGraph::Hit CallGraph::find(const FunctionDefinition& start, const LinePredicate& wanted, bool callsOnly) const {
    std::set<const FunctionDefinition*> seen{&start};
    std::deque<const FunctionDefinition*> queue{&start};
    while (!queue.empty()) {
        const FunctionDefinition* next = queue.front();
        queue.pop_front();
        for (const ScriptLine& line : next->lines)
            if (wanted(line)) return {next, &line};
        for (const CallSite& site : sitesIn(*next))
            if (site.to && !(callsOnly && site.jump) && seen.insert(site.to).second) queue.push_back(site.to);
    }
    return {};
}

}  // namespace kiro::check
