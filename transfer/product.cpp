#include "transfer/product.h"

#include "base/text.h"
#include "transfer/table_copy.h"
#include "transfer/texts.h"

#include <algorithm>

namespace lumvik::transfer {

using db::Value;

namespace {

// The run's copy of PRODUCT, read at its first use; null when look-ups must go to the database.
TableCopy* productCopy(RunContext& run) {
    auto& products = run.caches().products;
    if (!products)
        products = run.plainErpTexts()
                       ? TableCopy::load(run.form.SQLConnection1, "PRODUCT", {"PROD_ID", "PROD_BARCODE"})
                       : nullptr;
    return products->get();
}

// The first product whose code or barcode is `code`, as the OR look-up finds it: -1 when none is,
// nothing when only the engine can tell.
std::optional<int> firstByCodeOrBarcode(const TableCopy& copy, const std::string& code) {
    const auto byCode = copy.first(0, Value(code)), byBarcode = copy.first(1, Value(code));
    if (!byCode || !byBarcode) return std::nullopt;
    if (*byCode < 0 || *byBarcode < 0) return std::max(*byCode, *byBarcode);
    return std::min(*byCode, *byBarcode);
}

// The resolution from the run's copy of PRODUCT; false (nothing logged) when only the engine can tell.
bool resolveFromCopy(RunContext& run, TableCopy& copy, const db::RowSet& line, const BillState& bill,
                     ProductResolution& r) {
    const std::string code = text::trimmed(line.field("PDC_NO").asString());
    const auto exact = copy.first(0, Value(code));
    const auto byCode = firstByCodeOrBarcode(copy, code),
               byTemp = firstByCodeOrBarcode(copy, run.tempProduct);
    if (!exact || !byCode || !byTemp) return false;
    db::RowSet& rows = copy.rows();
    if (*exact >= 0) {
        rows.moveTo(*exact);
        r.lineBarcode = line.field("tbar_code").asString();
        r.pdItemId =
            rows.field("PD_ITEMID").isNull() ? texts::kNoCategoryMarker : rows.field("PD_ITEMID").asString();
        rows.moveTo(*byCode);
    } else {
        run.log(bill.storeDate + " " + bill.storeNumber + " " + line.field("PDC_NO").asString() +
                texts::kUnknownProduct);
        r.lineBarcode = line.field("bar_code").asString();
        rows.moveTo(*byTemp);
        // A temporary product whose code is the unknown code itself keeps the empty category.
        if (run.tempProduct != code) r.pdItemId = rows.field("PD_ITEMID").asString();
    }
    r.product = &rows;
    return true;
}

}  // namespace

ProductResolution resolveProduct(RunContext& run, const db::RowSet& line, const BillState& bill) {
    ProductResolution r;
    if (TableCopy* copy = productCopy(run); copy != nullptr && resolveFromCopy(run, *copy, line, bill, r))
        return r;
    db::RowSet& product = run.form.CDS_T2;
    const std::string code = text::trimmed(line.field("PDC_NO").asString());
    product.close();
    product.setCommandText("SELECT * FROM PRODUCT  WHERE PROD_ID = " + wideKey(":CODE"));
    product.setParam("CODE", Value(code));
    product.open();
    std::string lookFor = code;
    if (product.recordCount() > 0) {
        r.lineBarcode = line.field("tbar_code").asString();
        r.pdItemId = product.field("PD_ITEMID").isNull() ? texts::kNoCategoryMarker
                                                         : product.field("PD_ITEMID").asString();
    } else {
        run.log(bill.storeDate + " " + bill.storeNumber + " " + line.field("PDC_NO").asString() +
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
    r.product = &product;
    return r;
}

}  // namespace lumvik::transfer
