// kiro-check's UTF-8 output: the tools' shared conversion, with control
// bytes escaped.
#include "utf8_text.h"

#include <cstdio>

#include "cp932.h"

namespace kiro::check {
namespace {

// A stray carriage return or other control byte inside a script line would
// break the one-finding-per-line output.
std::string escapeControls(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", u);
            out += esc;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string utf8Of(std::string_view sjisBytes) { return escapeControls(text::utf8Of(sjisBytes)); }

}  // namespace kiro::check
