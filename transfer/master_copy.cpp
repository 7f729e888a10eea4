#include "transfer/master_copy.h"

#include "app/shell/date_forms.h"
#include "base/codepage.h"
#include "base/text.h"
#include "transfer/bill_state.h"
#include "transfer/detail_copy.h"
#include "transfer/family_lookups.h"
#include "transfer/table_copy.h"
#include "transfer/texts.h"

#include <array>
#include <cstddef>
#include <optional>

namespace lumvik::transfer {

using db::Value;
using text::trimmed;

namespace {

// The header insert, with every value bound: the statement text never changes, so it is prepared
// once, and no value from the store can alter it.
const std::string& headerInsert(const db::Family& family) {
    static std::array<std::string, 4> inserts;
    std::string& insert = inserts.at(static_cast<std::size_t>(family.index));
    if (insert.empty()) {
        insert = std::string("INSERT INTO ") + family.erpMaster + db::erpMasterColumnList(true) + "VALUES(" +
                 text::parameterMarks(db::kErpMasterColumns.size()) + ")";
    }
    return insert;
}

// The header's columns as a query reads them, for their types.
const std::string& headerColumns(const db::Family& family) {
    static std::array<std::string, 4> selects;
    std::string& select = selects.at(static_cast<std::size_t>(family.index));
    if (select.empty())
        select = std::string("SELECT ") +
                 db::erpMasterColumnList(true).substr(1, db::erpMasterColumnList(true).size() - 3) +
                 " FROM " + family.erpMaster;
    return select;
}

constexpr std::size_t kStockColumn = 25;

// A value written bare into the header: the store's number text as it stands (the server reads it
// into the column's type, and a text that is no number makes the insert fail). An empty text, from
// a NULL, stays NULL.
Value bare(const std::string& numberText) {
    return numberText.empty() ? Value() : Value(numberText);
}

Value decimalText(const db::Value& field) {
    return Value(text::generalNumber(text::parseDecimal(field.asString())));
}

Value wholeText(const db::Value& field) {
    return Value(std::to_string(text::parseWhole(field.asString())));
}

std::array<Value, 50> headerValues(const RunContext& run, const db::RowSet& row, const BillState& bill) {
    auto f = [&](const char* name) -> const db::Value& { return row.field(name); };
    auto t = [&](const char* name) { return trimmed(f(name).asString()); };
    const std::string visaNo = cp950::leftBytes(f("VISA_NO").asString(), 16);
    const std::string canDate = f("CAN_DATE").asString();
    const std::string iCashGive = f("iCash_Give").asString();
    return {
        Value(bill.date),                                         // SAL_DATE
        Value(bill.number),                                       // SAL_NO
        Value(bill.machine),                                      // MCH_NO
        Value(t("CO_NO")),                                        // CO_NO
        Value(t("CO_CODE")),                                      // CO_CODE
        Value(t("SAL_TIME")),                                     // SAL_TIME
        Value(t("CST_NO")),                                       // MEMBER_ID
        Value(t("HU_PER")),                                       // HU_PER
        Value(t("CLASS_NO")),                                     // CLASS_NO
        Value(t("MAN_CODE")),                                     // SALES_ID
        bare(t("SAL_AMT")),                                       // SAL_AMT
        bare(t("DISCOUNT")),                                      // DISCOUNT
        bare(t("DIS_TTT")),                                       // DIS_TTT
        bare(t("REL_SAL")),                                       // REL_SAL
        bare(t("CASH")),                                          // CASH
        bare(t("VISA")),                                          // CREDIT
        bare(t("DISROL")),                                        // DISROL
        f("GIVE").isNull() ? Value("0") : bare(t("GIVE")),        // GIVE
        bare(t("PDCSHET")),                                       // PDCSHET
        decimalText(f("REL_RCV")),                                // REL_RCV
        decimalText(f("CHANGE")),                                 // CHANGE
        Value(trimmed(visaNo)),                                   // CREDIT_ID
        Value(t("USE_TYPE")),                                     // USE_TYPE
        Value(t("TAB_NO")),                                       // TAB_NO
        Value(bill.store),                                        // STORE_ID
        Value(),                                                  // STOCK_ID, known after the machine look-up
        Value(texts::kSaleFlag),                                  // FLAG
        decimalText(f("I_POINT")),                                // I_POINT
        decimalText(f("U_POINT")),                                // U_POINT
        Value(f("CARD_ID").asString()),                           // CARD_ID
        Value(iCashGive.empty() ? std::string("0") : iCashGive),  // ICASH_GIVE
        Value(f("VISA_MODE").asString()),                         // VISA_MODE
        Value(visaNo),                                            // VISA_NO
        Value(f("CST_NO").asString()),                            // CST_NO
        wholeText(f("DIS_PRICE")),                                // DIS_PRICE
        Value(canDate.empty() ? std::string() : dates::rocToGregorian(canDate)),  // CAN_DATE
        Value(f("DIS_NO").asString()),                                            // dis_no
        decimalText(f("DIS_PER")),                                                // dis_per
        Value(f("MAN_SALE").asString()),                                          // MAN_SALE
        Value(f("CR_FLAG").asString()),                                           // CR_FLAG
        Value(f("IC_CARD").asString()),                                           // IC_CARD
        wholeText(f("IC_AMT")),                                                   // IC_AMT
        decimalText(f("N_RECAMT")),                                               // N_RECAMT
        decimalText(f("THEA_AMT")),                                               // THEA_AMT
        Value(run.today()),                                                       // CHG_DATE
        decimalText(f("POINT_CASH")),                                             // POINT_CASH
        decimalText(f("POINT_RATE")),                                             // POINT_RATE
        decimalText(f("CONSUMER")),                                               // CONSUMER
        Value(f("INV3_SW").asString()),                                           // INV3_SW
        Value(f("INV3_MODE").asString()),                                         // INV3_MODE
    };
}

// Whether the bill already stands among the bills turned into sales orders. Families 2 and 3, and
// mode 2, use a look-up that finds nothing, so all their bills are copied.
bool exported(RunContext& run, const db::Family& family, const db::RowSet& row, std::string& gregorian,
              const FamilyLookups& lookups) {
    const bool neverSkipped = family.index >= 2 || run.op().transferMode() == 2;
    if (neverSkipped && lookups.exportedAlways) return *lookups.exportedAlways;
    if (!neverSkipped) {
        gregorian = dates::rocToGregorian(row.field("SAL_DATE").asString());
        const auto found =
            FamilyLookups::holds(lookups.exported, gregorian, trimmed(row.field("SAL_NO").asString()));
        if (found) return *found;
    }
    db::SqlQuery& q = run.form.SQL_TQuery;
    q.close();
    q.sql().clear();
    q.sql().add("SELECT * FROM POSTOSALE ");
    if (neverSkipped) {
        q.sql().add("WHERE SAL_DATE = '9999' ");
    } else {
        // The bill's values bound: one prepared statement for every bill.
        q.sql().add("WHERE SAL_DATE = " + wideKey("?") + " ");
        q.sql().add("AND SAL_NO = " + wideKey("?") + " ");
        q.setParams({Value(gregorian), Value(trimmed(row.field("SAL_NO").asString()))});
    }
    q.open();
    const bool found = !q.field("SAL_NO").isNull();
    q.close();
    return found;
}

// Thrown to abandon a bill after its own message has been logged.
struct BillAbandoned : std::runtime_error {
    BillAbandoned() : std::runtime_error("bill abandoned") {}
};

// The stock of the bill's machine; a machine missing from MCH_ITEM abandons the bill.
std::string machineStock(RunContext& run, const std::string& machine) {
    auto& machines = run.caches().machines;
    if (!machines)
        machines = run.fromMemory && run.plainErpTexts()
                       ? TableCopy::load(run.form.SQLConnection1, "MCH_ITEM", {"MCH_NO"})
                       : nullptr;
    if (const auto row = *machines ? (*machines)->first(0, Value(machine)) : std::nullopt) {
        if (*row < 0) {
            run.log(machine + texts::kUnknownMachine);
            throw BillAbandoned();
        }
        (*machines)->rows().moveTo(*row);
        return (*machines)->rows().field("STOCK_ID").asString();
    }
    db::RowSet& stock = run.form.CDS_STOCK;
    stock.close();
    stock.setCommandText("SELECT * FROM MCH_ITEM WHERE MCH_NO = " + wideKey(":MCH_NO"));
    stock.setParam("MCH_NO", Value(machine));
    stock.open();
    if (stock.recordCount() == 0) {
        run.log(machine + texts::kUnknownMachine);
        throw BillAbandoned();
    }
    return stock.field("STOCK_ID").asString();
}

// Deletes the ERP copy of the bill when one is there. Its failure is handed back: the header is still
// written, and the failure then ends the bill.
std::exception_ptr deleteOlderCopy(RunContext& run, const db::Family& family, const BillState& bill,
                                   FamilyLookups& lookups) {
    db::RowSet& t1 = run.form.CDS_T1;
    const std::string key =
        " WHERE SAL_DATE = " + wideKey(":SAL_DATE") + " AND SAL_NO = " + wideKey(":SAL_NO");
    std::optional<bool> present = FamilyLookups::holds(lookups.bills, bill.date, bill.number);
    if (!present) {
        t1.close();
        t1.setCommandText(std::string("SELECT SAL_DATE,SAL_NO FROM ") + family.erpMaster + key);
        t1.setParam("SAL_DATE", Value(bill.date));
        t1.setParam("SAL_NO", Value(bill.number));
        t1.open();
        present = t1.recordCount() > 0;
    }
    if (!*present) return {};
    try {
        t1.close();
        t1.setCommandText(std::string("DELETE FROM ") + family.erpMaster + key);
        t1.setParam("SAL_DATE", Value(bill.date));
        t1.setParam("SAL_NO", Value(bill.number));
        t1.execute();
        FamilyLookups::removed(lookups.bills, bill.date, bill.number);
    } catch (const std::exception&) {
        return std::current_exception();
    }
    return {};
}

// The header insert; a failure is logged by the bill's date and number. A bill already present is
// written like a new one, INV3_SW and INV3_MODE included, so that the copy keeps them.
void writeHeader(RunContext& run, const db::Family& family, const BillState& bill, std::vector<Value> bound,
                 FamilyLookups& lookups) {
    try {
        run.fitToColumns(bound, headerColumns(family));
        // Queued, it is taken as written: a failed insert then only costs the next copy of the bill a
        // delete that finds nothing.
        const bool queued = run.erpBatch() != nullptr;
        if (queued) FamilyLookups::added(lookups.bills, bill.date, bill.number);
        run.insertCounted(headerInsert(family), std::move(bound), bill.date + bill.number,
                          run.counts.billsCopied);
        if (!queued) FamilyLookups::added(lookups.bills, bill.date, bill.number);
    } catch (const std::exception&) {
        run.log(bill.date + bill.number);
    }
}

void copyBill(RunContext& run, const db::Family& family, const db::RowSet& row, BillState& bill,
              FamilyLookups& lookups) {
    run.op().stepBillProgress();
    bill = BillState{};
    bill.storeDate = row.field("SAL_DATE").asString();
    bill.storeNumber = row.field("SAL_NO").asString();
    bill.number = trimmed(bill.storeNumber);
    // Until the date is converted the bill's messages name it by its store date, so that a bill
    // whose date is no date can still be found from the log.
    bill.date = bill.storeDate;
    bill.date = dates::rocToGregorian(bill.storeDate);
    bill.machine = trimmed(row.field("MCH_NO").asString());
    auto values = headerValues(run, row, bill);
    bill.stock = machineStock(run, bill.machine);
    values[kStockColumn] = Value(bill.stock);

    const std::exception_ptr deleteFailure = deleteOlderCopy(run, family, bill, lookups);
    writeHeader(run, family, bill, std::vector<Value>(values.begin(), values.end()), lookups);
    if (deleteFailure) std::rethrow_exception(deleteFailure);
    copyLines(run, family, bill, lookups);
}

}  // namespace

void copyBills(RunContext& run, const db::Family& family) {
    db::RowSet& bills = run.form.CDS_S1;
    if (bills.recordCount() == 0) return;
    run.op().setBillProgress(0, bills.recordCount());
    BillState bill;
    // The ERP writes of up to kBillsPerCommit bills share one transaction: a commit waits for the disk,
    // and a stop before it loses nothing that a later run does not copy again, since the family's store
    // rows stay 'Wait' until its 'True' marking, which runs after the last commit. A bill that fails
    // still fails alone (its statement is undone, the transaction goes on).
    constexpr int kBillsPerCommit = 100;
    // The walk only reads the store: its reads share one read-only transaction instead of starting and
    // ending one for every bill.
    StatementGroup storeReads(run.form.SQLConSource, {.readOnly = true});
    FamilyLookups lookups = loadFamilyLookups(run, family, bills);
    std::optional<StatementGroup> group;
    int billsInGroup = 0;
    for (bills.first(); !bills.eof(); bills.next()) {
        if (billsInGroup == kBillsPerCommit) {
            group->commit();
            group.reset();
            billsInGroup = 0;
        }
        if (!group) group.emplace(run.form.SQLConnection1);
        ++billsInGroup;
        run.op().repaint();
        std::string gregorian;
        if (exported(run, family, bills, gregorian, lookups)) {
            if (gregorian.empty()) gregorian = dates::rocToGregorian(bills.field("SAL_DATE").asString());
            run.log(gregorian + ":" + bills.field("SAL_NO").asString() + texts::kExported);
            ++run.counts.billsSkipped;
            continue;
        }
        readStoreLinesFor(lookups, bills);
        try {
            copyBill(run, family, bills, bill, lookups);
        } catch (const std::exception&) {
            run.log(bill.date + bill.number + "!");
        }
    }
    if (group) group->commit();
}

}  // namespace lumvik::transfer
