#include "app/shell/required_schema.h"

#include "db/tables.h"

#include <algorithm>

namespace lumvik {

namespace {

using Columns = std::vector<std::string>;

template <std::size_t N>
Columns columnsOf(const std::array<std::string_view, N>& list, const Columns& more = {}) {
    Columns out(list.begin(), list.end());
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

const Columns kGiftColumns{"SAL_DATE", "SAL_NO",  "MCH_NO", "SORD", "CLASS_NO",
                           "MAN_CODE", "SAL_AMT", "QTY",    "PRICE"};
const Columns kCostColumns{"SAL_DATE", "SAL_NO",  "ORD_NO",  "PROD_ID",
                           "P_COST",   "U_PRICE", "SAL_QTY", "TRN_CODE"};
const Columns kPointColumns{"SAL_DATE", "SAL_NO", "MEMBER_ID", "I_POINT", "U_POINT", "DISROL", "TRN_CODE"};

std::vector<RequiredTable> build() {
    using db::Side;
    std::vector<RequiredTable> out;
    // The header copy reads CARD_ID, which the family preparation adds together with TRAN_CODE.
    Columns storeMaster = columnsOf(db::kStoreMasterColumns);
    storeMaster.erase(std::remove(storeMaster.begin(), storeMaster.end(), "CARD_ID"), storeMaster.end());
    for (const db::Family& family : db::kFamilies) {
        out.push_back({Side::Store, family.storeMaster, storeMaster, {"TRAN_CODE", "CARD_ID"}});
        out.push_back({Side::Store, family.storeLines, columnsOf(db::kStoreLineColumns), {}});
    }
    // The store's gift rows carry their transfer mark; the ERP's do not.
    Columns storeGifts = kGiftColumns;
    storeGifts.push_back("TRN_CODE");
    out.push_back({Side::Store, "POS_GIVE", storeGifts, {}});
    out.push_back({Side::Store, "POS_DISROL", storeGifts, {}});
    out.push_back({Side::Store, "POS_COST", kCostColumns, {}});
    out.push_back({Side::Store, "POINT_MASTER", kPointColumns, {}});

    for (const db::Family& family : db::kFamilies) {
        out.push_back({Side::Erp, family.erpMaster, columnsOf(db::kErpMasterColumns), {}});
        // The enrichment gives the sales lines their category levels.
        out.push_back({Side::Erp,
                       family.erpLines,
                       columnsOf(db::kErpLineColumns,
                                 family.index == 0 ? Columns{"MID_ITEMID", "TOP_ITEMID"} : Columns{}),
                       {}});
    }
    out.push_back({Side::Erp, "MCH_ITEM", {"MCH_NO", "MCH_IP", "STOCK_ID"}, {}});
    out.push_back({Side::Erp, "TRAN_STATE", {"STATE"}, {}});
    out.push_back({Side::Erp, "X_DAYPOS_MASTER", {"SAL_DATE"}, {}});
    out.push_back(
        {Side::Erp,
         "PRODUCT",
         {"PROD_ID", "PROD_BARCODE", "PD_ITEMID", "PSALE_PRICE", "PROD_NAME", "PROD_SCALE", "UNITNAME",
          "STOCK_QTY", "FREE_TAX", "PUT_ID", "DEF_PROFIT", "STD_COST", "AVG_COST", "MS", "TAX_KIND"},
         {}});
    out.push_back({Side::Erp, "PROD_SALE", {"SAL_BARCODE", "STD_COST", "PACK_QTY"}, {}});
    out.push_back({Side::Erp, "PROD_ITEM", {"PD_ITEMID", "PD_GRPID"}, {}});
    out.push_back({Side::Erp, "PROD_HIITEM", {"PD_GRPID", "TOP_ITEMID"}, {}});
    out.push_back({Side::Erp, "MEMBER", {"MEMBER_ID", "CARD_ID"}, {}});
    out.push_back({Side::Erp,
                   "MEMPOINT_USED",
                   {"SAL_DATE", "SAL_NO", "MEMBER_ID", "CARD_ID", "U_POINT", "SAL_AMT", "CR_DATETIME"},
                   {}});
    out.push_back(
        {Side::Erp, "POSTOSALE", {"SAL_DATE", "SAL_NO", "MEMBER_ID", "MASTERBILLID", "CHG_DATE"}, {}});
    out.push_back({Side::Erp, "sal_sub", {"masterbillid", "amt"}, {}});
    out.push_back({Side::Erp, "sal_MASTER", {"masterbillid", "TOTAL_money"}, {}});
    out.push_back({Side::Erp, "POS_GIVE", kGiftColumns, {}});
    out.push_back({Side::Erp, "POS_DISROL", kGiftColumns, {}});
    out.push_back({Side::Erp, "POS_COST", kCostColumns, {}});
    out.push_back({Side::Erp, "POINT_MASTER", kPointColumns, {}});
    return out;
}

}  // namespace

const std::vector<RequiredTable>& requiredTables() {
    static const std::vector<RequiredTable> tables = build();
    return tables;
}

}  // namespace lumvik
