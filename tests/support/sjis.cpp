// Conversions with the C library's iconv.
#include "support/sjis.h"

#include <iconv.h>

#include <cstdio>
#include <stdexcept>

namespace kiro::test {
namespace {

std::string convert(std::string_view in, const char* to, const char* from, bool lenient) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::string out;
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[4096];
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, dst);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            if (!lenient) {
                iconv_close(cd);
                throw std::runtime_error("text cannot be converted: " + std::string(in));
            }
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned char>(*src));
            out += esc;
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string sjis(std::string_view utf8Text) { return convert(utf8Text, "CP932", "UTF-8", false); }
std::string utf8(std::string_view sjisBytes) { return convert(sjisBytes, "UTF-8", "CP932", true); }

}  // namespace kiro::test
