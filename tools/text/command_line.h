// What every tool does with --help and --version: the usage or the version
// on standard output and exit status 0.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "kiro_version.h"

namespace kiro::text {

inline void print(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

// The exit status when the only argument is --help (or -h) or --version.
inline std::optional<int> answerStandardOption(int argc, char** argv, std::string_view tool, std::string_view help) {
    if (argc != 2) return std::nullopt;
    const std::string_view option = argv[1];
    if (option == "--help" || option == "-h") {
        print(stdout, help);
        return 0;
    }
    if (option == "--version") {
        print(stdout, std::string(tool) + " " + KIRO_VERSION + "\n");
        return 0;
    }
    return std::nullopt;
}

// The usage line on standard error, for a call that cannot be understood.
inline int usageError(std::string_view tool, std::string_view usage) {
    print(stderr, std::string(usage) + "   (" + std::string(tool) + " --help for more)\n");
    return 2;
}

}  // namespace kiro::text
