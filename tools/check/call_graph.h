// Who runs which function: every CALL and JUMP of a game with the
// definition it reaches, and the names the engine itself calls. The flow
// checks follow it to see what a called function does while its caller
// waits.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "script/script_program.h"

namespace kiro::check {

struct CallSite {
    const FunctionDefinition* from = nullptr;
    const ScriptLine* line = nullptr;
    const FunctionDefinition* to = nullptr;  // null when no function has the name
    bool jump = false;                       // JUMP rather than CALL
};

class CallGraph {
public:
    explicit CallGraph(const ScriptProgram& program);

    const std::vector<CallSite>& sitesIn(const FunctionDefinition& definition) const;
    // Whether a CALL or JUMP names this exact text.
    bool named(std::string_view name) const { return named_.contains(name); }
    // The CALL through which `definition` runs on a called executor
    // (directly, or inside a function a CALL runs), or null if none does.
    const CallSite* calledThrough(const FunctionDefinition& definition) const;

    using LinePredicate = std::function<bool(const ScriptLine&)>;
    // The first line satisfying `wanted` in `start` or in what it runs, and
    // the definition holding it. `callsOnly` follows CALLs only (a JUMP in a
    // called function does not run).
    struct Hit {
        const FunctionDefinition* definition = nullptr;
        const ScriptLine* line = nullptr;
    };
    Hit find(const FunctionDefinition& start, const LinePredicate& wanted, bool callsOnly) const;

private:
    std::map<const FunctionDefinition*, std::vector<CallSite>> sites_;
    std::map<const FunctionDefinition*, CallSite> calledThrough_;
    std::set<std::string, std::less<>> named_;
};

// Names the engine runs by itself: the events, the fixed entry points and
// the numbered ones (COM3, COM_ABLE3, ABLUP3).
bool isEngineEntryPoint(std::string_view name);

}  // namespace kiro::check
