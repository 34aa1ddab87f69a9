#include "script/trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "script/script_line.h"
#include "script/script_program.h"

namespace kiro {
namespace {

constexpr std::size_t kTraceBuffer = 1 << 16;

void writePlace(const FunctionDefinition& function, std::int32_t line) {
    std::fputs(function.sourceFile.c_str(), traceFile);
    std::fprintf(traceFile, ":%d: ", static_cast<int>(line));
}

void writeBytes(std::string_view bytes) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), traceFile);
    std::fputc('\n', traceFile);
}

}  // namespace

std::string openTrace() {
    const char* path = std::getenv("KIRO_TRACE");
    if (!path) return {};
    traceFile = std::fopen(path, "ab");
    if (!traceFile) return "kiro: cannot open KIRO_TRACE file '" + std::string(path) + "': " + std::strerror(errno);
    // Fully buffered; the standard library flushes it at exit.
    std::setvbuf(traceFile, nullptr, _IOFBF, kTraceBuffer);
    return {};
}

void flushTrace() {
    if (traceFile) std::fflush(traceFile);
}

void traceStatement(const FunctionDefinition& function, const ScriptLine& line) {
    writePlace(function, line.lineNumber);
    writeBytes(line.text);
}

void traceEnter(const FunctionDefinition& function) {
    writePlace(function, function.headerLine);
    std::fputs("> ", traceFile);
    writeBytes(function.name);
}

void traceLeave(const FunctionDefinition& function) {
    writePlace(function, function.headerLine);
    std::fputs("< ", traceFile);
    writeBytes(function.name);
}

void traceError(const FunctionDefinition* function, std::int32_t line, std::string_view code) {
    if (function) writePlace(*function, line);
    std::fputs("error ", traceFile);
    writeBytes(code);
}

}  // namespace kiro
