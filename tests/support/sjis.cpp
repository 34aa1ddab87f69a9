// The tests' conversions, through the tools' shared one.
#include "support/sjis.h"

#include <stdexcept>

#include "cp932.h"

namespace kiro::test {

std::string sjis(std::string_view utf8Text) {
    std::optional<std::string> bytes = text::sjisOf(utf8Text);
    if (!bytes) throw std::runtime_error("text cannot be converted: " + std::string(utf8Text));
    return *bytes;
}

std::string utf8(std::string_view sjisBytes) { return text::utf8Of(sjisBytes); }

}  // namespace kiro::test
