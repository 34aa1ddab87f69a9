// Getting a line's form (ScriptLine::form): the parsed shape of its argument
// that an instruction makes on the line's first run and reuses afterwards.
// Making a form never fails; whatever could fail happens when it is used,
// exactly when the text would have failed.
#pragma once

#include <memory>

#include "script/expression_code.h"
#include "script/script_program.h"

namespace kiro {

template <typename Form>
inline constexpr char kFormKind = 0;  // its address tells the kinds apart

// The line's form of kind Form, made from the line (Form(const ScriptLine&))
// when it has none of that kind yet.
template <typename Form>
Form& formOf(const ScriptLine& line) {
    LineForm* form = line.form.get();
    if (!form || form->kind != &kFormKind<Form>) {
        auto made = std::make_unique<Form>(line);
        made->kind = &kFormKind<Form>;
        form = made.get();
        line.form.set(std::move(made));
    }
    return static_cast<Form&>(*form);
}

// The form of a line whose argument is one integer expression.
struct ExpressionForm : LineForm {
    explicit ExpressionForm(const ScriptLine& line) : expression(line.argument) {}
    Expression expression;
};

}  // namespace kiro
