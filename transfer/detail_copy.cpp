#include "transfer/detail_copy.h"

#include "base/text.h"
#include "transfer/line_cost.h"
#include "transfer/product.h"
#include "transfer/texts.h"

#include <array>
#include <vector>

namespace lumvik::transfer {

using db::Value;
using text::parseDecimal;
using text::parseWhole;
using text::trimmed;

namespace {

const std::string& lineColumns() {
    static const std::string columns = [] {
        std::string list;
        for (std::size_t i = 0; i < db::kErpLineColumns.size(); ++i)
            list += (i == 0 ? "" : ",") + std::string(db::kErpLineColumns[i]);
        return list;
    }();
    return columns;
}

// The line insert of a family, every value bound: one text, prepared once.
const std::string& lineInsert(const db::Family& family) {
    static std::array<std::string, 4> inserts;
    std::string& insert = inserts.at(static_cast<std::size_t>(family.index));
    if (insert.empty()) {
        insert = std::string("INSERT INTO ") + family.erpLines + " (" + lineColumns() + ") VALUES (" +
                 text::parameterMarks(db::kErpLineColumns.size()) + ")";
    }
    return insert;
}

// The line's columns as a query reads them, for their types.
const std::string& lineSelect(const db::Family& family) {
    static std::array<std::string, 4> selects;
    std::string& select = selects.at(static_cast<std::size_t>(family.index));
    if (select.empty()) select = std::string("SELECT ") + lineColumns() + " FROM " + family.erpLines;
    return select;
}

// What the line copy works out from a line and its product before writing it. The cost rule comes
// last, as it may read PROD_SALE: a line that fails before it never runs that statement.
struct LineFigures {
    std::string quantity;
    double salePrice = 0;
    std::string taxKind;
    LineCosts costs;
};

LineFigures lineFigures(RunContext& run, const db::RowSet& line, const db::FieldSource& product) {
    auto text = [&](const char* name) { return line.field(name).asString(); };
    LineFigures figures;
    figures.quantity = std::to_string(parseWhole(text("SAL_QTY")));
    if (text("SAL_CODE") == texts::kReturnCode && figures.quantity.front() != '-')
        figures.quantity = "-" + figures.quantity;
    figures.salePrice = parseDecimal(product.field("PSALE_PRICE").asString());
    if (const double stdPrice = parseDecimal(text("STD_PRICE")); stdPrice != 0) figures.salePrice = stdPrice;
    figures.taxKind = text("TAX_KIND").empty() ? product.field("TAX_KIND").asString() : text("TAX_KIND");
    figures.costs = lineCosts(run, line, product);
    return figures;
}

// The values of the line insert, in the order of db::kErpLineColumns.
std::vector<Value> lineValues(const RunContext& run, const db::RowSet& line, const db::FieldSource& product,
                              const BillState& bill, const ProductResolution& r, const LineFigures& figures) {
    auto text = [&](const char* name) { return line.field(name).asString(); };
    auto decimal = [&](const char* name) { return Value(parseDecimal(trimmed(text(name)))); };
    return {
        Value(bill.date),                                           // SAL_DATE
        Value(bill.number),                                         // SAL_NO
        Value(text("ORD_NO")),                                      // ORD_NO
        Value(product.field("PROD_ID").asString()),                 // PROD_ID
        Value(text("CO_NAME")),                                     // CO_NAME
        Value(text("RCO_NAME")),                                    // RCO_NAME
        Value(figures.quantity),                                    // SAL_QTY
        Value(text("AMT")),                                         // AMT
        Value(text::generalNumber(parseDecimal(text("U_PRICE")))),  // U_PRICE
        Value(text("PER")),                                         // PER
        Value(text("SAL_CODE")),                                    // SAL_CODE
        Value(text("V_CODE")),                                      // V_CODE
        Value(text("TASTE")),                                       // TASTE
        Value(text("TEMP_NO")),                                     // TEMP_NO
        Value(product.field("PROD_BARCODE").asString()),            // BAR_CODE
        Value(text("PDC_NO")),                                      // PROD_ID2
        Value(product.field("PROD_NAME").asString()),               // PROD_NAME
        Value(product.field("PROD_SCALE").asString()),              // PROD_SCALE
        Value(product.field("UNITNAME").asString()),                // UNITNAME
        Value(product.field("STOCK_QTY").asString()),               // STOCK_QTY
        Value(bill.stock),                                          // STOCK_ID
        Value(bill.store),                                          // STORE_ID
        Value(r.pdItemId),                                          // PD_ITEMID
        Value(text("SAL_CODE")),                                    // FLAG
        Value(figures.costs.standard),                              // STD_COST
        Value(figures.costs.average),                               // AVG_COST
        Value(product.field("MS").asString()),                      // MS
        Value(figures.taxKind),                                     // TAX_KIND
        Value(text("BAT_CODE")),                                    // BAT_CODE
        Value(text("V_BAR_CODE")),                                  // V_BAR_CODE
        Value(text("V_PDC_NO")),                                    // V_PDC_NO
        Value(parseWhole(trimmed(text("PAK_QTY")), 1)),             // PAK_QTY
        Value(parseWhole(trimmed(text("ORG_QTY")), 1)),             // ORG_QTY
        Value(line.field("ORG_PRICE").asFloat()),                   // ORG_PRICE
        Value(line.field("rdd_price").asFloat()),                   // rdd_price
        Value(text("billid_no")),                                   // bill_no
        Value(r.lineBarcode),                                       // tbar_code
        decimal("dis_per"),                                         // dis_per
        decimal("dis_amt"),                                         // dis_amt
        decimal("ttt_amt"),                                         // ttt_amt
        decimal("ttt_amt_n"),                                       // ttt_amt_n
        decimal("dis_share"),                                       // dis_share
        decimal("ttt_share"),                                       // ttt_share
        Value(text("TEMPPRODID")),                                  // tempprodid
        Value(parseDecimal(product.field("FREE_TAX").asString())),  // free_tax
        Value(product.field("PUT_ID").asString()),                  // PUT_ID
        Value(figures.salePrice),                                   // PSALE_PRICE
        Value(parseDecimal(text("STD_PRICE_BAS"))),                 // STD_PRICE_BAS
        Value(parseDecimal(text("HEA_TAX"))),                       // HEA_TAX
        Value(parseDecimal(text("HEA_AMT"))),                       // HEA_AMT
        Value(run.today()),                                         // chg_date
    };
}

void copyLine(RunContext& run, const db::Family& family, const db::RowSet& line, BillState& bill,
              const ProductResolution& r) {
    const db::RowSet& product = *r.product;
    bill.number = line.field("SAL_NO").asString();
    const LineFigures figures = lineFigures(run, line, product);
    std::vector<Value> values = lineValues(run, line, product, bill, r, figures);
    run.fitToColumns(values, lineSelect(family));
    run.insertCounted(
        lineInsert(family), std::move(values),
        bill.date + bill.number + "__" + product.field("PROD_ID").asString() + texts::kDetailError,
        run.counts.linesCopied);
}

// The bill's old ERP lines are deleted, unless the family's look-ups know it has none.
void deleteOldLines(RunContext& run, const db::Family& family, const BillState& bill,
                    FamilyLookups& lookups) {
    if (FamilyLookups::holds(lookups.lines, bill.date, bill.number) == false) return;
    db::RowSet& t1 = run.form.CDS_T1;
    t1.close();
    // The bill's values are bound, so each of these statements is prepared once for all bills.
    t1.setCommandText(std::string("DELETE FROM ") + family.erpLines +
                      " WHERE SAL_DATE = " + wideKey(":SAL_DATE") + "  and SAL_NO = " + wideKey(":SAL_NO"));
    t1.setParam("SAL_DATE", Value(bill.date));
    t1.setParam("SAL_NO", Value(bill.number));
    t1.execute();
    FamilyLookups::removed(lookups.lines, bill.date, bill.number);
}

// The bill's store lines into CDS_S2, from the family's look-ups when they hold them.
db::RowSet& readStoreLines(RunContext& run, const db::Family& family, const BillState& bill,
                           FamilyLookups& lookups) {
    db::RowSet& lines = run.form.CDS_S2;
    if (lookups.storeLines && lookups.storeLines->fill(lines, bill.storeDate, bill.number)) return lines;
    // Both halves of the union are the same select, so two store lines equal in every column
    // become one line.
    const std::string select = std::string("SELECT * FROM ") + family.storeLines +
                               " WHERE SAL_DATE = :SAL_DATE and SAL_NO = :SAL_NO";
    lines.close();
    lines.setCommandText(select + " UNION " + select);
    lines.setParam("SAL_DATE", Value(bill.storeDate));
    lines.setParam("SAL_NO", Value(bill.number));
    lines.open();
    return lines;
}

}  // namespace

void copyLines(RunContext& run, const db::Family& family, BillState& bill, FamilyLookups& lookups) {
    deleteOldLines(run, family, bill, lookups);
    db::RowSet& lines = readStoreLines(run, family, bill, lookups);
    if (lines.recordCount() == 0) return;

    run.op().setLineProgress(0, lines.recordCount());
    for (lines.first(); !lines.eof(); lines.next()) {
        run.op().stepLineProgress();
        const ProductResolution r = resolveProduct(run, lines, bill);
        if (r.pdItemId == texts::kNoCategoryMarker) {
            run.log(bill.date + bill.number + "__" + trimmed(lines.field("PDC_NO").asString()) +
                    texts::kNoCategory);
            continue;
        }
        try {
            copyLine(run, family, lines, bill, r);
            FamilyLookups::added(lookups.lines, bill.date, bill.number);
        } catch (const std::exception&) {
            run.log(bill.date + bill.number + "__" + r.product->field("PROD_ID").asString() +
                    texts::kDetailError);
        }
    }
}

}  // namespace lumvik::transfer
