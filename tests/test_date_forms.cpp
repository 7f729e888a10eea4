#include "app/shell/date_forms.h"

#include <gtest/gtest.h>

using namespace lumvik::dates;
using namespace std::chrono;

namespace {

// The message of the ConversionError a conversion throws, or "" when it throws none.
template <typename Convert>
std::string conversionError(Convert convert, std::string_view input) {
    try {
        (void)convert(input);
    } catch (const ConversionError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(DateForms, GregorianToRoc) {
    const std::pair<const char*, const char*> cases[] = {
        {"2012/12/10", "101/12/10"},
        {"2010/01/05", "099/01/05"},
        {"1911/03/04", "000/03/04"},
        {"2911/01/01", "1000/01/01"},
        {"2012/12/10 08:00", "101/12/10"},
        {"1900/01/01", "-011/01/01"},
        {"2012", "101"},
        {"2012/1/5", "101/1/5"},
        {" 201/01/01", "-1710/01/01"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(gregorianToRoc(input), expected) << input;

    EXPECT_EQ(conversionError(gregorianToRoc, "20a2/12/10"), "'20a2' is not a valid integer value");
    EXPECT_EQ(conversionError(gregorianToRoc, "201 /12/10"), "'201 ' is not a valid integer value");
    EXPECT_EQ(conversionError(gregorianToRoc, ""), "'' is not a valid integer value");
}

TEST(DateForms, RocToGregorian) {
    const std::pair<const char*, const char*> cases[] = {
        {"101/12/10", "2012/12/10"},     {"99/1/5", "2010/1/5"},      {"089/1/5", "2000/1/5"},
        {"101/12/10  ", "2012/12/10"},   {"101/12", "2012//12"},      {"0/ 1/ 2", "1911/ 1/2"},
        {" 101/12/10", "2012/12/10"},    {"-11/01/01", "1900/01/01"}, {"-2000/1/1", "-0089/1/1"},
        {"101/12/10/5", "2012/12/10/5"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(rocToGregorian(input), expected) << input;

    EXPECT_EQ(conversionError(rocToGregorian, "101"), "'' is not a valid integer value");
    EXPECT_EQ(conversionError(rocToGregorian, "1o1/12/10"), "'1o1' is not a valid integer value");
    EXPECT_EQ(conversionError(rocToGregorian, "101 /12/10"), "'101 ' is not a valid integer value");
    EXPECT_EQ(conversionError(rocToGregorian, "/12/10"), "'' is not a valid integer value");
}

TEST(DateForms, DateAndTimeTexts) {
    EXPECT_EQ(gregorianText(2012y / 1 / 5), "2012/01/05");
    EXPECT_EQ(gregorianText(year(33) / 12 / 31), "0033/12/31");
    EXPECT_EQ(timeText(hh_mm_ss<seconds>(8h + 5min + 9s)), "08:05:09");
    EXPECT_EQ(timeText(hh_mm_ss<seconds>(23h + 59min + 59s)), "23:59:59");
}

TEST(DateForms, ParseDateReadsMaskedFields) {
    const std::pair<const char*, year_month_day> dates[] = {
        {"2012/12/10", 2012y / 12 / 10}, {"2012/12/ 5", 2012y / 12 / 5},
        {"2012/ 1/05", 2012y / 1 / 5},   {"2012/02/29", 2012y / 2 / 29},
        {"0001/01/01", year(1) / 1 / 1}, {"9999/12/31", year(9999) / 12 / 31},
    };
    for (const auto& [input, expected] : dates)
        EXPECT_EQ(parseDate(input), expected) << input;

    for (const char* junk : {"", "    /  /  ", "2013/02/29", "2012/13/01", "2012/00/10", "2012/04/31",
                             "0000/01/01", "2012/12", "2012/12/10/1", "2012/12/1O", "2012-12-10",
                             "2012/12/10 08:00", "20 2/12/10", "2012/257/1", "2012/1/257"}) {
        EXPECT_FALSE(parseDate(junk).has_value()) << junk;
    }
}

TEST(DateForms, RequireDateNamesTheText) {
    EXPECT_EQ(requireDate("2012/12/ 5"), 2012y / 12 / 5);
    try {
        (void)requireDate("2013/02/29");
        FAIL() << "no InvalidDate";
    } catch (const InvalidDate& e) {
        EXPECT_STREQ(e.what(), "'2013/02/29' is not a valid date");
    }
}
