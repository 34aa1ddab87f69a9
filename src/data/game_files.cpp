// Directory listing and file reading for the loaders.
#include "data/game_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace kiro {
namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view ext) {
    if (name.size() < ext.size()) return false;
    std::string_view tail = name.substr(name.size() - ext.size());
    for (std::size_t i = 0; i < ext.size(); ++i) {
        char a = tail[i], b = ext[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> listGameFiles(const std::string& folder, std::string_view extension) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return names;
    while (dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (!endsWithIgnoringCase(name, extension)) continue;
        struct stat st;
        std::string path = folder + "/" + std::string(name);
        // A name that cannot be examined is still listed, so that opening it
        // reports the failure; only directories are left out.
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    struct stat st;
    if (fstat(fileno(f.get()), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    bytes.clear();
    if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, n);
    return !std::ferror(f.get());
}

bool LineReader::next(std::string_view& line) {
    std::size_t nl = bytes_.find('\n', pos_);
    if (nl == std::string_view::npos) return false;
    std::size_t end = nl;
    if (end > pos_ && bytes_[end - 1] == '\r') --end;
    line = bytes_.substr(pos_, end - pos_);
    pos_ = nl + 1;
    ++lineNumber_;
    return true;
}

}  // namespace kiro
