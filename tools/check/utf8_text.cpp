// Conversion with the C library's iconv; one converter for the whole run,
// since a large game converts tens of thousands of texts.
#include "utf8_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

namespace kiro::check {
namespace {

class Cp932Decoder {
public:
    Cp932Decoder() : cd_(iconv_open("UTF-8", "CP932")) {}
    ~Cp932Decoder() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::string decode(std::string_view in) {
        std::string out;
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char buf[4096];
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buf, dst);
            if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            escapeByte(out, *src);  // invalid, or a lead byte cut off at the end
            ++src;
            --left;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return out;
    }

    // Without a converter every byte above 0x7F is escaped.
    static std::string escapeAll(std::string_view in) {
        std::string out;
        for (char c : in) {
            if (static_cast<unsigned char>(c) < 0x80) out += c;
            else escapeByte(out, c);
        }
        return out;
    }

private:
    static void escapeByte(std::string& out, char c) {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned char>(c));
        out += esc;
    }

    iconv_t cd_;
};

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

std::string utf8Of(std::string_view sjisBytes) {
    static Cp932Decoder decoder;
    std::string text = decoder.ok() ? decoder.decode(sjisBytes) : Cp932Decoder::escapeAll(sjisBytes);
    return escapeControls(text);
}

}  // namespace kiro::check
