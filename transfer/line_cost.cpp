#include "transfer/line_cost.h"

#include "base/text.h"
#include "transfer/bill_state.h"
#include "transfer/table_copy.h"

namespace lumvik::transfer {

using db::Value;
using text::parseDecimal;

namespace {

// The run's copy of PROD_SALE, read at its first use; null when look-ups must go to the database.
TableCopy* packCopy(RunContext& run) {
    auto& packs = run.caches().packs;
    if (!packs)
        packs = run.plainErpTexts() ? TableCopy::load(run.form.SQLConnection1, "PROD_SALE", {"SAL_BARCODE"})
                                    : nullptr;
    return packs->get();
}

// The cost per piece of a pack, from the PROD_SALE row `packs` stands on (none: the product's).
double packCost(const db::FieldSource& packs, const db::FieldSource& product) {
    if (packs.field("SAL_BARCODE").isNull() || packs.field("STD_COST").asFloat() == 0)
        return product.field("STD_COST").asFloat();
    const double packQty = packs.field("PACK_QTY").asFloat();
    // A pack of no pieces has no cost per piece: the line fails as a division by zero would.
    if (packQty == 0) throw std::runtime_error("Floating point division by zero");
    return packs.field("STD_COST").asFloat() / packQty;
}

}  // namespace

LineCosts lineCosts(RunContext& run, const db::RowSet& line, const db::FieldSource& product) {
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
        const std::string barcode = line.field("V_BAR_CODE").asString();
        TableCopy* copy = packCopy(run);
        if (const auto row = copy != nullptr ? copy->first(0, Value(barcode)) : std::nullopt) {
            copy->rows().moveTo(*row);
            c.standard = packCost(copy->rows(), product);
        } else {
            db::SqlQuery& packs = run.form.SQL_PRODSALE;
            packs.close();
            packs.sql().clear();
            packs.sql().add("SELECT * FROM PROD_SALE ");
            packs.sql().add(" WHERE  SAL_BARCODE = " + wideKey("?") + " ");
            packs.setParams({Value(barcode)});
            packs.open();
            c.standard = packCost(packs, product);
            packs.close();
        }
    }
    c.average = product.field("AVG_COST").asFloat();
    return c;
}

}  // namespace lumvik::transfer
