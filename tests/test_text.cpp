#include "base/json.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <limits>

using namespace lumvik;

TEST(Text, TrimmedDropsControlCharactersAndBlanksOnly) {
    EXPECT_EQ(text::trimmed(" \t\r\n a b \x01\x1f "), "a b");
    EXPECT_EQ(text::trimmed("   "), "");
    EXPECT_EQ(text::trimmed(" 銷 "), "銷");  // UTF-8 bytes above 127 are no blanks
}

TEST(Text, ParseDecimalAcceptsPlainNumbersOnly) {
    const std::pair<const char*, double> numbers[] = {
        {"12.5", 12.5}, {" -3 ", -3},      {".5", 0.5},        {"5.", 5},     {"+7", 7},
        {"1e3", 1000},  {"2.5E-2", 0.025}, {"\t0042\r\n", 42}, {"1e-400", 0},
    };
    for (const auto& [input, expected] : numbers) {
        SCOPED_TRACE(input);
        ASSERT_TRUE(text::tryParseDecimal(input).has_value());
        EXPECT_DOUBLE_EQ(*text::tryParseDecimal(input), expected);
    }
    for (const char* junk : {"", " ", "12,5", "1.2.3", "abc", "inf", "-nan", "0x1A", "1e", "e3", ".", "-",
                             "1 2", "1e400", "12abc", "--1"}) {
        SCOPED_TRACE(junk);
        EXPECT_FALSE(text::tryParseDecimal(junk).has_value());
        EXPECT_EQ(text::parseDecimal(junk), 0.0);
    }
}

TEST(Text, ParseWholeTakesThirtyTwoBitIntegers) {
    EXPECT_EQ(text::tryParseWhole(" 42 "), 42);
    EXPECT_EQ(text::tryParseWhole("+7"), 7);
    EXPECT_EQ(text::tryParseWhole("-0012"), -12);
    EXPECT_EQ(text::tryParseWhole("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(text::tryParseWhole("-2147483648"), std::numeric_limits<std::int32_t>::min());
    for (const char* junk :
         {"", "-", "+", "12.5", "1e3", "2147483648", "-2147483649", "99999999999", "4 2", "0x10", "- 1"}) {
        SCOPED_TRACE(junk);
        EXPECT_FALSE(text::tryParseWhole(junk).has_value());
    }
    EXPECT_EQ(text::parseWhole("x", -9), -9);
}

TEST(Text, GeneralNumberIsShortestWithFifteenDigits) {
    const std::pair<double, const char*> cases[] = {
        {12.5, "12.5"},
        {100, "100"},
        {0.05, "0.05"},
        {-3, "-3"},
        {0.1 + 0.2, "0.3"},
        {-0.0, "0"},
        {1e20, "1E+20"},
        {1e-7, "1E-7"},
        {0.0001, "0.0001"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"},
        {2.0 / 3.0, "0.666666666666667"},
        {-1234.5678, "-1234.5678"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(text::generalNumber(value), expected) << value;
}

TEST(Text, QuotedAndCaseHelpers) {
    EXPECT_EQ(text::quoted("O'Brien"), "'O''Brien'");
    EXPECT_EQ(text::quoted(""), "''");
    EXPECT_EQ(text::quoted("''"), "''''''");
    EXPECT_EQ(text::upperAscii("Con 銷a"), "CON 銷A");
    EXPECT_TRUE(text::equalsNoCase("ServerClass", "SERVERclass"));
    EXPECT_FALSE(text::equalsNoCase("Class", "Classes"));
    EXPECT_FALSE(text::equalsNoCase("a[", "A{"));  // '[' and '{' differ by the case bit but are no letters
}

TEST(Json, ALineReadsBackAsWrittenAndDamageIsRefused) {
    json::Value line = json::Value::object();
    line.set("text", "say \"暫用\"\\ \n\x01 end");
    line.set("count", std::uint64_t{12345678901});
    line.set("none", json::Value());
    json::Value list = json::Value::array();
    list.push(-3);
    list.push(2.5);
    list.push(true);
    line.set("list", std::move(list));
    const std::string dumped = line.dump();
    EXPECT_EQ(dumped.find('\n'), std::string::npos) << dumped;
    const auto back = json::parse(dumped);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->dump(), dumped);
    EXPECT_EQ((*back)["text"].text(), "say \"暫用\"\\ \n\x01 end");
    EXPECT_EQ((*back)["count"].whole(), 12345678901);
    EXPECT_TRUE((*back)["none"].isNull());
    EXPECT_TRUE((*back)["absent"].isNull());
    EXPECT_EQ((*back)["list"].items().at(1).whole(), 2);
    EXPECT_EQ(json::parse(R"(" \u00e9\ud83d\ude00")")->text(), " \xc3\xa9\xf0\x9f\x98\x80");
    for (const char* damaged : {"{\"run\":", "{\"a\":1} x", "", "[1,]", "{\"a\" 1}", "\"\\q\"", "tru"})
        EXPECT_FALSE(json::parse(damaged)) << damaged;
    EXPECT_FALSE(json::parse(std::string(100, '[') + std::string(100, ']')));  // nested beyond reason
}
