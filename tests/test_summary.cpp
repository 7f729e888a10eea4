// The daily summary and the clean-up of its scratch objects, headless, on real embedded databases.

#include "base/codepage.h"
#include "summary/daily_summary.h"
#include "tests/support/run_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace lumvik;
using namespace lumvik::testing;
using Kind = HeadlessOperator::Box::Kind;
using Box = HeadlessOperator::Box;
using Lines = std::vector<std::string>;
using db::Value;
using namespace std::chrono_literals;

namespace {

constexpr const char* kDay = "2012/12/10";
const Lines kFirstObjects{"TMP_A090000", "VIEW_Z090000"};  // of a summary at the clock's start

Lines sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The listing line of texts that need no cut: each followed by 20 blanks and cut at 26 and 25 code page
// 950 bytes, then a blank. A text shorter than its width by more than 20 bytes stays shorter.
std::string listed(const std::string& name, const std::string& name2 = "") {
    const auto field = [](const std::string& text, std::size_t width) {
        const std::size_t used = cp950::byteWidth(text);
        EXPECT_LE(used, width) << text;
        return text + std::string(std::min<std::size_t>(20, width > used ? width - used : 0), ' ') + " ";
    };
    return field(name, 26) + field(name2, 25);
}

class Summary : public RunFixture {
  protected:
    void SetUp() override {
        startUp();
        op.onLog = [this](const std::string& line) { everyLine.push_back(line); };
    }

    void put(const std::string& table, const std::string& columns, const std::vector<Value>& values) {
        std::string marks = "?";
        for (std::size_t i = 1; i < values.size(); ++i)
            marks += ", ?";
        erp->execute("INSERT INTO " + table + " (" + columns + ") VALUES (" + marks + ")", values);
    }
    void bill(const std::string& day, const std::string& classNo, const Value& relSal, int count = 1) {
        for (int i = 0; i < count; ++i)
            put("POS_MASTER", "SAL_DATE, SAL_NO, CLASS_NO, REL_SAL",
                {Value(day), Value(std::to_string(++billCount)), Value(classNo), relSal});
    }
    void line(const std::string& day, const std::string& item, const Value& amt, double qty, double dis = 0,
              double ttt = 0) {
        put("POS_SUB", "SAL_DATE, PD_ITEMID, AMT, SAL_QTY, DIS_SHARE, TTT_SHARE",
            {Value(day), Value(item), amt, Value(qty), Value(dis), Value(ttt)});
    }
    // A product item of a group, which has a PROD_HIITEM row only when it is given a name.
    void product(const std::string& itemId, const std::string& groupId, const char* groupName) {
        put("PROD_ITEM", "PD_ITEMID, PD_GRPID", {Value(itemId), Value(groupId)});
        if (groupName)
            put("PROD_HIITEM", "PD_GRPID, PD_GRPNAME, TOP_ITEMID",
                {Value(groupId), Value(groupName), Value("T1")});
    }
    void title(const std::string& text) { put("PUB_PARAM", "REP_TITLE", {Value(text)}); }
    void workItem(const std::string& no, const std::string& name) {
        put("WRK_ITEM", "Wrk_No, Wrk_Name", {Value(no), Value(name)});
    }

    // One title; on kDay 37 bills totalling 12345 in classes "10" and "2", which have a work item, and
    // "3", which has none; lines of product groups, of items without a group name, and of items in no
    // product item; sales of other days around them.
    void seedDay() {
        title("台北店");
        workItem("2", "午班");
        workItem("10", "早班");
        workItem("4", "夜班");
        bill(kDay, "2", Value(500), 10);
        bill(kDay, "3", Value(190), 6);
        bill(kDay, "3", Value(205));
        bill(kDay, "10", Value(300), 20);
        bill("2012/12/09", "10", Value(999));
        bill("2012/12/11", "4", Value(777));
        put("PROD_TOPITEM", "TOP_ITEMID, TOP_ITEMNAME, PD_DEPID", {Value("T1"), Value("主食"), Value("D1")});
        put("PROD_DEPART", "PD_DEPID, PD_DEPNAME", {Value("D1"), Value("廚房")});
        product("I01", "G1", "飯類");
        product("I02", "G1", nullptr);
        product("I03", "G2", "麵類");
        product("I04", "G9", nullptr);
        product("I05", "G8", nullptr);
        line(kDay, "I01", Value(1000), 20, 40, 6);
        line(kDay, "I02", Value(280), 36);
        line(kDay, "I03", Value(500), 5);
        line(kDay, "I04", Value(70), 7);
        line(kDay, "I05", Value(88), 8);
        line(kDay, "I77", Value(99), 3);  // I77 and I98 are in no product item
        line(kDay, "I98", Value(30), 10, 2.5, 0.5);
        line("2012/12/09", "I01", Value(5000), 50);
    }

    // Runs the summary; returns what it threw ("" when nothing).
    std::string summarize() {
        try {
            summary::dailySummary(*form);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    // The rows of an ERP query, the test's connection closed again so that it holds nothing.
    Lines erpQuery(const std::string& sql) {
        Lines out = rowsOf(*erp, sql);
        erp->close();
        return out;
    }
    Lines scratchObjects() {
        return erpQuery(
            "SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'TMP_A' "
            "OR RDB$RELATION_NAME STARTING WITH 'VIEW_Z' ORDER BY 1");
    }
    // ID|NAME|AMT|NAME2|AMT2 of the scratch table's rows, in ID order.
    Lines scratchRows(const std::string& where = "") {
        return erpQuery("SELECT ID,NAME,AMT,NAME2,AMT2 FROM " + form->scratchTable + " " + where +
                        " ORDER BY ID");
    }
    // The listing the rows of the scratch table give, in ID order.
    Lines listingOfRows() {
        Lines out;
        for (const auto& row :
             erpQuery("SELECT NAME, COALESCE(NAME2, '') FROM " + form->scratchTable + " ORDER BY ID")) {
            const auto bar = row.find('|');
            out.push_back(listed(row.substr(0, bar), row.substr(bar + 1)));
        }
        out.push_back("CAST .....0K");
        return out;
    }
    // The scratch objects named by the form's current names.
    Lines currentObjects() {
        Lines out;
        for (const auto& name : scratchObjects())
            if (name == form->scratchTable || name == form->scratchView) out.push_back(name);
        return out;
    }
    // In a child process: the clean-up, then the form's connection closed; exits 0 and says "closed"
    // when both worked and nothing named by the form is left.
    [[noreturn]] void cleanUpAndCloseInChild() {
        std::thread([] {
            std::this_thread::sleep_for(30s);
            std::fputs("the clean-up or the closing hung\n", stderr);
            std::_Exit(3);
        }).detach();
        std::string failure;
        try {
            summary::cleanUpScratch(*form);
            for (const auto& name : currentObjects())
                failure += "left: " + name + "\n";
        } catch (const std::exception& e) {
            failure = std::string("the clean-up failed: ") + e.what();
        }
        if (failure.empty()) form.reset();
        erp->close();
        store->close();
        std::error_code ignored;
        std::filesystem::remove_all(dbs.dir.path(), ignored);
        std::fputs(failure.empty() ? "closed\n" : failure.c_str(), stderr);
        std::_Exit(failure.empty() ? 0 : 1);
    }

    int billCount = 0;
    Lines everyLine;  // every line logged, also those cleared since
};

TEST_F(Summary, ADayIsSummedIntoTheScratchTableListedAndRedoneWithinTheSameSecond) {
    seedDay();
    op.logLines = {"an old line"};
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(form->scratchView, "VIEW_Z090000");
    EXPECT_EQ(form->scratchTable, "TMP_A090000");
    EXPECT_EQ(scratchObjects(), kFirstObjects);
    EXPECT_TRUE(op.boxes.empty());

    const Lines rows = scratchRows();
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(Lines(rows.begin(), rows.begin() + 6),
              (Lines{"1|店  別: 台北店|<null>|<null>|<null>", "2|總金額=NT$ 12,345|12345|<null>|<null>",
                     "3|早班=NT$ 6,000|6000|<null>|<null>", "4|午班=NT$ 5,000|5000|<null>|<null>",
                     "5|=NT$ 1,345|1345|<null>|<null>", "6|客單價=NT$ 333.65|333.65|來客數=NT$ 37|37"}))
        << "classes follow CLASS_NO as a text, \"10\" before \"2\", with their work item's name";
    // The group rows take IDs 7 to 11; their order among each other is the query's. Discounts are
    // taken off; lines of items in no product item make one row together.
    Lines groups;
    for (std::size_t i = 6; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].substr(0, rows[i].find('|')), std::to_string(i + 1));
        groups.push_back(rows[i].substr(rows[i].find('|') + 1));
    }
    EXPECT_EQ(sorted(groups),
              sorted({"飯類=NT$1,234       56    |1234|<null>|56", "麵類=NT$500         5     |500|<null>|5",
                      "=NT$70          7     |70|<null>|7", "=NT$88          8     |88|<null>|8",
                      "=NT$126          13    |126|<null>|13"}));
    EXPECT_EQ(erpQuery("SELECT DISTINCT Sal_DATE FROM TMP_A090000"), Lines{kDay});

    // The pane holds only the listing; the progress lines went before it.
    EXPECT_EQ(op.logLines, listingOfRows());
    ASSERT_EQ(op.logLines.size(), 12u);
    // NAME's 17 bytes, 9 blanks, a blank, NAME2's 20 blanks and a blank: nothing is padded.
    EXPECT_EQ(op.logLines[1], "總金額=NT$ 12,345" + std::string(9, ' ') + " " + std::string(20, ' ') + " ");
    const Lines progress{"CAST .....1",  "CAST .....2",  "CAST .....6",   "CAST .....63",  "CAST .....64",
                         "CAST .....65", "CAST .....7",  "CAST .....8",   "CAST .....9",   "CAST .....97",
                         "CAST .....98", "CAST .....99", "CAST .....910", "CAST .....911", "CAST .....10"};
    ASSERT_EQ(everyLine.size(), progress.size() + op.logLines.size());
    EXPECT_EQ(Lines(everyLine.begin(), everyLine.begin() + progress.size()), progress);

    // A second summary in the same second replaces the first one's objects.
    bill(kDay, "10", Value(655));
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(scratchObjects(), kFirstObjects);
    EXPECT_EQ(scratchRows("WHERE ID IN (2, 6)"), (Lines{"2|總金額=NT$ 13,000|13000|<null>|<null>",
                                                        "6|客單價=NT$ 342.11|342.11|來客數=NT$ 38|38"}));
    EXPECT_EQ(op.logLines.size(), 12u);
    EXPECT_EQ(op.logLines, listingOfRows());
}

TEST_F(Summary, EachSummaryReadsTheDateFieldIsNamedByTheClockAndRoundsHalfAwayFromZero) {
    struct Case {
        const char* text;  // in the date field, for the day
        const char* day;
        double each;
        int count;                  // bills of `each`,
        double last;                // then one of `last`
        std::chrono::seconds time;  // of the clock's day
        std::string suffix, totalRow, averageRow;
    };
    const std::vector<Case> cases{
        {"2012/12/1", "2012/12/01", 333, 36, 357, 0s, "000000", "總金額=NT$ 12,345|12345",
         "客單價=NT$ 333.65|333.65|來客數=NT$ 37|37"},
        {" 2012/ 12/02", "2012/12/02", 0.12, 7, 0.16, 7h + 5min + 9s, "070509", "總金額=NT$ 1|1",
         "客單價=NT$ 0.13|0.13|來客數=NT$ 8|8"},
        {"2012/12/03", "2012/12/03", 1500.5, 1, -3001, 12h + 30min, "123000", "總金額=NT$ -1,501|-1501",
         "客單價=NT$ -750.25|-750.25|來客數=NT$ 2|2"},
        {"2012/12/04", "2012/12/04", 0, 0, 1234567.5, 23h + 59min + 59s, "235959",
         "總金額=NT$ 1,234,568|1234568", "客單價=NT$ 1234567.50|1234567.5|來客數=NT$ 1|1"},
        {"2012/12/05", "2012/12/05", 999.49, 1, 0, 9h + 1s, "090001", "總金額=NT$ 999|999",
         "客單價=NT$ 499.75|499.75|來客數=NT$ 2|2"},
    };
    bill("2012/12/1", "1", Value(7000));  // the first text itself is no day of a bill
    Lines made;
    for (const Case& c : cases) {
        bill(c.day, "1", Value(c.each), c.count);
        bill(c.day, "1", Value(c.last));
        op.setDateText(c.text);
        platform.setNow(std::chrono::local_days{std::chrono::year{2012} / 12 / 11} + c.time);
        ASSERT_EQ(summarize(), "") << c.day;
        EXPECT_EQ(form->scratchView, "VIEW_Z" + c.suffix);
        EXPECT_EQ(form->scratchTable, "TMP_A" + c.suffix);
        EXPECT_EQ(scratchRows("WHERE ID IN (1, 2, 4)"),  // no title row without a title
                  (Lines{"2|" + c.totalRow + "|<null>|<null>", "4|" + c.averageRow}))
            << c.day;
        EXPECT_EQ(erpQuery("SELECT DISTINCT Sal_DATE FROM " + form->scratchTable), Lines{c.day});
        made.insert(made.end(), {"TMP_A" + c.suffix, "VIEW_Z" + c.suffix});
    }
    EXPECT_EQ(scratchObjects(), sorted(made));
}

TEST(SummaryTexts, AGroupRowNameHoldsAGroupFieldOfTwentyAndAQuantityFieldOfSixBytes) {
    const struct {
        const char* group;
        double amount, quantity;
        std::string name;
    } cases[] = {
        {"飯類", 1234, 56, "飯類=NT$1,234       56    "},
        // The 20-byte cut falls inside 十: it stops before it and a blank keeps the width.
        {"A一二三四五六七八九十", 5, 2, "A一二三四五六七八九 2     "},
        {"一二三四五六七八九十", 5, 3, "一二三四五六七八九十3     "},
        {"X一二三四五六七八九", 5, 4, "X一二三四五六七八九=4     "},
        {"麵", 1234567, 1234567, "麵=NT$1,234,567     1,234,"},
        // Shorter than the widths: "=NT$88" and 10 blanks, "8" and 5 blanks, nothing padded.
        {"", 88, 8, "=NT$88          8     "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(summary::groupRowName(c.group, c.amount, c.quantity), c.name);
        EXPECT_EQ(summary::listingLine(c.name, ""), listed(c.name));
    }
    // Only a cut inside a character leaves a blank for its half.
    EXPECT_EQ(summary::listingLine("", ""), std::string(21, ' ') + std::string(21, ' '));
    EXPECT_EQ(summary::listingLine("一二三四五六七八九十一二三", "來客數=NT$ 1234567890123456789"),
              "一二三四五六七八九十一二三 來客數=NT$ 12345678901234 ");
    EXPECT_EQ(summary::listingLine("X一二三四五六七八九十一二三", "X來客數"),
              "X一二三四五六七八九十一二  X來客數" + std::string(18, ' ') + " ");
}

TEST_F(Summary, EveryTitleRowTakesIdOneAndTheListingCutsLongNamesWithoutSplittingACharacter) {
    title("X台北市中山區南京東路");  // 8 + 21 bytes: the 26-byte cut falls inside 東
    title("本店");
    workItem("1", "一二三四五六七八九十");
    bill(kDay, "1", Value(1234567));
    ASSERT_EQ(summarize(), "");
    const Lines rows = scratchRows("WHERE ID <= 2");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(sorted({rows[0], rows[1]}), sorted({"1|店  別: X台北市中山區南京東路|<null>|<null>|<null>",
                                                  "1|店  別: 本店|<null>|<null>|<null>"}));
    EXPECT_EQ(rows[2], "2|總金額=NT$ 1,234,567|1234567|<null>|<null>");
    ASSERT_EQ(op.logLines.size(), 6u);  // two titles, total, class, average, "CAST .....0K"
    EXPECT_EQ(sorted({op.logLines[0], op.logLines[1]}),
              sorted({listed("店  別: X台北市中山區南京 "), listed("店  別: 本店")}));
    // 20 + 5 + 9 = 34 bytes: cut at 26 between whole characters.
    EXPECT_EQ(op.logLines[3], listed("一二三四五六七八九十=NT$ 1"));
    // 26 bytes, a blank, the 20 blanks of an empty NAME2 and a blank; the average row's NAME2 takes 25.
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(cp950::byteWidth(op.logLines[i]), 48u) << op.logLines[i];
    EXPECT_EQ(cp950::byteWidth(op.logLines[4]), 53u) << op.logLines[4];
}

TEST_F(Summary, ASummaryWithoutBillsOrDateStopsAfterTakingNewNamesAndCleaningUp) {
    bill(kDay, "1", Value(10));
    line("2012/12/08", "I01", Value(10), 1);  // only POS_MASTER bills of the day count
    struct Case {
        const char* text;
        std::chrono::hours later;  // than the summary of kDay before it
        std::string error, suffix;
        std::vector<Box> boxes;
        Lines left;
    };
    const std::vector<Case> cases{
        {"2012/12/08", 0h, "", "090000", {{Kind::Message, summary::kNoData}}, {}},
        {"2012/02/30", 1h, "'2012/02/30' is not a valid date", "100000", {}, kFirstObjects},
        {"    /  /  ", 0h, "'    /  /  ' is not a valid date", "090000", {}, {}},
    };
    for (const Case& c : cases) {
        op.setDateText(kDay);
        ASSERT_EQ(summarize(), "");
        ASSERT_EQ(scratchObjects(), kFirstObjects);
        platform.advance(c.later);
        op.setDateText(c.text);
        op.logLines = {"an old line"};
        op.boxes.clear();
        EXPECT_EQ(summarize(), c.error) << c.text;
        EXPECT_EQ(op.boxes, c.boxes) << c.text;
        EXPECT_TRUE(op.logLines.empty()) << c.text;
        EXPECT_EQ(form->scratchView, "VIEW_Z" + c.suffix) << c.text;
        EXPECT_EQ(form->scratchTable, "TMP_A" + c.suffix) << c.text;
        EXPECT_EQ(scratchObjects(), c.left) << c.text;
        platform.advance(-c.later);
    }
    EXPECT_EQ(std::string(summary::kNoData), "查無資料.....");
}

TEST_F(Summary, ANullAmountEndsTheSummaryAndTheCleanUpDropsWhatWasMade) {
    // The clean-up after each failed summary runs in a child process started afresh, so that a fault
    // there (an engine call that hangs or aborts) is reported instead of taking the suite down.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* day;
        std::vector<Value> bills;  // of classes 1, 2, ...
        bool nullLine;             // a line without AMT: it is read after the view is made
        const char* lastStep;      // the last progress line logged
    };
    const std::vector<Case> cases{
        {"2012/12/01", {Value()}, false, "CAST .....1"},
        {"2012/12/02", {Value(100), Value()}, false, "CAST .....63"},
        {"2012/12/03", {Value(100)}, true, "CAST .....9"},
    };
    for (const Case& c : cases) {
        platform.advance(1s);  // names of its own
        for (std::size_t i = 0; i < c.bills.size(); ++i)
            bill(c.day, std::to_string(i + 1), c.bills[i]);
        if (c.nullLine) line(c.day, "I01", Value(), 1);
        op.setDateText(c.day);
        everyLine.clear();
        EXPECT_EQ(summarize(), "Could not convert variant of type (Null) into type (Double)") << c.day;
        ASSERT_FALSE(everyLine.empty()) << c.day;
        EXPECT_EQ(everyLine.back(), c.lastStep) << c.day;
        Lines made{form->scratchTable};
        if (c.nullLine) made.push_back(form->scratchView);
        EXPECT_EQ(currentObjects(), made) << c.day;
        EXPECT_EXIT(cleanUpAndCloseInChild(), ::testing::ExitedWithCode(0), "closed") << c.day;
    }
}

TEST_F(Summary, TheCleanUpDropsOnlyTheObjectsOfTheLastSummary) {
    const std::string relationCount = "SELECT COUNT(*) FROM RDB$RELATIONS";
    const Lines relations = erpQuery(relationCount);
    EXPECT_NO_THROW(summary::cleanUpScratch(*form)) << "before the first summary there is nothing to drop";
    EXPECT_EQ(erpQuery(relationCount), relations);

    bill(kDay, "1", Value(10));
    ASSERT_EQ(summarize(), "");
    platform.advance(1s);
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "TMP_A090001", "VIEW_Z090000", "VIEW_Z090001"}));
    for (int time = 0; time < 2; ++time) {  // the second finds nothing to drop
        EXPECT_NO_THROW(summary::cleanUpScratch(*form));
        EXPECT_EQ(scratchObjects(), kFirstObjects);
    }
}

}  // namespace
