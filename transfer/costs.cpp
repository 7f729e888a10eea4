#include "transfer/costs.h"

#include "base/text.h"
#include "transfer/bill_state.h"
#include "transfer/claimed_rows.h"
#include "transfer/cost_lines.h"
#include "transfer/keyed_write.h"
#include "transfer/texts.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

namespace lumvik::transfer {

using db::Value;

namespace {

// The line cost statement, its values bound. The keys are compared as wide texts, as the quoted
// texts were: a key longer than the line's column then matches no line instead of failing.
constexpr const char* kCostStatement =
    "UPDATE POS_SUB SET AVG_COST = ?\r\n, STD_COST = ?\r\nWHERE SAL_DATE = CAST(? AS VARCHAR(255))\r\n"
    "AND SAL_NO = CAST(? AS VARCHAR(255))\r\nAND PROD_ID = CAST(? AS VARCHAR(255))\r\n"
    "and CAST(ORD_NO AS Int) = ?";

// A number text as the SQL literal it spells: digits with an optional point are an exact decimal,
// a text with an exponent is a double.
Value costLiteral(const std::string& number) {
    if (number.find_first_of("Ee") != std::string::npos) return Value(std::strtod(number.c_str(), nullptr));
    std::int64_t mantissa = 0;
    int scale = 0;
    bool afterPoint = false;
    for (const char c : number) {
        if (c == '.') {
            afterPoint = true;
        } else if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            if (afterPoint) --scale;
        }
    }
    return Value::scaled(number.front() == '-' ? -mantissa : mantissa, scale);
}

// The ERP rows whose cost could not be put on a line stay 'W', named in the log, so that they are seen
// and mended at the source instead of ending the run.
struct CostKey {
    Value date, salNo, prodId, ordNo;
};

void writeCostRow(const db::RowSet& row, const std::string& date, db::RowSet& lookup, SideKeys& keys) {
    const Value& cost = row.field("P_COST");
    // A cost of 0 is not written: its look-up is of no use.
    const bool zero = !cost.isNull() && cost.asFloat() == 0;
    if (zero && keys.fromMemory()) return;
    const Value salNo(row.field("SAL_NO").asString());
    const bool added = openLookup(lookup, "POS_COST", keys, {Value(date), salNo, row.field("ORD_NO")}, [&] {
        // A row without line number finds the ERP row written for it before, instead of adding one
        // more on every run.
        const bool noOrdNo = row.field("ORD_NO").isNull();
        // The bill's keys are compared as wide texts, as the bill copy's are: a key longer than the
        // ERP's column (whose bill cannot be there either) finds no row instead of failing the look-up
        // and ending the run. A line number the ERP cannot hold still fails it, so that its cost waits
        // in the store until it is mended rather than being dropped.
        lookup.setCommandText("Select * from POS_COST  WHERE SAL_DATE = " + wideKey(":SAL_DATE") +
                              "  AND SAL_NO = " + wideKey(":SAL_NO") +
                              (noOrdNo ? "  AND ORD_NO IS NULL " : "  AND ORD_NO = :ORD_NO "));
        lookup.setParam("SAL_DATE", Value(date));
        lookup.setParam("SAL_NO", salNo);
        if (!noOrdNo) lookup.setParam("ORD_NO", row.field("ORD_NO"));
        lookup.open();
    });
    if (zero) return;
    const bool written = keyedWrite(lookup,
                                    {{"SAL_DATE", Value(date)},
                                     {"SAL_NO", salNo},
                                     {"ORD_NO", row.field("ORD_NO")},
                                     {"PROD_ID", Value(row.field("PROD_ID").asString())},
                                     {"P_COST", cost},
                                     {"U_PRICE", row.field("U_PRICE")},
                                     {"SAL_QTY", row.field("SAL_QTY")},
                                     {"TRN_CODE", Value("W")}},
                                    keys.batch());
    if (added && written) keys.added({Value(date), salNo, row.field("ORD_NO")});
}

// Puts the cost of every ERP cost row still 'W' (left open in ClientDataSet1) on its copied line, and
// returns the rows whose line number is no whole number.
std::vector<CostKey> putCostsOnLines(RunContext& run) {
    db::RowSet& written = run.form.ClientDataSet1;
    written.close();
    written.setCommandText("SELECT * FROM POS_COST WHERE TRN_CODE = 'W' ");
    written.open();
    std::optional<CostLines> lines;
    if (written.recordCount() > 0 && run.plainErpTexts()) {
        std::set<std::string> days;
        for (written.first(); !written.eof(); written.next())
            days.insert(written.field("SAL_DATE").asString());
        lines = CostLines::load(run.form.SQLConnection1, {days.begin(), days.end()});
    }
    std::vector<CostKey> leftWaiting;
    for (written.first(); !written.eof(); written.next()) {
        const std::string ordNo = written.field("ORD_NO").asString();
        const std::string salDate = written.field("SAL_DATE").asString();
        const std::string salNo = written.field("SAL_NO").asString();
        const std::string prodId = written.field("PROD_ID").asString();
        if (!text::tryParseWhole(ordNo)) {
            run.log(std::string("POS_COST ORD_NO") + texts::kBadOrdNo + salDate + "__" + salNo + "__" +
                    prodId + "__" + ordNo);
            leftWaiting.push_back({written.field("SAL_DATE"), written.field("SAL_NO"),
                                   written.field("PROD_ID"), written.field("ORD_NO")});
            continue;
        }
        // A cost the store does not know leaves the costs the line copy worked out.
        if (written.field("P_COST").isNull()) continue;
        const std::string costText =
            text::generalNumber(text::parseDecimal(written.field("P_COST").asString()));
        // The cost's general number text, bound as the literal it would be (an exact decimal, or a
        // double when it has an exponent), so one prepared statement serves every row.
        const Value cost = costLiteral(costText);
        const std::int64_t line = *text::tryParseWhole(ordNo);
        // The lines the statement would change, found by their addresses when that can be told.
        if (const auto reached = lines ? lines->reached(salDate, salNo, prodId, line) : std::nullopt) {
            for (const auto& address : *reached) {
                if (db::Batch* batch = run.erpBatch())
                    batch->add(kCostByAddress, {cost, cost, Value(address)}, [](const db::DbError* failure) {
                        // A cost that cannot be put on its line ends the run, as it does on its own.
                        if (failure != nullptr) throw *failure;
                    });
                else
                    run.form.SQLConnection1.execute(kCostByAddress, {cost, cost, Value(address)});
            }
            continue;
        }
        run.form.SQLConnection1.execute(
            kCostStatement, {cost, cost, Value(salDate), Value(salNo), Value(prodId), Value(line)});
    }
    return leftWaiting;
}

// Every ERP cost row still 'W' becomes 'Y', but for those left waiting.
void closeWrittenCosts(RunContext& run, const std::vector<CostKey>& leftWaiting) {
    db::RowSet& written = run.form.ClientDataSet1;
    std::string closing = "update POS_COST set TRN_CODE = 'Y' where trn_code = 'W' ";
    std::vector<Value> keys;
    for (const auto& key : leftWaiting) {
        closing +=
            " and not (SAL_DATE is not distinct from ? and SAL_NO is not distinct from ? and PROD_ID is not "
            "distinct "
            "from ? and ORD_NO is not distinct from ?)";
        keys.insert(keys.end(), {key.date, key.salNo, key.prodId, key.ordNo});
    }
    if (keys.empty()) {
        written.close();
        written.setCommandText(closing);
        written.execute();
    } else {
        run.form.SQLConnection1.execute(closing, keys);
    }
}

}  // namespace

void transferCosts(RunContext& run) {
    run.op().log(texts::kCostsLine);
    claimRows(run, run.op().transferMode(), "POS_COST", kClaimWait);
    run.counts.moved.sideRows["POS_COST"] +=
        copyClaimedRows(run, run.form.CDS_S1, "SELECT * FROM POS_COST WHERE TRN_CODE = 'Wait' ", "POS_COST",
                        {"SAL_DATE", "SAL_NO", "ORD_NO"}, writeCostRow,
                        [&] { closeWrittenCosts(run, putCostsOnLines(run)); });
    run.form.SQLQuery2.execLines(
        {"UPDATE POS_COST SET TRN_CODE = 'True' ", " WHERE TRN_CODE = 'Wait' AND P_COST <> 0 "});
}

}  // namespace lumvik::transfer
