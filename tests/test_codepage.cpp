#include "base/codepage.h"

#include <gtest/gtest.h>

using namespace lumvik;

TEST(Codepage, AsciiPassesThroughUnchanged) {
    const std::string ascii = "C:\\POS\\DATA.GDB ;=[]\r\n";
    EXPECT_EQ(cp950::toUtf8(ascii), ascii);
    EXPECT_EQ(cp950::fromUtf8(ascii), ascii);
}

TEST(Codepage, ChineseAndUserDefinedCharactersRoundTrip) {
    EXPECT_EQ(cp950::fromUtf8("銷"), "\xBE\x50");
    EXPECT_EQ(cp950::toUtf8("\xBE\x50"), "銷");
    // User-defined characters land in the private use area where Windows puts them (U+E000, U+EEB8)
    // and must come back byte for byte.
    const std::pair<std::string, std::string> userDefined[] = {
        {"\xFA\x40", "\uE000"}, {"\x81\x40", "\uEEB8"}, {"A\xFA\x40\xBE\x50z", "A\uE000銷z"}};
    for (const auto& [bytes, utf8] : userDefined) {
        EXPECT_EQ(cp950::toUtf8(bytes), utf8);
        EXPECT_EQ(cp950::fromUtf8(utf8), bytes);
    }
    EXPECT_EQ(cp950::fromUtf8("\xF0\x9F\x98\x80"), "?");  // an emoji has no place in the code page
}

TEST(Codepage, WidthsCountChineseCharactersAsTwoBytes) {
    EXPECT_EQ(cp950::byteWidth(""), 0u);
    EXPECT_EQ(cp950::byteWidth("ab"), 2u);
    EXPECT_EQ(cp950::byteWidth("銷貨A"), 5u);

    const std::tuple<const char*, std::size_t, const char*> fits[] = {
        {"ab銷c", 3, "ab "},  // the character would be split: cut before it, blank in its place
        {"ab銷c", 4, "ab銷"}, {"ab銷c", 5, "ab銷c"}, {"ab", 5, "ab   "}, {"銷", 1, " "}, {"銷", 0, ""},
    };
    for (const auto& [utf8, width, expected] : fits) {
        SCOPED_TRACE(std::string(utf8) + " in " + std::to_string(width));
        EXPECT_EQ(cp950::fitToBytes(utf8, width), expected);
        EXPECT_EQ(cp950::byteWidth(cp950::fitToBytes(utf8, width)), width);
    }
}
