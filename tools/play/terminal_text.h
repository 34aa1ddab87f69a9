// What kiro-play lets through to the terminal: game text may hold control
// characters (an ESC sequence in a save description, a stray BEL), and a
// terminal would obey them. Every control character except the line end and
// the tab is shown as a visible placeholder instead.
#pragma once

#include <string>
#include <string_view>

namespace kiro {

// UTF-8 text with its control characters made visible: C0 controls become
// the control pictures U+2400 + c, DEL becomes U+2421, and C1 controls
// (U+0080-U+009F) become '?', what the converter shows for a byte that
// CP932 does not decode (so a byte such as 0x80 looks the same whichever
// table the C library's CP932 uses). LF, tab and a CR directly before an LF
// stay; a CR at the very end is shown as a placeholder.
inline std::string showControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool next80to9F = i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                                static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if (c == '\n' || c == '\t' || (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')) {
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += "\xE2\x90";
            out += static_cast<char>(0x80 + c);
        } else if (c == 0x7F) {
            out += "\xE2\x90\xA1";
        } else if (c == 0xC2 && next80to9F) {
            out += '?';
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Applies showControls to a stream of converted chunks. A CR that ends a
// chunk waits for the next one, which decides whether it ends a line.
class TerminalText {
public:
    std::string feed(std::string_view utf8, bool final = false) {
        held_.append(utf8);
        std::string_view ready = held_;
        if (!final && ready.ends_with('\r')) ready.remove_suffix(1);
        std::string out = showControls(ready);
        held_.erase(0, ready.size());
        return out;
    }

private:
    std::string held_;
};

}  // namespace kiro
