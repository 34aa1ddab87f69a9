// The tools' system calls on POSIX systems, and their conversions with the
// C library's iconv.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cp932.h"
#include "system.h"

namespace kiro::text {
namespace {

iconv_t descriptor(void* cd) { return static_cast<iconv_t>(cd); }

}  // namespace

Iconv::Iconv(const char* to, const char* from) {
    const iconv_t cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1)) cd_ = cd;
}

Iconv::~Iconv() {
    if (ok()) iconv_close(descriptor(cd_));
}

void Iconv::reset() { iconv(descriptor(cd_), nullptr, nullptr, nullptr, nullptr); }

Iconv::Stop Iconv::convert(std::string_view& in, std::string& out) {
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buf[8192];
    Stop stop = Stop::Done;
    while (left > 0) {
        char* dst = buf;
        std::size_t room = sizeof buf;
        std::size_t r = iconv(descriptor(cd_), &src, &left, &dst, &room);
        out.append(buf, dst);
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        stop = errno == EINVAL ? Stop::Incomplete : Stop::Invalid;
        break;
    }
    in = std::string_view(src, left);
    return stop;
}

std::filesystem::path makeTemporaryFolder(const std::filesystem::path& parent, const std::string& prefix) {
    std::string pattern = (parent / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

void allowLikeANewFolder(const std::filesystem::path& folder) {
    const mode_t mask = umask(0);
    umask(mask);
    chmod(folder.c_str(), 0777 & ~mask);
}

bool renameFolder(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool exchangeFolders(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0;
}

}  // namespace kiro::text
