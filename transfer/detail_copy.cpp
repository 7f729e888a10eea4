#include "base/text.h"
#include "transfer/bill_copy.h"
#include "transfer/texts.h"

#include <vector>

namespace lumvik::transfer {

using db::Value;
using text::parseDecimal;
using text::parseWhole;
using text::trimmed;

namespace {

std::string lineColumns() {
    std::string columns;
    for (std::size_t i = 0; i < db::kErpLineColumns.size(); ++i)
        columns += (i == 0 ? "" : ",") + std::string(db::kErpLineColumns[i]);
    return columns;
}

std::string lineInsert(const db::Family& family) {
    std::string marks;
    for (std::size_t i = 0; i < db::kErpLineColumns.size(); ++i)
        marks += i == 0 ? "?" : ",?";
    return std::string("INSERT INTO ") + family.erpLines + " (" + lineColumns() + ") VALUES (" + marks + ")";
}

// The product a line is tied to, and what resolution decided about it.
struct Resolution {
    std::string lineBarcode;
    std::string pdItemId;
};

Resolution resolveProduct(RunContext& run, const db::RowSet& line, const BillState& bill) {
    db::RowSet& product = run.form.CDS_T2;
    const std::string code = trimmed(line.field("PDC_NO").asString());
    product.close();
    product.setCommandText("SELECT * FROM PRODUCT  WHERE PROD_ID = " + wideKey(":CODE"));
    product.setParam("CODE", Value(code));
    product.open();
    Resolution r;
    std::string lookFor = code;
    if (product.recordCount() > 0) {
        r.lineBarcode = line.field("tbar_code").asString();
        r.pdItemId = product.field("PD_ITEMID").isNull() ? texts::kNoCategoryMarker
                                                         : product.field("PD_ITEMID").asString();
    } else {
        run.op().log(bill.storeDate + " " + bill.storeNumber + " " + line.field("PDC_NO").asString() +
                     texts::kUnknownProduct);
        lookFor = run.tempProduct;
        r.lineBarcode = line.field("bar_code").asString();
    }
    // The product values come from the first product whose code or barcode is the code; the
    // category stays the one of the exact code.
    product.close();
    product.setCommandText("SELECT * FROM PRODUCT  WHERE PROD_ID = " + wideKey(":CODE") +
                           " OR PROD_BARCODE = " + wideKey(":CODE"));
    product.setParam("CODE", Value(lookFor));
    product.open();
    if (lookFor != code) r.pdItemId = product.field("PD_ITEMID").asString();
    return r;
}

struct Costs {
    double standard = 0;
    double average = 0;
};

Costs lineCosts(RunContext& run, const db::RowSet& line, const db::RowSet& product) {
    Costs c;
    const std::string defProfit = product.field("DEF_PROFIT").asString();
    if (const auto profit = text::tryParseWhole(defProfit); profit && *profit != 0) {
        const double f = (100 - parseDecimal(defProfit)) / 100;
        c.standard = line.field("U_PRICE").asFloat() * f;
        c.average = c.standard;
        return c;
    }
    if (parseWhole(line.field("PAK_QTY").asString()) < 2) {
        c.standard = product.field("STD_COST").asFloat();
    } else {
        db::SqlQuery& packs = run.form.SQL_PRODSALE;
        packs.close();
        packs.sql().clear();
        packs.sql().add("SELECT * FROM PROD_SALE ");
        packs.sql().add(" WHERE  SAL_BARCODE = " + wideKey("?") + " ");
        packs.setParams({Value(line.field("V_BAR_CODE").asString())});
        packs.open();
        if (packs.field("SAL_BARCODE").isNull() || packs.field("STD_COST").asFloat() == 0) {
            c.standard = product.field("STD_COST").asFloat();
        } else {
            const double packQty = packs.field("PACK_QTY").asFloat();
            // A pack of no pieces has no cost per piece: the line fails as a division by zero would.
            if (packQty == 0) throw std::runtime_error("Floating point division by zero");
            c.standard = packs.field("STD_COST").asFloat() / packQty;
        }
        packs.close();
    }
    c.average = product.field("AVG_COST").asFloat();
    return c;
}

void copyLine(RunContext& run, const db::Family& family, const db::RowSet& line, BillState& bill,
              const Resolution& r) {
    const db::RowSet& product = run.form.CDS_T2;
    auto text = [&](const char* name) { return line.field(name).asString(); };
    auto decimal = [&](const char* name) { return Value(parseDecimal(trimmed(text(name)))); };
    bill.number = text("SAL_NO");

    std::string quantity = std::to_string(parseWhole(text("SAL_QTY")));
    if (text("SAL_CODE") == texts::kReturnCode && quantity.front() != '-') quantity = "-" + quantity;
    double salePrice = parseDecimal(product.field("PSALE_PRICE").asString());
    if (const double stdPrice = parseDecimal(text("STD_PRICE")); stdPrice != 0) salePrice = stdPrice;
    const std::string taxKind =
        text("TAX_KIND").empty() ? product.field("TAX_KIND").asString() : text("TAX_KIND");
    const Costs costs = lineCosts(run, line, product);

    std::vector<Value> values{
        Value(bill.date),                                           // SAL_DATE
        Value(bill.number),                                         // SAL_NO
        Value(text("ORD_NO")),                                      // ORD_NO
        Value(product.field("PROD_ID").asString()),                 // PROD_ID
        Value(text("CO_NAME")),                                     // CO_NAME
        Value(text("RCO_NAME")),                                    // RCO_NAME
        Value(quantity),                                            // SAL_QTY
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
        Value(costs.standard),                                      // STD_COST
        Value(costs.average),                                       // AVG_COST
        Value(product.field("MS").asString()),                      // MS
        Value(taxKind),                                             // TAX_KIND
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
        Value(salePrice),                                           // PSALE_PRICE
        Value(parseDecimal(text("STD_PRICE_BAS"))),                 // STD_PRICE_BAS
        Value(parseDecimal(text("HEA_TAX"))),                       // HEA_TAX
        Value(parseDecimal(text("HEA_AMT"))),                       // HEA_AMT
        Value(run.today()),                                         // chg_date
    };
    run.fitToColumns(values, std::string("SELECT ") + lineColumns() + " FROM " + family.erpLines);
    run.form.SQLConnection1.execute(lineInsert(family), values);
    ++run.counts.linesCopied;
}

}  // namespace

void copyLines(RunContext& run, const db::Family& family, BillState& bill) {
    FormCore& form = run.form;
    form.CDS_T1.close();
    // The bill's values are bound, so each of these statements is prepared once for all bills.
    form.CDS_T1.setCommandText(std::string("DELETE FROM ") + family.erpLines + " WHERE SAL_DATE = " +
                               wideKey(":SAL_DATE") + "  and SAL_NO = " + wideKey(":SAL_NO"));
    form.CDS_T1.setParam("SAL_DATE", Value(bill.date));
    form.CDS_T1.setParam("SAL_NO", Value(bill.number));
    form.CDS_T1.execute();

    // Both halves of the union are the same select, so two store lines equal in every column
    // become one line.
    const std::string select = std::string("SELECT * FROM ") + family.storeLines +
                               " WHERE SAL_DATE = :SAL_DATE and SAL_NO = :SAL_NO";
    db::RowSet& lines = form.CDS_S2;
    lines.close();
    lines.setCommandText(select + " UNION " + select);
    lines.setParam("SAL_DATE", Value(bill.storeDate));
    lines.setParam("SAL_NO", Value(bill.number));
    lines.open();
    if (lines.recordCount() == 0) return;

    run.op().setLineProgress(0, lines.recordCount());
    for (lines.first(); !lines.eof(); lines.next()) {
        run.op().stepLineProgress();
        const Resolution r = resolveProduct(run, lines, bill);
        if (r.pdItemId == texts::kNoCategoryMarker) {
            run.op().log(bill.date + bill.number + "__" + trimmed(lines.field("PDC_NO").asString()) +
                         texts::kNoCategory);
            continue;
        }
        try {
            copyLine(run, family, lines, bill, r);
        } catch (const std::exception&) {
            run.op().log(bill.date + bill.number + "__" + form.CDS_T2.field("PROD_ID").asString() +
                         texts::kDetailError);
        }
    }
}

}  // namespace lumvik::transfer
