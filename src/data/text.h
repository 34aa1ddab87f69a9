// Byte-text helpers shared by the loaders, the evaluator and the
// instructions: blanks, Shift-JIS lead bytes, upper-casing and the decimal
// conversions the language uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiro {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A Shift-JIS lead byte takes the following byte with it.
constexpr bool isLeadByte(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

// Removes leading and trailing spaces and tabs (nothing else is blank).
std::string_view trimBlanks(std::string_view text);

// a-z become A-Z, every byte, also inside double-byte characters.
std::string upperCased(std::string_view text);
void upperCaseInPlace(std::string& text);

// Position of the first `c` that is not the second byte of a double-byte
// character, searching from `from`; npos when there is none.
std::size_t findSingleByte(std::string_view text, char c, std::size_t from = 0);

// The language's decimal conversion: leading blanks, optional sign, digits
// accumulated modulo 2^32, stopping at the first non-digit; no digits is 0.
std::int32_t decimalValue(std::string_view text);

// The C library's string-to-long reading with a 32-bit long: white space,
// sign, digits; beyond the 32-bit range it saturates. Used for data-file
// fields and save-file lines.
std::int32_t saturatingValue(std::string_view text);

// A number written in decimal, "-" before negative values.
std::string decimalText(std::int32_t value);

}  // namespace kiro
