// The tools' system calls on Windows, and their conversions between CP932
// and UTF-8 with the system's code page functions, character by character
// so that they stop where iconv would: at the first byte that is not part of
// a valid character, or at a character the target cannot hold.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string_view>

#include "cp932.h"
#include "system.h"

namespace kiro::text {
namespace {

constexpr UINT kShiftJis = 932;

enum class Direction { kToUtf8, kToShiftJis };

Direction directionOf(void* cd) { return *static_cast<const Direction*>(cd); }

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool isTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

void appendUtf8(std::string& out, const wchar_t* units, int count) {
    char buf[16];
    const int length = WideCharToMultiByte(CP_UTF8, 0, units, count, buf, sizeof buf, nullptr, nullptr);
    out.append(buf, static_cast<std::size_t>(length > 0 ? length : 0));
}

// One CP932 character at the start of `in` (not empty) as UTF-8; the bytes
// it took, or 0 with `stop` set.
std::size_t decodeOne(std::string_view in, std::string& out, Iconv::Stop& stop) {
    const auto lead = static_cast<unsigned char>(in[0]);
    if (lead < 0x80) {
        out += in[0];
        return 1;
    }
    std::size_t length = lead >= 0xA1 && lead <= 0xDF ? 1 : isLeadByte(lead) ? 2 : 0;
    if (length == 2 && in.size() < 2) {
        stop = Iconv::Stop::Incomplete;
        return 0;
    }
    wchar_t units[2];
    const int count = length == 0 || (length == 2 && !isTrailByte(static_cast<unsigned char>(in[1])))
                          ? 0
                          : MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(length),
                                                units, 2);
    if (count <= 0) {
        stop = Iconv::Stop::Invalid;
        return 0;
    }
    appendUtf8(out, units, count);
    return length;
}

// Whether `in` is the beginning of a UTF-8 sequence that more bytes could
// complete.
bool cutUtf8(std::string_view in) {
    const auto lead = static_cast<unsigned char>(in[0]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || in.size() >= length) return false;
    for (std::size_t i = 1; i < in.size(); ++i)
        if ((static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) return false;
    return true;
}

// Characters the system's CP932 table leaves out but iconv's CP932 writes,
// for their JIS meaning: the conversion takes them on every system.
struct ExtraCharacter {
    wchar_t unit;
    const char* bytes;
};
constexpr ExtraCharacter kExtraCharacters[] = {
    {L'\u00A2', "\x81\x91"}, {L'\u00A3', "\x81\x92"}, {L'\u00A5', "\x5C"},     {L'\u00AC', "\x81\xCA"},
    {L'\u2014', "\x81\x5C"}, {L'\u2016', "\x81\x61"}, {L'\u203E', "\x7E"},     {L'\u2212', "\x81\x7C"},
    {L'\u301C', "\x81\x60"},
};

const char* extraCharacter(const wchar_t* units, int count) {
    if (count != 1) return nullptr;
    for (const ExtraCharacter& extra : kExtraCharacters)
        if (extra.unit == units[0]) return extra.bytes;
    return nullptr;
}

// One UTF-8 character at the start of `in` (not empty) as CP932.
std::size_t encodeOne(std::string_view in, std::string& out, Iconv::Stop& stop) {
    if (static_cast<unsigned char>(in[0]) < 0x80) {
        out += in[0];
        return 1;
    }
    const std::size_t length = utf8SequenceLength(in);
    if (length == 0) {
        stop = cutUtf8(in) ? Iconv::Stop::Incomplete : Iconv::Stop::Invalid;
        return 0;
    }
    wchar_t units[2];
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(length), units, 2);
    if (const char* extra = count > 0 ? extraCharacter(units, count) : nullptr) {
        out += extra;
        return length;
    }
    char bytes[4];
    BOOL lossy = FALSE;
    const int written = count <= 0 ? 0
                                   : WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, units, count, bytes,
                                                         sizeof bytes, nullptr, &lossy);
    if (written <= 0 || lossy) {
        stop = Iconv::Stop::Invalid;
        return 0;
    }
    out.append(bytes, static_cast<std::size_t>(written));
    return length;
}

}  // namespace

Iconv::Iconv(const char* to, const char* from) {
    const std::string_view target = to, source = from;
    if (target == "UTF-8" && source == "CP932") cd_ = new Direction(Direction::kToUtf8);
    if (target == "CP932" && source == "UTF-8") cd_ = new Direction(Direction::kToShiftJis);
}

Iconv::~Iconv() { delete static_cast<Direction*>(cd_); }

void Iconv::reset() {}  // no state is kept between characters

Iconv::Stop Iconv::convert(std::string_view& in, std::string& out) {
    const auto one = directionOf(cd_) == Direction::kToUtf8 ? decodeOne : encodeOne;
    Stop stop = Stop::Done;
    while (!in.empty()) {
        const std::size_t taken = one(in, out, stop);
        if (taken == 0) break;
        in.remove_prefix(taken);
    }
    return stop;
}

std::filesystem::path makeTemporaryFolder(const std::filesystem::path& parent, const std::string& prefix) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long mixed =
            GetTickCount64() * 2654435761ull ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^ ++counter;
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06llx", mixed & 0xFFFFFF);
        const std::filesystem::path folder = parent / (prefix + suffix);
        // CreateDirectory fails on a name already taken, so the folder is ours.
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

// A folder made by CreateDirectory already inherits the parent's access.
void allowLikeANewFolder(const std::filesystem::path&) {}

bool renameFolder(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

bool exchangeFolders(const std::filesystem::path&, const std::filesystem::path&) { return false; }

}  // namespace kiro::text
