#include "tools/schema.h"

namespace lumvik::tools {
namespace {

// Columns shared by the four store master tables, without the two marks the transfer adds.
const char* const kStoreMasterBody =
    "SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), MCH_NO VARCHAR(10), CO_NO VARCHAR(10), CO_CODE VARCHAR(10),"
    " SAL_TIME VARCHAR(8), CST_NO VARCHAR(20), HU_PER SMALLINT, CLASS_NO VARCHAR(4), MAN_CODE VARCHAR(10),"
    " VISA_NO VARCHAR(20), USE_TYPE VARCHAR(2), TAB_NO VARCHAR(6), SAL_AMT NUMERIC(15,2),"
    " DISCOUNT NUMERIC(15,2), DIS_TTT NUMERIC(15,2), REL_SAL NUMERIC(15,2), CASH NUMERIC(15,2),"
    " VISA NUMERIC(15,2), DISROL NUMERIC(15,2), GIVE NUMERIC(15,2), PDCSHET NUMERIC(15,2),"
    " REL_RCV NUMERIC(15,2), CHANGE NUMERIC(15,2), I_POINT NUMERIC(15,2), U_POINT NUMERIC(15,2),"
    " POINT_RATE DOUBLE PRECISION, POINT_CASH NUMERIC(15,2), CONSUMER NUMERIC(15,2), INV3_SW CHAR(1),"
    " INV3_MODE CHAR(1), iCash_Give NUMERIC(15,2), VISA_MODE VARCHAR(2), DIS_PRICE INTEGER,"
    " CAN_DATE VARCHAR(10), DIS_NO VARCHAR(10), DIS_PER NUMERIC(5,2), MAN_SALE VARCHAR(1), CR_FLAG CHAR(1),"
    " IC_CARD VARCHAR(20), IC_AMT INTEGER, N_RECAMT NUMERIC(15,2), THEA_AMT NUMERIC(15,2)";

const char* const kStoreLineBody =
    "SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), ORD_NO VARCHAR(4), PDC_NO VARCHAR(20), tbar_code VARCHAR(20),"
    " bar_code VARCHAR(20), CO_NAME VARCHAR(40), RCO_NAME VARCHAR(40), SAL_QTY NUMERIC(15,2),"
    " U_PRICE NUMERIC(15,2), PER NUMERIC(15,2), PER_AMT NUMERIC(15,2), SAL_CODE VARCHAR(2), V_CODE "
    "VARCHAR(2),"
    " AMT NUMERIC(15,2), TASTE VARCHAR(60), TEMP_NO VARCHAR(10), HEA_TAX NUMERIC(15,2), HEA_AMT "
    "NUMERIC(15,2),"
    " STD_PRICE_BAS NUMERIC(15,2), STD_PRICE NUMERIC(15,2), PAK_QTY SMALLINT, V_BAR_CODE VARCHAR(20),"
    " TAX_KIND VARCHAR(1), BAT_CODE VARCHAR(20), V_PDC_NO VARCHAR(20), ORG_QTY SMALLINT,"
    " ORG_PRICE NUMERIC(15,2), rdd_price NUMERIC(15,2), billid_no VARCHAR(20), dis_per NUMERIC(15,2),"
    " dis_amt NUMERIC(15,2), ttt_amt NUMERIC(15,2), ttt_amt_n NUMERIC(15,2), dis_share NUMERIC(15,2),"
    " ttt_share NUMERIC(15,2), TEMPPRODID VARCHAR(20)";

const char* const kGiftBody =
    "SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), MCH_NO VARCHAR(10), SORD SMALLINT, CLASS_NO VARCHAR(4),"
    " MAN_CODE VARCHAR(10), SAL_AMT NUMERIC(15,2), QTY INTEGER, PRICE NUMERIC(15,2)";

const char* const kErpMasterBody =
    "SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), MCH_NO VARCHAR(10), CO_NO VARCHAR(10), CO_CODE VARCHAR(10),"
    " SAL_TIME VARCHAR(8), MEMBER_ID VARCHAR(20), HU_PER SMALLINT, CLASS_NO VARCHAR(4), SALES_ID VARCHAR(10),"
    " SAL_AMT NUMERIC(15,2), DISCOUNT NUMERIC(15,2), DIS_TTT NUMERIC(15,2), REL_SAL NUMERIC(15,2),"
    " CASH NUMERIC(15,2), CREDIT NUMERIC(15,2), DISROL NUMERIC(15,2), GIVE NUMERIC(15,2),"
    " PDCSHET NUMERIC(15,2), REL_RCV NUMERIC(15,2), CHANGE NUMERIC(15,2), CREDIT_ID VARCHAR(16),"
    " USE_TYPE VARCHAR(2), TAB_NO VARCHAR(6), STORE_ID VARCHAR(10), STOCK_ID VARCHAR(10), FLAG VARCHAR(2),"
    " I_POINT NUMERIC(15,2), U_POINT NUMERIC(15,2), CARD_ID VARCHAR(20), ICASH_GIVE NUMERIC(15,2),"
    " VISA_MODE VARCHAR(2), VISA_NO VARCHAR(16), CST_NO VARCHAR(20), DIS_PRICE INTEGER, CAN_DATE VARCHAR(10),"
    " dis_no VARCHAR(10), dis_per NUMERIC(5,2), MAN_SALE VARCHAR(1), CR_FLAG CHAR(1), IC_CARD VARCHAR(20),"
    " IC_AMT INTEGER, N_RECAMT NUMERIC(15,2), THEA_AMT NUMERIC(15,2), CHG_DATE VARCHAR(10),"
    " POINT_CASH NUMERIC(15,2), POINT_RATE DOUBLE PRECISION, CONSUMER NUMERIC(15,2), INV3_SW CHAR(1),"
    " INV3_MODE CHAR(1)";

const char* const kErpLineBody =
    "SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), ORD_NO VARCHAR(4), PROD_ID VARCHAR(20), CO_NAME VARCHAR(40),"
    " RCO_NAME VARCHAR(40), SAL_QTY NUMERIC(15,2), AMT NUMERIC(15,2), U_PRICE NUMERIC(15,2), PER "
    "NUMERIC(15,2),"
    " SAL_CODE VARCHAR(2), V_CODE VARCHAR(2), TASTE VARCHAR(60), TEMP_NO VARCHAR(10), BAR_CODE VARCHAR(20),"
    " PROD_ID2 VARCHAR(20), PROD_NAME VARCHAR(60), PROD_SCALE VARCHAR(20), UNITNAME VARCHAR(10),"
    " STOCK_QTY NUMERIC(15,2), STOCK_ID VARCHAR(10), STORE_ID VARCHAR(10), PD_ITEMID VARCHAR(10),"
    " MID_ITEMID VARCHAR(10), TOP_ITEMID VARCHAR(10), FLAG VARCHAR(2), STD_COST DOUBLE PRECISION,"
    " AVG_COST DOUBLE PRECISION, MS VARCHAR(10), TAX_KIND VARCHAR(1), BAT_CODE VARCHAR(20),"
    " V_BAR_CODE VARCHAR(20), V_PDC_NO VARCHAR(20), PAK_QTY SMALLINT, ORG_QTY SMALLINT,"
    " ORG_PRICE NUMERIC(15,2), rdd_price NUMERIC(15,2), bill_no VARCHAR(20), tbar_code VARCHAR(20),"
    " dis_per NUMERIC(15,2), dis_amt NUMERIC(15,2), ttt_amt NUMERIC(15,2), ttt_amt_n NUMERIC(15,2),"
    " dis_share NUMERIC(15,2), ttt_share NUMERIC(15,2), tempprodid VARCHAR(20), free_tax NUMERIC(15,2),"
    " PUT_ID VARCHAR(10), PSALE_PRICE NUMERIC(15,2), STD_PRICE_BAS NUMERIC(15,2), HEA_TAX NUMERIC(15,2),"
    " HEA_AMT NUMERIC(15,2), chg_date VARCHAR(10)";

}  // namespace

std::vector<std::string> storeSchema(const StoreSchemaOptions& options) {
    std::vector<std::string> script;
    const std::string marks = options.markColumns ? ", TRAN_CODE VARCHAR(5), CARD_ID VARCHAR(20)" : "";
    for (const char* table : {"POS_MAIN", "POS_MAID", "POS_MAIN_CHG", "POS_MAIN_S"})
        script.push_back(std::string("CREATE TABLE ") + table + " (" + kStoreMasterBody + marks + ")");
    for (const char* table : {"POS_MAST", "POS_MASD", "POS_MAST_CHG", "POS_MAST_S"})
        script.push_back(std::string("CREATE TABLE ") + table + " (" + kStoreLineBody + ")");
    for (const char* table : {"POS_GIVE", "POS_DISROL"})
        script.push_back(std::string("CREATE TABLE ") + table + " (" + kGiftBody + ", TRN_CODE VARCHAR(5))");
    script.push_back(
        "CREATE TABLE POS_COST (SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), ORD_NO INTEGER, PROD_ID "
        "VARCHAR(20),"
        " P_COST NUMERIC(15,4), U_PRICE NUMERIC(15,2), SAL_QTY NUMERIC(15,2), TRN_CODE VARCHAR(5))");
    script.push_back(
        "CREATE TABLE POINT_MASTER (SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), MEMBER_ID VARCHAR(20),"
        " I_POINT NUMERIC(15,2), U_POINT NUMERIC(15,2), DISROL NUMERIC(15,2), TRN_CODE VARCHAR(5))");
    return script;
}

std::vector<std::string> erpSchema() {
    std::vector<std::string> script;
    for (const char* table : {"POS_MASTER", "POS_MASTERD", "POSCHANGE_MASTER", "POS_MASTERS"})
        script.push_back(std::string("CREATE TABLE ") + table + " (" + kErpMasterBody + ")");
    for (const char* table : {"POS_SUB", "POS_SUBD", "POSCHANGE_SUB", "POS_SUBS"})
        script.push_back(std::string("CREATE TABLE ") + table + " (" + kErpLineBody + ")");
    // The machine list shows the first two columns: MCH_NO must come first.
    script.push_back(
        "CREATE TABLE MCH_ITEM (MCH_NO VARCHAR(10), MCH_NAME VARCHAR(20), MCH_IP VARCHAR(40), STOCK_ID "
        "VARCHAR(10))");
    script.push_back("CREATE TABLE TRAN_STATE (STATE VARCHAR(10))");
    script.push_back("CREATE TABLE X_DAYPOS_MASTER (SAL_DATE VARCHAR(10))");
    script.push_back(
        "CREATE TABLE PRODUCT (PROD_ID VARCHAR(20), PROD_BARCODE VARCHAR(20), PD_ITEMID VARCHAR(10),"
        " PSALE_PRICE NUMERIC(15,2), PROD_NAME VARCHAR(60), PROD_SCALE VARCHAR(20), UNITNAME VARCHAR(10),"
        " STOCK_QTY NUMERIC(15,2), FREE_TAX SMALLINT, PUT_ID VARCHAR(10), DEF_PROFIT NUMERIC(5,2),"
        " STD_COST DOUBLE PRECISION, AVG_COST DOUBLE PRECISION, MS VARCHAR(10), TAX_KIND VARCHAR(1))");
    script.push_back(
        "CREATE TABLE PROD_SALE (SAL_BARCODE VARCHAR(20), STD_COST DOUBLE PRECISION, PACK_QTY INTEGER)");
    script.push_back(
        "CREATE TABLE PROD_ITEM (PD_ITEMID VARCHAR(10), PD_ITEMNAME VARCHAR(40), PD_GRPID VARCHAR(10))");
    script.push_back(
        "CREATE TABLE PROD_HIITEM (PD_GRPID VARCHAR(10), PD_GRPNAME VARCHAR(40), TOP_ITEMID VARCHAR(10))");
    script.push_back(
        "CREATE TABLE PROD_TOPITEM (TOP_ITEMID VARCHAR(10), TOP_ITEMNAME VARCHAR(40), PD_DEPID VARCHAR(10))");
    script.push_back("CREATE TABLE PROD_DEPART (PD_DEPID VARCHAR(10), PD_DEPNAME VARCHAR(40))");
    script.push_back("CREATE TABLE MEMBER (MEMBER_ID VARCHAR(20), CARD_ID VARCHAR(20))");
    script.push_back(
        "CREATE TABLE MEMPOINT_USED (SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), MEMBER_ID VARCHAR(20),"
        " CARD_ID VARCHAR(20), U_POINT NUMERIC(15,2), SAL_AMT NUMERIC(15,2), CR_DATETIME VARCHAR(20))");
    script.push_back(
        "CREATE TABLE POSTOSALE (SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), MEMBER_ID VARCHAR(20),"
        " MASTERBILLID VARCHAR(20), CHG_DATE VARCHAR(10))");
    script.push_back("CREATE TABLE sal_sub (masterbillid VARCHAR(20), amt NUMERIC(15,2))");
    script.push_back("CREATE TABLE sal_MASTER (masterbillid VARCHAR(20), TOTAL_money NUMERIC(15,2))");
    for (const char* table : {"POS_GIVE", "POS_DISROL"})
        script.push_back(std::string("CREATE TABLE ") + table + " (" + kGiftBody + ")");
    script.push_back(
        "CREATE TABLE POS_COST (SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), ORD_NO SMALLINT, PROD_ID "
        "VARCHAR(20),"
        " P_COST NUMERIC(15,4), U_PRICE NUMERIC(15,2), SAL_QTY NUMERIC(15,2), TRN_CODE VARCHAR(1))");
    script.push_back(
        "CREATE TABLE POINT_MASTER (SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), MEMBER_ID VARCHAR(20),"
        " I_POINT NUMERIC(15,2), U_POINT NUMERIC(15,2), DISROL NUMERIC(15,2), TRN_CODE VARCHAR(1))");
    script.push_back("CREATE TABLE PUB_PARAM (REP_TITLE VARCHAR(60))");
    script.push_back("CREATE TABLE WRK_ITEM (Wrk_No VARCHAR(4), Wrk_Name VARCHAR(20))");
    return script;
}

namespace {

void addIndex(std::vector<std::string>& script, const std::string& table, const std::string& columns) {
    std::string name = "IX_" + table + "_";
    for (const char c : columns)
        if (c != ' ') name += c == ',' ? '_' : c;
    script.push_back("CREATE INDEX " + name.substr(0, 31) + " ON " + table + " (" + columns + ")");
}

}  // namespace

std::vector<std::string> storeIndexes() {
    std::vector<std::string> script;
    for (const char* table :
         {"POS_MAIN", "POS_MAID", "POS_MAIN_CHG", "POS_MAIN_S", "POS_MAST", "POS_MASD", "POS_MAST_CHG",
          "POS_MAST_S", "POS_GIVE", "POS_DISROL", "POS_COST", "POINT_MASTER"})
        addIndex(script, table, "SAL_DATE,SAL_NO");
    for (const char* table : {"POS_GIVE", "POS_DISROL", "POS_COST", "POINT_MASTER"})
        addIndex(script, table, "TRN_CODE");
    return script;
}

std::vector<std::string> erpIndexes() {
    std::vector<std::string> script;
    for (const char* table : {"POS_MASTER", "POS_MASTERD", "POSCHANGE_MASTER", "POS_MASTERS", "POS_SUB",
                              "POS_SUBD", "POSCHANGE_SUB", "POS_SUBS", "POS_GIVE", "POS_DISROL", "POS_COST",
                              "POINT_MASTER", "MEMPOINT_USED", "POSTOSALE"})
        addIndex(script, table, "SAL_DATE,SAL_NO");
    addIndex(script, "PRODUCT", "PROD_ID");
    addIndex(script, "PRODUCT", "PROD_BARCODE");
    addIndex(script, "PROD_SALE", "SAL_BARCODE");
    addIndex(script, "PROD_ITEM", "PD_ITEMID");
    addIndex(script, "PROD_HIITEM", "PD_GRPID");
    addIndex(script, "MEMBER", "MEMBER_ID");
    addIndex(script, "MCH_ITEM", "MCH_NO");
    for (const char* table : {"POS_COST", "POINT_MASTER"})
        addIndex(script, table, "TRN_CODE");
    return script;
}

void runScript(db::Connection& connection, const std::vector<std::string>& statements) {
    for (const auto& statement : statements)
        connection.execute(statement);
}

namespace {

void createWithScript(const std::string& database, const std::string& user, const std::string& password,
                      const std::vector<std::string>& script, bool forcedWrites) {
    db::createDatabase(database, user, password, forcedWrites);
    db::Connection connection("schema");
    connection.params().set("Database", database);
    connection.params().set("User_Name", user);
    connection.params().set("Password", password);
    runScript(connection, script);
}

}  // namespace

void createStoreDatabase(const std::string& database, const std::string& user, const std::string& password,
                         const StoreSchemaOptions& options, bool forcedWrites) {
    auto script = storeSchema(options);
    if (options.indexes) {
        const auto more = storeIndexes();
        script.insert(script.end(), more.begin(), more.end());
    }
    createWithScript(database, user, password, script, forcedWrites);
}

void createErpDatabase(const std::string& database, const std::string& user, const std::string& password,
                       bool forcedWrites, bool indexes) {
    auto script = erpSchema();
    if (indexes) {
        const auto more = erpIndexes();
        script.insert(script.end(), more.begin(), more.end());
    }
    createWithScript(database, user, password, script, forcedWrites);
}

}  // namespace lumvik::tools
