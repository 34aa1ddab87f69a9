// The platform layer on Windows.
//
// Paths arrive as Shift-JIS bytes and go to the system's wide (UTF-16)
// functions converted with code page 932, whatever code page the machine
// itself uses, so a game's Japanese file names open everywhere; listed names
// come back converted the other way.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>

#include "platform/platform.h"

namespace kiro::platform {
namespace {

constexpr UINT kShiftJis = 932;
// One read or write call moves at most this much (the calls take 32 bits).
constexpr DWORD kMaxTransfer = DWORD{1} << 30;

std::wstring wide(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(kShiftJis, 0, bytes.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(kShiftJis, 0, bytes.data(), size, out.data(), length);
    return out;
}

// The Shift-JIS bytes of a system name; nothing when a character of it has
// no Shift-JIS form.
std::optional<std::string> shiftJisOf(const wchar_t* name) {
    const int size = static_cast<int>(wcslen(name));
    if (size == 0) return std::string();
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, name, size, nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return std::nullopt;
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, name, size, out.data(), length, nullptr, nullptr);
    return out;
}

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t keep(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle);
}

// The attributes of `path`, and the system's error when there are none
// (taken at once: freeing the converted name may change the last error).
DWORD attributesOf(const std::string& path, DWORD* error = nullptr) {
    const std::wstring name = wide(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (error) *error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
    return attributes;
}

bool isNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The errno value the loaders report for a folder that cannot be listed.
int listingError(const std::string& folder, DWORD error) {
    const DWORD attributes = attributesOf(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ENOTDIR;
    if (isNotFound(error)) return ENOENT;
    if (error == ERROR_ACCESS_DENIED) return EACCES;
    return EIO;
}

EntryKind kindOfAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::kSpecial;
    return EntryKind::kRegular;
}

// Calls `each` with every entry of `folder` but "." and "..", as the
// system names it. False with the system's error when it cannot be listed.
template <typename Each>
bool forEachEntry(const std::string& folder, DWORD& error, Each each) {
    WIN32_FIND_DATAW data;
    const std::wstring pattern = wide(folder + "/*");
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    do {
        const std::wstring_view name = data.cFileName;
        if (name != L"." && name != L"..") each(data);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

// A name for the lock of one folder, the same for every process that
// reaches the folder by whatever path: its final path, case folded, hashed.
std::wstring lockName(HANDLE folder) {
    wchar_t path[32768];
    const DWORD length = GetFinalPathNameByHandleW(folder, path, static_cast<DWORD>(std::size(path)), 0);
    if (length == 0 || length >= std::size(path)) return {};
    CharUpperBuffW(path, length);
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (DWORD i = 0; i < length; ++i) hash = (hash ^ static_cast<std::uint16_t>(path[i])) * 1099511628211ull;
    wchar_t name[64];
    swprintf(name, std::size(name), L"Local\\kiro-save-folder-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

int listFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    DWORD error = 0;
    const bool listed = forEachEntry(folder, error, [&](const WIN32_FIND_DATAW& data) {
        // A name without a Shift-JIS form is listed as the engine would
        // write it, so that opening it fails and says which file it is.
        std::optional<std::string> name = shiftJisOf(data.cFileName);
        if (!name) {
            int length = WideCharToMultiByte(kShiftJis, 0, data.cFileName, -1, nullptr, 0, nullptr, nullptr);
            name = std::string(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
            WideCharToMultiByte(kShiftJis, 0, data.cFileName, -1, name->data(), length, nullptr, nullptr);
            entries.push_back(FolderEntry{std::move(*name), EntryKind::kUnknown});
            return;
        }
        entries.push_back(FolderEntry{std::move(*name), kindOfAttributes(data.dwFileAttributes)});
    });
    return listed ? 0 : listingError(folder, error);
}

bool entryExists(const std::string& path) {
    DWORD error = 0;
    return attributesOf(path, &error) != INVALID_FILE_ATTRIBUTES || !isNotFound(error);
}

InputFile::~InputFile() {
    if (handle_ != -1) CloseHandle(handleOf(handle_));
}

// Shared for writing and deleting, so a save may replace a file that is
// being read. Only a disk file is read: a device name (CON, NUL) opens as
// a character device and is refused before any read.
InputFile::Opened InputFile::open(const std::string& path) {
    const std::wstring name = wide(path);
    handle_ = keep(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (handle_ == -1) {
        const DWORD attributes = GetFileAttributesW(name.c_str());
        const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        return folder ? Opened::kNotRegular : Opened::kFailed;
    }
    if (GetFileType(handleOf(handle_)) != FILE_TYPE_DISK) return Opened::kNotRegular;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handleOf(handle_), &size)) return Opened::kFailed;
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return Opened::kYes;
}

std::int64_t InputFile::read(char* into, std::size_t room) {
    DWORD got = 0;
    const DWORD want = room < kMaxTransfer ? static_cast<DWORD>(room) : kMaxTransfer;
    if (!ReadFile(handleOf(handle_), into, want, &got, nullptr)) return -1;
    return got;
}

// A folder cannot be locked as a file can; the lock is a named mutex of the
// folder instead. The system hands a mutex whose owner died to the next
// waiter, so a killed save never blocks the next one either.
FolderLock::FolderLock(const std::string& folder)
    : folder_(folder),
      handle_(keep(CreateFileW(wide(folder).c_str(), FILE_LIST_DIRECTORY,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr))) {}

FolderLock::~FolderLock() {
    if (locked_) ReleaseMutex(handleOf(lock_));
    if (lock_ != -1) CloseHandle(handleOf(lock_));
    if (handle_ != -1) CloseHandle(handleOf(handle_));
}

bool FolderLock::lock(int patience) {
    const std::wstring name = lockName(handleOf(handle_));
    if (name.empty()) return false;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) return false;
    lock_ = reinterpret_cast<std::intptr_t>(mutex);
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(patience));
    locked_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return locked_;
}

// The rename itself is written through (replaceWith); nothing is left to do.
void FolderLock::sync() const {}

// A file still open by its writer (opened without sharing) is not removed.
void FolderLock::removeFiles(const std::function<bool(std::string_view name)>& chosen) const {
    DWORD error = 0;
    forEachEntry(folder_, error, [&](const WIN32_FIND_DATAW& data) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
        const std::optional<std::string> name = shiftJisOf(data.cFileName);
        if (name && chosen(*name)) DeleteFileW(wide(folder_ + "/" + *name).c_str());
    });
}

OutputFile::~OutputFile() { close(); }

// CREATE_NEW fails on any existing name, a link included.
OutputFile::Created OutputFile::create(const std::string& path) {
    const std::wstring name = wide(path);
    handle_ = keep(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle_ != -1) return Created::kYes;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::kNameTaken : Created::kFailed;
}

std::int64_t OutputFile::write(const char* bytes, std::size_t size) {
    DWORD done = 0;
    const DWORD want = size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer;
    if (!WriteFile(handleOf(handle_), bytes, want, &done, nullptr)) return -1;
    return done;
}

bool OutputFile::sync() { return FlushFileBuffers(handleOf(handle_)) != 0; }

bool OutputFile::close() {
    if (handle_ == -1) return true;
    HANDLE handle = handleOf(handle_);
    handle_ = -1;
    return CloseHandle(handle) != 0;
}

bool replaceWith(const std::string& from, const std::string& to) {
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeFile(const std::string& path) { DeleteFileW(wide(path).c_str()); }

// Write permission on a folder is a matter of its access list, which only
// the attempt tells: a folder that refuses the file fails the save there.
bool mayWriteFile(const std::string& path, const std::string& folder) {
    DWORD error = 0;
    const DWORD attributes = attributesOf(path, &error);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (kindOfAttributes(attributes) != EntryKind::kRegular || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    } else if (error != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    const DWORD folderAttributes = attributesOf(folder);
    return folderAttributes != INVALID_FILE_ATTRIBUTES && (folderAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint32_t processId() { return GetCurrentProcessId(); }

namespace {

// The console's code pages before the engine switched them, put back however
// the program ends: by returning, by exit(), or by the player closing the
// window or pressing Ctrl-C (the system then ends the process itself).
UINT savedInputCodePage = 0;
UINT savedOutputCodePage = 0;

void restoreCodePages() {
    if (savedInputCodePage != 0) SetConsoleCP(savedInputCodePage);
    if (savedOutputCodePage != 0) SetConsoleOutputCP(savedOutputCodePage);
}

BOOL WINAPI onConsoleEvent(DWORD) {
    restoreCodePages();
    return FALSE;  // and let the system end the process as it would have
}

}  // namespace

// Binary mode: the bytes read and written are exactly those of any other
// system (no CR added before a line feed, CR LF read as typed).
void prepareStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return;
    savedInputCodePage = GetConsoleCP();
    savedOutputCodePage = GetConsoleOutputCP();
    SetConsoleCP(kShiftJis);
    SetConsoleOutputCP(kShiftJis);
    std::atexit(restoreCodePages);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

// NUL is a character device like a console, but one without a console mode.
bool standardOutputUnwatched() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD type = GetFileType(out);
    DWORD mode;
    return type == FILE_TYPE_DISK || (type == FILE_TYPE_CHAR && !GetConsoleMode(out, &mode));
}

void writeStandardOutput(std::string_view bytes) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (!bytes.empty()) {
        DWORD done = 0;
        const DWORD want = bytes.size() < kMaxTransfer ? static_cast<DWORD>(bytes.size()) : kMaxTransfer;
        if (!WriteFile(out, bytes.data(), want, &done, nullptr) || done == 0) return;
        bytes.remove_prefix(done);
    }
}

int readInputByte(std::FILE* input) { return _getc_nolock(input); }

std::tm localTime(std::time_t when) {
    std::tm t{};
    localtime_s(&t, &when);
    return t;
}

void enterProgramFolderIfItHoldsTheGame(bool (*holdsGame)(const std::string& folder)) {
    if (holdsGame(".")) return;
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
        if (length == 0) return;
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    const std::size_t slash = program.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    wchar_t working[MAX_PATH * 4];
    const DWORD kept = GetCurrentDirectoryW(static_cast<DWORD>(std::size(working)), working);
    if (!SetCurrentDirectoryW(program.substr(0, slash + 1).c_str())) return;
    if (!holdsGame(".") && kept > 0 && kept < std::size(working)) SetCurrentDirectoryW(working);
}

}  // namespace kiro::platform
