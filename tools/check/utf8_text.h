// Shift-JIS bytes to the UTF-8 that kiro-check prints for editors.
#pragma once

#include <string>
#include <string_view>

namespace kiro::check {

// CP932 to UTF-8. A byte that is not part of a valid character is shown as
// \xNN, so a damaged script line still prints as readable, valid UTF-8.
std::string utf8Of(std::string_view sjisBytes);

}  // namespace kiro::check
