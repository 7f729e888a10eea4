#pragma once

// Texts inside the program are UTF-8; the databases, LOC_IP.TXT, 123.TXT and the settings file hold
// Windows code page 950 (Big5 with Microsoft's extensions) bytes. These two functions are the only
// crossing between the two.

#include <string>
#include <string_view>

namespace lumvik::cp950 {

// Code page 950 bytes to UTF-8. User-defined characters (for example FA 40) map to the private use
// area the way Windows maps them, so they come back unchanged through fromUtf8. A byte that is part
// of no character of the code page (half a character left by a cut, a lone lead byte) becomes one
// code point of U+F850..U+F8CF, which the code page leaves unmapped, and fromUtf8 turns it back into
// the same byte: texts pass from one database to the other unchanged.
[[nodiscard]] std::string toUtf8(std::string_view bytes);

// UTF-8 to code page 950 bytes. A character the code page lacks becomes "?".
[[nodiscard]] std::string fromUtf8(std::string_view utf8);

// Width of a UTF-8 text in code page 950 bytes: a Chinese character counts two.
[[nodiscard]] std::size_t byteWidth(std::string_view utf8);

// The first `width` code page 950 bytes of a UTF-8 text, padded with blanks to exactly `width`
// bytes. A double-byte character that would be split is left out and replaced by a blank, so the
// result never holds half a character.
[[nodiscard]] std::string fitToBytes(std::string_view utf8, std::size_t width);

// At most the first `width` code page 950 bytes of a UTF-8 text, never half a character.
[[nodiscard]] std::string leftBytes(std::string_view utf8, std::size_t width);

}  // namespace lumvik::cp950
