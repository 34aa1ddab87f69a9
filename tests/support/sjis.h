// Test helper: readable UTF-8 test texts to the Shift-JIS bytes the engine
// handles, and back for readable failure messages.
#pragma once

#include <string>
#include <string_view>

namespace kiro::test {

std::string sjis(std::string_view utf8);      // CP932 bytes; aborts the test on an unmappable text
std::string utf8(std::string_view sjisBytes);  // for messages; undecodable bytes as \xNN

}  // namespace kiro::test
