// The daily summary and the clean-up of its scratch objects, headless, on real embedded databases.

#include "db/codepage.h"
#include "summary/daily_summary.h"
#include "tests/support/run_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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
constexpr const char* kNullAmount = "Could not convert variant of type (Null) into type (Double)";

// A text followed by blanks up to `width` code page 950 bytes (never cut).
std::string pad(const std::string& text, std::size_t width) {
    const std::size_t used = cp950::byteWidth(text);
    EXPECT_LE(used, width) << text;
    return text + std::string(width > used ? width - used : 0, ' ');
}

// The listing line of a row whose texts need no cut.
std::string listed(const std::string& name, const std::string& name2 = "") {
    return pad(name, 26) + " " + pad(name2, 25) + " ";
}

class Summary : public RunFixture {
  protected:
    void SetUp() override {
        startUp();
        form->scratchCleanup = [this] { summary::cleanUpScratch(*form); };
        op.onLog = [this](const std::string& line) { everyLine.push_back(line); };
    }

    void bill(const std::string& day, const std::string& classNo, Value relSal) {
        insertRow(*erp, "POS_MASTER",
                  {{"SAL_DATE", Value(day)},
                   {"SAL_NO", Value(std::to_string(++billCount))},
                   {"CLASS_NO", Value(classNo)},
                   {"REL_SAL", std::move(relSal)}});
    }
    void bills(const std::string& day, const std::string& classNo, int count, double each) {
        for (int i = 0; i < count; ++i)
            bill(day, classNo, Value(each));
    }
    void line(const std::string& day, const std::string& item, Value amt, double qty, double dis = 0,
              double ttt = 0) {
        insertRow(*erp, "POS_SUB",
                  {{"SAL_DATE", Value(day)},
                   {"PD_ITEMID", Value(item)},
                   {"AMT", std::move(amt)},
                   {"SAL_QTY", Value(qty)},
                   {"DIS_SHARE", Value(dis)},
                   {"TTT_SHARE", Value(ttt)}});
    }
    void item(const std::string& itemId, const std::string& groupId) {
        insertRow(*erp, "PROD_ITEM", {{"PD_ITEMID", Value(itemId)}, {"PD_GRPID", Value(groupId)}});
    }
    void group(const std::string& groupId, const std::string& name) {
        insertRow(*erp, "PROD_HIITEM",
                  {{"PD_GRPID", Value(groupId)}, {"PD_GRPNAME", Value(name)}, {"TOP_ITEMID", Value("T1")}});
    }
    void title(const std::string& text) { insertRow(*erp, "PUB_PARAM", {{"REP_TITLE", Value(text)}}); }
    void workItem(const std::string& no, const std::string& name) {
        insertRow(*erp, "WRK_ITEM", {{"Wrk_No", Value(no)}, {"Wrk_Name", Value(name)}});
    }

    // One title, three classes (the third without a work item) and four product groups on kDay: 37
    // bills totalling 12345; sales of other days around it.
    void seedDay() {
        title("台北店");
        workItem("1", "早班");
        workItem("2", "午班");
        workItem("4", "夜班");
        bills(kDay, "2", 10, 500);
        bills(kDay, "3", 6, 190);
        bill(kDay, "3", Value(205));
        bills(kDay, "1", 20, 300);
        bill("2012/12/09", "1", Value(999));
        bill("2012/12/11", "4", Value(777));
        insertRow(*erp, "PROD_TOPITEM",
                  {{"TOP_ITEMID", Value("T1")}, {"TOP_ITEMNAME", Value("主食")}, {"PD_DEPID", Value("D1")}});
        insertRow(*erp, "PROD_DEPART", {{"PD_DEPID", Value("D1")}, {"PD_DEPNAME", Value("廚房")}});
        item("I01", "G1");
        item("I02", "G1");
        item("I03", "G2");
        item("I04", "G9");  // a group id without PROD_HIITEM row
        group("G1", "飯類");
        group("G2", "麵類");
        line(kDay, "I01", Value(1000), 20, 40, 6);
        line(kDay, "I02", Value(280), 36);
        line(kDay, "I03", Value(500), 5);
        line(kDay, "I04", Value(70), 7);
        line(kDay, "I77", Value(99), 3);  // in no product item
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

    // The scratch objects the ERP catalogue shows, sorted.
    Lines scratchObjects() {
        Lines out = rowsOf(*erp,
                           "SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME "
                           "STARTING WITH 'TMP_A' OR RDB$RELATION_NAME STARTING WITH 'VIEW_Z' ORDER BY 1");
        erp->close();
        return out;
    }
    // ID|NAME|AMT|NAME2|AMT2 of the scratch table's rows, in ID order.
    Lines scratchRows(const std::string& where = "") {
        Lines out = rowsOf(
            *erp, "SELECT ID,NAME,AMT,NAME2,AMT2 FROM " + form->scratchTable + " " + where + " ORDER BY ID");
        erp->close();
        return out;
    }
    // The listing lines the rows of the scratch table give, in ID order.
    Lines listingOfRows() {
        Lines out;
        for (const auto& row :
             rowsOf(*erp, "SELECT NAME,NAME2 FROM " + form->scratchTable + " ORDER BY ID")) {
            const auto bar = row.find('|');
            const std::string name2 = row.substr(bar + 1);
            out.push_back(listed(row.substr(0, bar), name2 == "<null>" ? "" : name2));
        }
        erp->close();
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
    // In a child process: the clean-up, then the form's connection closed; exits 0 and says
    // "closed" when both worked and nothing named by the form is left.
    [[noreturn]] void cleanUpAndCloseInChild() {
        std::thread([] {
            std::this_thread::sleep_for(30s);
            std::fputs("the clean-up or the closing hung\n", stderr);
            std::_Exit(3);
        }).detach();
        std::string failure;
        try {
            summary::cleanUpScratch(*form);
        } catch (const std::exception& e) {
            failure = std::string("the clean-up failed: ") + e.what();
        }
        if (failure.empty()) {
            for (const auto& name : currentObjects())
                failure += "left: " + name + "\n";
        }
        if (failure.empty()) {
            std::fputs("the clean-up dropped them; closing the connection\n", stderr);
            form.reset();
        }
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

TEST_F(Summary, ADayIsSummedIntoTheScratchTableAndListedInIdOrder) {
    seedDay();
    op.logLines = {"an old line"};
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(form->scratchView, "VIEW_Z090000");
    EXPECT_EQ(form->scratchTable, "TMP_A090000");
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "VIEW_Z090000"}));
    EXPECT_TRUE(op.boxes.empty());

    const Lines rows = scratchRows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(Lines(rows.begin(), rows.begin() + 6),
              (Lines{"1|店  別: 台北店|<null>|<null>|<null>", "2|總金額=NT$ 12,345|12345|<null>|<null>",
                     "3|早班=NT$ 6,000|6000|<null>|<null>", "4|午班=NT$ 5,000|5000|<null>|<null>",
                     "5|=NT$ 1,345|1345|<null>|<null>", "6|客單價=NT$ 333.65|333.65|來客數=NT$ 37|37"}));
    // The group rows take IDs 7 to 10; their order among each other is the query's.
    Lines groups;
    for (std::size_t i = 6; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].substr(0, rows[i].find('|')), std::to_string(i + 1));
        groups.push_back(rows[i].substr(rows[i].find('|') + 1));
    }
    Lines expected{"=NT$70              7     |70|<null>|7", "=NT$99              3     |99|<null>|3",
                   "飯類=NT$1,234       56    |1234|<null>|56", "麵類=NT$500         5     |500|<null>|5"};
    for (const auto& row : expected)
        EXPECT_EQ(cp950::byteWidth(row.substr(0, row.find('|'))), 26u) << row;
    std::sort(groups.begin(), groups.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(groups, expected);
    EXPECT_EQ(rowsOf(*erp, "SELECT DISTINCT Sal_DATE FROM TMP_A090000"), Lines{kDay});
    erp->close();

    // The pane holds only the listing; the progress lines went before it.
    const Lines listing = listingOfRows();
    EXPECT_EQ(op.logLines, listing);
    ASSERT_EQ(op.logLines.size(), 11u);
    EXPECT_EQ(op.logLines[1], "總金額=NT$ 12,345" + std::string(9, ' ') + " " + std::string(25, ' ') + " ");
    EXPECT_EQ(cp950::byteWidth(op.logLines[1]), 53u);
    const Lines progress{"CAST .....1",  "CAST .....2",  "CAST .....6",   "CAST .....63", "CAST .....64",
                         "CAST .....65", "CAST .....7",  "CAST .....8",   "CAST .....9",  "CAST .....97",
                         "CAST .....98", "CAST .....99", "CAST .....910", "CAST .....10"};
    ASSERT_EQ(everyLine.size(), progress.size() + listing.size());
    EXPECT_EQ(Lines(everyLine.begin(), everyLine.begin() + progress.size()), progress);
}

TEST_F(Summary, TotalsAndAveragesAreRoundedHalfAwayFromZero) {
    struct Case {
        const char* day;
        std::vector<double> amounts;
        std::string totalRow, averageRow;  // NAME|AMT and NAME|AMT|NAME2|AMT2
    };
    std::vector<double> thirtySeven(36, 333);
    thirtySeven.push_back(357);
    std::vector<double> eight(7, 0.12);
    eight.push_back(0.16);
    const std::vector<Case> cases{
        {"2012/12/01", thirtySeven, "總金額=NT$ 12,345|12345", "客單價=NT$ 333.65|333.65|來客數=NT$ 37|37"},
        {"2012/12/02", eight, "總金額=NT$ 1|1", "客單價=NT$ 0.13|0.13|來客數=NT$ 8|8"},
        {"2012/12/03",
         {1500.5, -3001},
         "總金額=NT$ -1,501|-1501",
         "客單價=NT$ -750.25|-750.25|來客數=NT$ 2|2"},
        {"2012/12/04",
         {1234567.5},
         "總金額=NT$ 1,234,568|1234568",
         "客單價=NT$ 1234567.50|1234567.5|來客數=NT$ 1|1"},
        {"2012/12/05", {999.49, 0}, "總金額=NT$ 999|999", "客單價=NT$ 499.75|499.75|來客數=NT$ 2|2"},
    };
    for (const Case& c : cases) {
        for (double amount : c.amounts)
            bill(c.day, "1", Value(amount));
        op.setDateText(c.day);
        platform.advance(1s);
        ASSERT_EQ(summarize(), "") << c.day;
        EXPECT_EQ(scratchRows("WHERE ID = 2"), Lines{"2|" + c.totalRow + "|<null>|<null>"}) << c.day;
        EXPECT_EQ(scratchRows("WHERE ID = 4"), Lines{"4|" + c.averageRow}) << c.day;
    }
}

TEST_F(Summary, EveryTitleRowTakesIdOneAndTheTotalIdTwo) {
    bill(kDay, "1", Value(100));
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(scratchRows(), (Lines{"2|總金額=NT$ 100|100|<null>|<null>", "3|=NT$ 100|100|<null>|<null>",
                                    "4|客單價=NT$ 100.00|100|來客數=NT$ 1|1"}));
    EXPECT_EQ(op.logLines, (Lines{listed("總金額=NT$ 100"), listed("=NT$ 100"),
                                  listed("客單價=NT$ 100.00", "來客數=NT$ 1"), "CAST .....0K"}));

    title("本店");
    title("分店");
    platform.advance(1s);
    ASSERT_EQ(summarize(), "");
    const Lines rows = scratchRows("WHERE ID <= 2");
    ASSERT_EQ(rows.size(), 3u);
    Lines titles(rows.begin(), rows.begin() + 2),
        expected{"1|店  別: 本店|<null>|<null>|<null>", "1|店  別: 分店|<null>|<null>|<null>"};
    std::sort(titles.begin(), titles.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(titles, expected);
    EXPECT_EQ(rows[2], "2|總金額=NT$ 100|100|<null>|<null>");
    EXPECT_EQ(op.logLines.size(), 6u);  // two titles, total, class, average, "CAST .....0K"
}

TEST_F(Summary, ClassesFollowClassNumbersAndShowTheirWorkItemName) {
    workItem("1", "早班");
    workItem("10", "夜班");
    workItem("2", "午班");
    workItem("3", "晚班");  // no bill in this class
    bill(kDay, "2", Value(20));
    bill(kDay, "7", Value(7));
    bill(kDay, "10", Value(1000));
    bill(kDay, "1", Value(1));
    bill(kDay, "10", Value(234.5));
    bill("2012/12/11", "3", Value(5));
    ASSERT_EQ(summarize(), "");
    // CLASS_NO is a text: "10" comes before "2"; the names' order and the bills' order play no part.
    EXPECT_EQ(scratchRows("WHERE ID BETWEEN 3 AND 6"),
              (Lines{"3|早班=NT$ 1|1|<null>|<null>", "4|夜班=NT$ 1,235|1235|<null>|<null>",
                     "5|午班=NT$ 20|20|<null>|<null>", "6|=NT$ 7|7|<null>|<null>"}));
    EXPECT_EQ(std::count_if(everyLine.begin(), everyLine.end(),
                            [](const std::string& l) { return l.starts_with("CAST .....6"); }),
              5);
}

TEST_F(Summary, GroupRowsHoldAGroupFieldOfTwentyAndAQuantityFieldOfSixBytes) {
    struct Case {
        const char* groupName;  // nullptr: the group id has no PROD_HIITEM row
        double amount, quantity;
        std::string row;  // NAME|AMT|NAME2|AMT2
    };
    const std::vector<Case> cases{
        {"飯類", 1234, 56, "飯類=NT$1,234       56    |1234|<null>|56"},
        // The 20-byte cut falls inside 十: it stops before it and a blank keeps the width.
        {"A一二三四五六七八九十", 5, 2, "A一二三四五六七八九 2     |5|<null>|2"},
        {"一二三四五六七八九十", 5, 3, "一二三四五六七八九十3     |5|<null>|3"},
        {"X一二三四五六七八九", 5, 4, "X一二三四五六七八九=4     |5|<null>|4"},
        {"麵", 1234567, 1234567, "麵=NT$1,234,567     1,234,|1234567|<null>|1234567"},
        {nullptr, 88, 8, "=NT$88              8     |88|<null>|8"},
        {nullptr, 99, 9, "=NT$99              9     |99|<null>|9"},
    };
    bill(kDay, "1", Value(1));
    Lines expected;
    int n = 0;
    for (const Case& c : cases) {
        const std::string id = std::to_string(++n);
        item("I" + id, "G" + id);
        if (c.groupName != nullptr) group("G" + id, c.groupName);
        line(kDay, "I" + id, Value(c.amount), c.quantity);
        expected.push_back(c.row);
        EXPECT_EQ(cp950::byteWidth(c.row.substr(0, c.row.find('|'))), 26u) << c.row;
    }
    // Lines of items in no product item make one row together, with discounts taken off.
    line(kDay, "I98", Value(30), 10, 2.5, 0.5);
    line(kDay, "I99", Value(40), 1);
    expected.push_back("=NT$67              11    |67|<null>|11");
    ASSERT_EQ(summarize(), "");

    Lines got;
    for (const auto& row : scratchRows("WHERE NAME2 IS NULL AND AMT2 IS NOT NULL"))
        got.push_back(row.substr(row.find('|') + 1));
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    // A NAME of exactly 26 bytes is listed as it is.
    EXPECT_NE(std::find(op.logLines.begin(), op.logLines.end(),
                        "A一二三四五六七八九 2      " + std::string(25, ' ') + " "),
              op.logLines.end());
}

TEST_F(Summary, TheListingCutsLongNamesWithoutSplittingACharacter) {
    title("X台北市中山區南京東路");  // 8 + 21 bytes: the 26-byte cut falls inside 東
    workItem("1", "一二三四五六七八九十");
    bill(kDay, "1", Value(1234567));
    ASSERT_EQ(summarize(), "");
    ASSERT_EQ(op.logLines.size(), 5u);
    EXPECT_EQ(op.logLines[0], "店  別: X台北市中山區南京  " + std::string(25, ' ') + " ");
    // 20 + 5 + 9 = 34 bytes: cut at 26 between whole characters.
    EXPECT_EQ(op.logLines[2], "一二三四五六七八九十=NT$ 1 " + std::string(25, ' ') + " ");
    for (const auto& line : op.logLines)
        if (line != "CAST .....0K") {
            EXPECT_EQ(cp950::byteWidth(line), 53u) << line;
        }
}

TEST_F(Summary, ADayWithoutBillsShowsNoDataAndDropsTheObjectsOfTheSameSecond) {
    seedDay();
    ASSERT_EQ(summarize(), "");
    ASSERT_EQ(scratchObjects().size(), 2u);
    // Lines and bills of other days do not count: only POS_MASTER bills of the day do.
    line("2012/12/08", "I01", Value(10), 1);
    op.setDateText("2012/12/08");
    op.logLines = {"an old line"};
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(op.boxes, (std::vector<Box>{{Kind::Message, summary::kNoData}}));
    EXPECT_EQ(std::string(summary::kNoData), "查無資料.....");
    EXPECT_TRUE(op.logLines.empty());
    EXPECT_EQ(form->scratchTable, "TMP_A090000");
    EXPECT_TRUE(scratchObjects().empty()) << "the clean-up ran before the bills were looked for";
}

TEST_F(Summary, TheDayIsTheDateFieldsTextReadAsADate) {
    bill("2012/01/05", "1", Value(50));
    bill("2012/1/5", "1", Value(7000));  // a text that is not the day's form
    for (const char* text : {"2012/1/5", " 2012/ 01/05", "2012/01/05"}) {
        op.setDateText(text);
        platform.advance(1s);
        ASSERT_EQ(summarize(), "") << text;
        EXPECT_EQ(scratchRows("WHERE ID = 2"), Lines{"2|總金額=NT$ 50|50|<null>|<null>"}) << text;
        EXPECT_EQ(rowsOf(*erp, "SELECT DISTINCT Sal_DATE FROM " + form->scratchTable), Lines{"2012/01/05"});
        erp->close();
    }
}

TEST_F(Summary, ScratchNamesComeFromTheClock) {
    bill(kDay, "1", Value(10));
    for (const auto& [time, suffix] :
         std::vector<std::pair<std::chrono::seconds, std::string>>{{0s, "000000"},
                                                                   {7h + 5min + 9s, "070509"},
                                                                   {12h + 30min, "123000"},
                                                                   {23h + 59min + 59s, "235959"}}) {
        platform.setNow(std::chrono::local_days{std::chrono::year{2012} / 12 / 11} + time);
        ASSERT_EQ(summarize(), "") << suffix;
        EXPECT_EQ(form->scratchView, "VIEW_Z" + suffix);
        EXPECT_EQ(form->scratchTable, "TMP_A" + suffix);
        const Lines objects = scratchObjects();
        EXPECT_NE(std::find(objects.begin(), objects.end(), "VIEW_Z" + suffix), objects.end());
        EXPECT_NE(std::find(objects.begin(), objects.end(), "TMP_A" + suffix), objects.end());
    }
    EXPECT_EQ(scratchObjects().size(), 8u);
}

TEST_F(Summary, ATextThatIsNoDateFailsAfterTheNamesAreSetAndTheCleanUpRan) {
    bill(kDay, "1", Value(10));
    ASSERT_EQ(summarize(), "");
    op.setDateText("2012/02/30");
    op.logLines = {"an old line"};
    platform.advance(1h);
    EXPECT_EQ(summarize(), "'2012/02/30' is not a valid date");
    EXPECT_EQ(form->scratchView, "VIEW_Z100000");
    EXPECT_EQ(form->scratchTable, "TMP_A100000");
    EXPECT_TRUE(op.logLines.empty());
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "VIEW_Z090000"}));
    platform.advance(-1h);
    op.setDateText("    /  /  ");
    EXPECT_EQ(summarize(), "'    /  /  ' is not a valid date");
    EXPECT_TRUE(scratchObjects().empty());
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(Summary, ANullAmountEndsTheSummaryAndTheCleanUpDropsWhatWasMade) {
    // The clean-up after each failed summary runs in a child process started afresh, so that a fault
    // there (an engine call that hangs or aborts) is reported instead of taking the suite down.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* day;
        std::function<void()> seed;
        bool viewMade;
        const char* lastStep;  // the last progress line logged
    };
    const std::vector<Case> cases{
        {"2012/12/01", [&] { bill("2012/12/01", "1", Value()); }, false, "CAST .....1"},
        {"2012/12/02",
         [&] {
             bill("2012/12/02", "1", Value(100));
             bill("2012/12/02", "2", Value());
         },
         false, "CAST .....63"},
        {"2012/12/03",
         [&] {
             bill("2012/12/03", "1", Value(100));
             line("2012/12/03", "I01", Value(), 1);
         },
         true, "CAST .....9"},
    };
    for (const Case& c : cases) {
        platform.advance(1s);  // names of its own
        c.seed();
        op.setDateText(c.day);
        everyLine.clear();
        EXPECT_EQ(summarize(), kNullAmount) << c.day;
        ASSERT_FALSE(everyLine.empty()) << c.day;
        EXPECT_EQ(everyLine.back(), c.lastStep) << c.day;
        Lines made{form->scratchTable};
        if (c.viewMade) made.push_back(form->scratchView);
        EXPECT_EQ(currentObjects(), made) << c.day;
        EXPECT_EXIT(cleanUpAndCloseInChild(), ::testing::ExitedWithCode(0), "closed") << c.day;
    }
}

TEST_F(Summary, TheCleanUpDoesNothingBeforeTheFirstSummary) {
    ASSERT_TRUE(form->scratchView.empty());
    ASSERT_TRUE(form->scratchTable.empty());
    const std::string relations = erpValue("SELECT COUNT(*) FROM RDB$RELATIONS");
    erp->close();
    EXPECT_NO_THROW(summary::cleanUpScratch(*form));
    op.confirmAnswers = {true};
    EXPECT_TRUE(form->FormClose());
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM RDB$RELATIONS"), relations);
    EXPECT_TRUE(op.boxes.size() == 1 && op.boxes[0].kind == Kind::Confirm);
}

TEST_F(Summary, TheCleanUpDropsOnlyTheObjectsOfTheLastSummary) {
    seedDay();
    ASSERT_EQ(summarize(), "");
    platform.advance(1s);
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "TMP_A090001", "VIEW_Z090000", "VIEW_Z090001"}));
    summary::cleanUpScratch(*form);
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "VIEW_Z090000"}));
    EXPECT_NO_THROW(summary::cleanUpScratch(*form)) << "a second clean-up finds nothing to drop";
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "VIEW_Z090000"}));
}

TEST_F(Summary, ASecondSummaryInTheSameSecondReplacesTheFirstsObjects) {
    seedDay();
    ASSERT_EQ(summarize(), "");
    bill(kDay, "1", Value(655));
    ASSERT_EQ(summarize(), "");
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "VIEW_Z090000"}));
    const Lines rows = scratchRows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[1], "2|總金額=NT$ 13,000|13000|<null>|<null>");
    EXPECT_EQ(rows[5], "6|客單價=NT$ 342.11|342.11|來客數=NT$ 38|38");
    EXPECT_EQ(op.logLines, listingOfRows());
}

TEST_F(Summary, AConfirmedExitDropsTheScratchObjects) {
    seedDay();
    ASSERT_EQ(summarize(), "");
    op.confirmAnswers = {false};
    EXPECT_FALSE(form->FormClose());
    EXPECT_EQ(scratchObjects(), (Lines{"TMP_A090000", "VIEW_Z090000"}));
    op.confirmAnswers = {true};
    EXPECT_TRUE(form->FormClose());
    EXPECT_TRUE(scratchObjects().empty());
    EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "0");
}

}  // namespace
