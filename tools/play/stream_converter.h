// Chunk-by-chunk conversion between the engine's Shift-JIS and the
// terminal's UTF-8, for kiro-play.
#pragma once

#include <iconv.h>

#include <cerrno>
#include <string>

namespace kiro {

// Converts a byte stream chunk by chunk. A character cut at the end of a
// chunk (a lead byte without its second byte, or a partial UTF-8 sequence) is
// kept for the next chunk; a byte that cannot be converted becomes '?'.
class StreamConverter {
public:
    StreamConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~StreamConverter() {
        if (ok()) iconv_close(cd_);
    }
    StreamConverter(const StreamConverter&) = delete;
    StreamConverter& operator=(const StreamConverter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::string feed(const char* data, std::size_t size, bool final = false) {
        pending_.append(data, size);
        std::string out;
        char* in = pending_.data();
        std::size_t left = pending_.size();
        char buf[8192];
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            std::size_t r = iconv(cd_, &in, &left, &dst, &room);
            out.append(buf, dst);
            if (r != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            if (errno == EINVAL && !final) break;  // incomplete character: wait for more
            out += '?';                            // invalid byte, or cut off at the very end
            ++in;
            --left;
        }
        pending_.erase(0, pending_.size() - left);
        return out;
    }

private:
    iconv_t cd_;
    std::string pending_;
};

}  // namespace kiro
