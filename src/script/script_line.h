// One classified line of a script, and the form an instruction keeps on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace kiro {

// Codes a ScriptLine can carry besides the instruction codes 0-54.
inline constexpr std::int32_t kNoOp = -1;
inline constexpr std::int32_t kIntAssign = 10000;  // + AssignKind (0-7)
inline constexpr std::int32_t kStrAssign = 11000;

enum AttributeCode : std::int32_t { kSingle = 0, kPri = 1, kLater = 2 };

// What an instruction has worked out from its line's text the first time it
// ran (parsed expressions, a call's function), kept with the line so that
// later runs start from it. Each instruction defines its own kind; see
// line_form.h.
struct LineForm {
    virtual ~LineForm() = default;
    const void* kind = nullptr;  // which kind of form this is
};

// Holds a line's LineForm. Copying a line does not copy the form: the copy
// works it out again when it first runs.
class LineFormSlot {
public:
    LineFormSlot() = default;
    LineFormSlot(const LineFormSlot&) {}
    LineFormSlot& operator=(const LineFormSlot&) {
        form_.reset();
        return *this;
    }
    LineFormSlot(LineFormSlot&&) noexcept = default;
    LineFormSlot& operator=(LineFormSlot&&) noexcept = default;

    LineForm* get() const { return form_.get(); }
    void set(std::unique_ptr<LineForm> form) { form_ = std::move(form); }

private:
    std::unique_ptr<LineForm> form_;
};

// The texts are views into bytes the ScriptProgram keeps. They must not
// change once the line has run: its form was made from them.
struct ScriptLine {
    std::int32_t lineNumber = 0;
    std::int32_t code = kNoOp;
    std::string_view text;         // statement text from its first non-blank byte (after a '?')
    std::string_view argument;     // see the loader: instruction argument, assignment right-hand side, label name
    std::string_view target;       // assignments: variable name, upper-cased
    std::string_view targetIndex;  // assignments: text after the first ':' of the target word, upper-cased
    // Variable code of `target`, resolved at load time (-1 when not an assignment).
    std::int32_t targetCode = -1;
    mutable LineFormSlot form;     // filled by the instruction on its first run
};

}  // namespace kiro
