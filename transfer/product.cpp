#include "transfer/product.h"

#include "base/text.h"
#include "transfer/texts.h"

namespace lumvik::transfer {

using db::Value;

ProductResolution resolveProduct(RunContext& run, const db::RowSet& line, const BillState& bill) {
    db::RowSet& product = run.form.CDS_T2;
    const std::string code = text::trimmed(line.field("PDC_NO").asString());
    product.close();
    product.setCommandText("SELECT * FROM PRODUCT  WHERE PROD_ID = " + wideKey(":CODE"));
    product.setParam("CODE", Value(code));
    product.open();
    ProductResolution r;
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

}  // namespace lumvik::transfer
