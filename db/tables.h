#pragma once

// The table families and the column lists of the copy. The four families have the same columns as
// far as the copy uses them, so one set of lists serves them all.

#include <array>
#include <string>
#include <string_view>

namespace lumvik::db {

struct Family {
    int index;
    const char* storeMaster;  // bill headers in the store
    const char* storeLines;   // bill lines in the store
    const char* erpMaster;    // copied headers in the ERP
    const char* erpLines;     // copied lines in the ERP
};

// Walked in this order by every run: sales, family 1, changes, family 3.
inline constexpr std::array<Family, 4> kFamilies{{
    {0, "POS_MAIN", "POS_MAST", "POS_MASTER", "POS_SUB"},
    {1, "POS_MAID", "POS_MASD", "POS_MASTERD", "POS_SUBD"},
    {2, "POS_MAIN_CHG", "POS_MAST_CHG", "POSCHANGE_MASTER", "POSCHANGE_SUB"},
    {3, "POS_MAIN_S", "POS_MAST_S", "POS_MASTERS", "POS_SUBS"},
}};

// The family of an index from 0 to 3; throws std::out_of_range otherwise.
[[nodiscard]] const Family& family(int index);

// The columns of an ERP master row, in the order the header insert writes them. A bill already in
// the ERP is written without the last two.
inline constexpr std::array<std::string_view, 50> kErpMasterColumns{
    "SAL_DATE", "SAL_NO",   "MCH_NO",    "CO_NO",    "CO_CODE",  "SAL_TIME",   "MEMBER_ID",  "HU_PER",
    "CLASS_NO", "SALES_ID", "SAL_AMT",   "DISCOUNT", "DIS_TTT",  "REL_SAL",    "CASH",       "CREDIT",
    "DISROL",   "GIVE",     "PDCSHET",   "REL_RCV",  "CHANGE",   "CREDIT_ID",  "USE_TYPE",   "TAB_NO",
    "STORE_ID", "STOCK_ID", "FLAG",      "I_POINT",  "U_POINT",  "CARD_ID",    "ICASH_GIVE", "VISA_MODE",
    "VISA_NO",  "CST_NO",   "DIS_PRICE", "CAN_DATE", "dis_no",   "dis_per",    "MAN_SALE",   "CR_FLAG",
    "IC_CARD",  "IC_AMT",   "N_RECAMT",  "THEA_AMT", "CHG_DATE", "POINT_CASH", "POINT_RATE", "CONSUMER",
    "INV3_SW",  "INV3_MODE"};

// The column list of the header insert exactly as the statement carries it: "(SAL_DATE,...) ".
[[nodiscard]] std::string erpMasterColumnList(bool newBill);

// The columns of an ERP line row, in the order the line copy sets them.
inline constexpr std::array<std::string_view, 51> kErpLineColumns{
    "SAL_DATE",  "SAL_NO",     "ORD_NO",   "PROD_ID",   "CO_NAME",     "RCO_NAME",
    "SAL_QTY",   "AMT",        "U_PRICE",  "PER",       "SAL_CODE",    "V_CODE",
    "TASTE",     "TEMP_NO",    "BAR_CODE", "PROD_ID2",  "PROD_NAME",   "PROD_SCALE",
    "UNITNAME",  "STOCK_QTY",  "STOCK_ID", "STORE_ID",  "PD_ITEMID",   "FLAG",
    "STD_COST",  "AVG_COST",   "MS",       "TAX_KIND",  "BAT_CODE",    "V_BAR_CODE",
    "V_PDC_NO",  "PAK_QTY",    "ORG_QTY",  "ORG_PRICE", "rdd_price",   "bill_no",
    "tbar_code", "dis_per",    "dis_amt",  "ttt_amt",   "ttt_amt_n",   "dis_share",
    "ttt_share", "tempprodid", "free_tax", "PUT_ID",    "PSALE_PRICE", "STD_PRICE_BAS",
    "HEA_TAX",   "HEA_AMT",    "chg_date"};

// The columns the master copy reads from a store master row.
inline constexpr std::array<std::string_view, 44> kStoreMasterColumns{
    "SAL_DATE",   "SAL_NO",    "MCH_NO",     "CO_NO",      "CO_CODE",  "SAL_TIME", "CST_NO",    "HU_PER",
    "CLASS_NO",   "MAN_CODE",  "VISA_NO",    "USE_TYPE",   "TAB_NO",   "SAL_AMT",  "DISCOUNT",  "DIS_TTT",
    "REL_SAL",    "CASH",      "VISA",       "DISROL",     "GIVE",     "PDCSHET",  "REL_RCV",   "CHANGE",
    "I_POINT",    "U_POINT",   "POINT_RATE", "POINT_CASH", "CONSUMER", "INV3_SW",  "INV3_MODE", "CARD_ID",
    "iCash_Give", "VISA_MODE", "DIS_PRICE",  "CAN_DATE",   "DIS_NO",   "DIS_PER",  "MAN_SALE",  "CR_FLAG",
    "IC_CARD",    "IC_AMT",    "N_RECAMT",   "THEA_AMT"};

// The columns the detail copy reads from a store line row.
inline constexpr std::array<std::string_view, 37> kStoreLineColumns{
    "SAL_DATE", "SAL_NO",    "ORD_NO",    "PDC_NO",        "tbar_code", "bar_code",  "CO_NAME",    "RCO_NAME",
    "SAL_QTY",  "U_PRICE",   "PER",       "PER_AMT",       "SAL_CODE",  "V_CODE",    "AMT",        "TASTE",
    "TEMP_NO",  "HEA_TAX",   "HEA_AMT",   "STD_PRICE_BAS", "STD_PRICE", "PAK_QTY",   "V_BAR_CODE", "TAX_KIND",
    "BAT_CODE", "V_PDC_NO",  "ORG_QTY",   "ORG_PRICE",     "rdd_price", "billid_no", "dis_per",    "dis_amt",
    "ttt_amt",  "ttt_amt_n", "dis_share", "ttt_share",     "TEMPPRODID"};

}  // namespace lumvik::db
