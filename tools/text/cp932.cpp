// Conversions between CP932 and UTF-8.
#include "cp932.h"

#include <cstdio>

namespace kiro::text {

bool cp932Available() {
    return Iconv("CP932", "UTF-8").ok() && Iconv("UTF-8", "CP932").ok();
}

namespace {

void appendEscaped(std::string& out, char c) {
    char esc[8];
    std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned char>(c));
    out += esc;
}

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::size_t utf8SequenceLength(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) return 1;
    std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if (!continuation(b(i))) return 0;
    // No overlong forms, no surrogates, nothing above U+10FFFF.
    if ((lead == 0xE0 && b(1) < 0xA0) || (lead == 0xED && b(1) > 0x9F) || (lead == 0xF0 && b(1) < 0x90) ||
        (lead == 0xF4 && b(1) > 0x8F))
        return 0;
    return length;
}

std::string utf8Of(std::string_view sjisBytes) {
    static Iconv decoder("UTF-8", "CP932");
    std::string out;
    if (!decoder.ok()) {
        for (char c : sjisBytes) {
            if (static_cast<unsigned char>(c) < 0x80) out += c;
            else appendEscaped(out, c);
        }
        return out;
    }
    while (decoder.convert(sjisBytes, out) != Iconv::Stop::Done) {
        appendEscaped(out, sjisBytes.front());  // invalid, or a lead byte cut off at the end
        sjisBytes.remove_prefix(1);
    }
    decoder.reset();
    return out;
}

std::optional<std::string> sjisOf(std::string_view utf8Text) {
    Iconv encoder("CP932", "UTF-8");
    std::string out;
    if (!encoder.ok() || encoder.convert(utf8Text, out) != Iconv::Stop::Done) return std::nullopt;
    return out;
}

namespace {

// Walks a text forward, keeping the line and column of a position.
class Position {
public:
    explicit Position(std::string_view text) : text_(text) {}
    void advanceTo(std::size_t offset) {
        while (at_ < offset) {
            if (text_[at_] == '\n') {
                ++line_;
                column_ = 1;
            } else if (!continuation(static_cast<unsigned char>(text_[at_]))) {
                ++column_;
            }
            ++at_;
        }
    }
    int line() const { return line_; }
    int column() const { return column_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    int line_ = 1, column_ = 1;
};

}  // namespace

std::string sjisOfText(std::string_view utf8Text, std::vector<Unconvertible>& unconvertible) {
    if (utf8Text.starts_with("\xEF\xBB\xBF")) utf8Text.remove_prefix(3);
    Iconv encoder("CP932", "UTF-8");
    std::string out;
    if (!encoder.ok()) {
        unconvertible.push_back({1, 1, "(this system cannot convert to CP932)"});
        return out;
    }
    Position position(utf8Text);
    std::string_view rest = utf8Text;
    while (encoder.convert(rest, out) != Iconv::Stop::Done) {
        position.advanceTo(static_cast<std::size_t>(rest.data() - utf8Text.data()));
        std::size_t length = utf8SequenceLength(rest);
        std::string character;
        if (length == 0) appendEscaped(character, rest.front());
        else character = std::string(rest.substr(0, length));
        unconvertible.push_back({position.line(), position.column(), character});
        rest.remove_prefix(length == 0 ? 1 : length);
        encoder.reset();
    }
    return out;
}

std::string describeCharacter(std::string_view utf8Character) {
    std::size_t length = utf8SequenceLength(utf8Character);
    if (length == 0 || length != utf8Character.size()) return "the byte " + std::string(utf8Character) + " (not UTF-8)";
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(utf8Character[i]); };
    char32_t code = length == 1 ? b(0) : b(0) & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (b(i) & 0x3F);
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
    return std::string(name) + " '" + std::string(utf8Character) + "'";
}

Encoding judgeEncoding(std::string_view bytes) {
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return Encoding::Ascii;
    bool utf8 = true;
    for (std::string_view rest = bytes; utf8 && !rest.empty();) {
        std::size_t length = utf8SequenceLength(rest);
        utf8 = length > 0;
        rest.remove_prefix(utf8 ? length : rest.size());
    }
    Iconv decoder("UTF-8", "CP932");
    std::string ignored;
    bool sjis = decoder.ok() && decoder.convert(bytes, ignored) == Iconv::Stop::Done;
    if (utf8 && sjis) return Encoding::Either;
    if (utf8) return Encoding::Utf8;
    if (sjis) return Encoding::ShiftJis;
    return Encoding::Neither;
}

std::string StreamConverter::feed(const char* data, std::size_t size, bool final) {
    pending_.append(data, size);
    std::string out;
    std::string_view rest = pending_;
    for (;;) {
        Iconv::Stop stop = iconv_.convert(rest, out);
        if (stop == Iconv::Stop::Done || (stop == Iconv::Stop::Incomplete && !final)) break;
        // An invalid byte, a cut-off character at the very end, or a whole
        // character the target cannot hold: one replacement either way.
        std::size_t length = fromUtf8_ ? utf8SequenceLength(rest) : 0;
        out += replacement_;
        rest.remove_prefix(length == 0 ? 1 : length);
        iconv_.reset();
    }
    pending_.erase(0, pending_.size() - rest.size());
    return out;
}

}  // namespace kiro::text
