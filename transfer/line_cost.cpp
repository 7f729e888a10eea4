#include "transfer/line_cost.h"

#include "base/text.h"
#include "transfer/bill_state.h"

namespace lumvik::transfer {

using db::Value;
using text::parseDecimal;

LineCosts lineCosts(RunContext& run, const db::RowSet& line, const db::RowSet& product) {
    LineCosts c;
    const std::string defProfit = product.field("DEF_PROFIT").asString();
    if (const auto profit = text::tryParseWhole(defProfit); profit && *profit != 0) {
        const double f = (100 - parseDecimal(defProfit)) / 100;
        c.standard = line.field("U_PRICE").asFloat() * f;
        c.average = c.standard;
        return c;
    }
    if (text::parseWhole(line.field("PAK_QTY").asString()) < 2) {
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

}  // namespace lumvik::transfer
