#include "db/lookup_indexes.h"

namespace lumvik::db {

namespace {

LookupIndex index(const std::string& table, std::vector<std::string> columns) {
    std::string name = "IX_" + table;
    for (const auto& column : columns)
        name += "_" + column;
    return {table, std::move(columns), name.substr(0, 31)};
}

const std::vector<std::string> kBillKey{"SAL_DATE", "SAL_NO"};

std::vector<LookupIndex> storeIndexes() {
    std::vector<LookupIndex> out;
    for (const char* table :
         {"POS_MAIN", "POS_MAID", "POS_MAIN_CHG", "POS_MAIN_S", "POS_MAST", "POS_MASD", "POS_MAST_CHG",
          "POS_MAST_S", "POS_GIVE", "POS_DISROL", "POS_COST", "POINT_MASTER"})
        out.push_back(index(table, kBillKey));
    for (const char* table : {"POS_GIVE", "POS_DISROL", "POS_COST", "POINT_MASTER"})
        out.push_back(index(table, {"TRN_CODE"}));
    return out;
}

std::vector<LookupIndex> erpIndexes() {
    std::vector<LookupIndex> out;
    for (const char* table : {"POS_MASTER", "POS_MASTERD", "POSCHANGE_MASTER", "POS_MASTERS", "POS_SUB",
                              "POS_SUBD", "POSCHANGE_SUB", "POS_SUBS", "POS_GIVE", "POS_DISROL", "POS_COST",
                              "POINT_MASTER", "MEMPOINT_USED", "POSTOSALE"})
        out.push_back(index(table, kBillKey));
    out.push_back(index("PRODUCT", {"PROD_ID"}));
    out.push_back(index("PRODUCT", {"PROD_BARCODE"}));
    out.push_back(index("PROD_SALE", {"SAL_BARCODE"}));
    out.push_back(index("PROD_ITEM", {"PD_ITEMID"}));
    out.push_back(index("PROD_HIITEM", {"PD_GRPID"}));
    out.push_back(index("MEMBER", {"MEMBER_ID"}));
    out.push_back(index("MCH_ITEM", {"MCH_NO"}));
    for (const char* table : {"POS_COST", "POINT_MASTER"})
        out.push_back(index(table, {"TRN_CODE"}));
    return out;
}

std::string joined(const std::vector<std::string>& columns, const char* separator) {
    std::string out;
    for (const auto& column : columns)
        out += (out.empty() ? "" : separator) + column;
    return out;
}

}  // namespace

std::string LookupIndex::statement() const {
    return "CREATE INDEX " + name + " ON " + table + " (" + joined(columns, ",") + ")";
}

std::string LookupIndex::describe() const {
    return table + " (" + joined(columns, ", ") + ")";
}

const std::vector<LookupIndex>& lookupIndexes(Side side) {
    static const std::vector<LookupIndex> store = storeIndexes();
    static const std::vector<LookupIndex> erp = erpIndexes();
    return side == Side::Store ? store : erp;
}

}  // namespace lumvik::db
