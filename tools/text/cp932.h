// The one place where the tools and tests convert between the engine's
// Shift-JIS (CP932) bytes and UTF-8: with the C library's iconv on POSIX
// systems, with the system's code page functions on Windows
// (system_posix.cpp, system_windows.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiro::text {

// A conversion descriptor between "CP932" and "UTF-8", closed with its
// owner. Strict both ways: a byte that is not part of a valid character,
// and a character the target cannot hold, stop the conversion.
class Iconv {
public:
    Iconv(const char* to, const char* from);
    ~Iconv();
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != nullptr; }

    enum class Stop { Done, Invalid, Incomplete };
    // Converts as much of `in` as it can, appending to `out`; `in` is left at
    // the first byte not converted.
    Stop convert(std::string_view& in, std::string& out);
    void reset();

private:
    void* cd_ = nullptr;
};

// True when this system can convert CP932 both ways.
bool cp932Available();

// CP932 to UTF-8. A byte that is not part of a valid character becomes \xNN.
std::string utf8Of(std::string_view sjisBytes);

// UTF-8 to CP932; nothing when a character has no Shift-JIS form or the
// text is not valid UTF-8.
std::optional<std::string> sjisOf(std::string_view utf8Text);

// A character of a UTF-8 text that has no Shift-JIS form (or a byte that
// is not UTF-8 at all), with its 1-based line and column (in characters).
struct Unconvertible {
    int line = 0;
    int column = 0;
    std::string character;  // the UTF-8 character, or "\xNN" for a stray byte
};

// UTF-8 to CP932, collecting every character that cannot be converted; a
// leading byte-order mark is dropped. The result is whole only when
// `unconvertible` stays empty.
std::string sjisOfText(std::string_view utf8Text, std::vector<Unconvertible>& unconvertible);

// "U+1F600 '😀'" for a message.
std::string describeCharacter(std::string_view utf8Character);

// The byte length of the UTF-8 sequence at the start of `bytes`, or 0 when
// it is not a complete, valid one.
std::size_t utf8SequenceLength(std::string_view bytes);

// How a file's bytes read.
enum class Encoding {
    Ascii,     // no byte above 0x7F
    Utf8,      // valid UTF-8, not valid CP932
    ShiftJis,  // valid CP932, not valid UTF-8
    Either,    // valid both ways (rare outside very short texts)
    Neither,
};
Encoding judgeEncoding(std::string_view bytes);

// Converts a byte stream chunk by chunk. A character cut at the end of a
// chunk is kept for the next chunk. A byte that is not part of a valid
// character becomes `replacement`; so does each whole UTF-8 character that
// the target cannot hold (once per character, not once per byte).
class StreamConverter {
public:
    StreamConverter(const char* to, const char* from, char replacement = '?')
        : iconv_(to, from), fromUtf8_(std::string_view(from) == "UTF-8"), replacement_(replacement) {}
    bool ok() const { return iconv_.ok(); }
    std::string feed(const char* data, std::size_t size, bool final = false);

private:
    Iconv iconv_;
    bool fromUtf8_;
    char replacement_;
    std::string pending_;
};

}  // namespace kiro::text
