// The run that reads its reference rows once and restricts its whole-table statements must leave exactly
// what the plain run leaves, statement by statement: the same rows and marks in both databases, the same
// log lines in the same order, the same boxes and the same files. A day full of awkward cases (unknown
// products, keys the ERP holds twice, trailing blanks, NULL keys, returns, all four families, side
// tables, a damaged bill the verification puts back) goes through both, with and without the look-up
// indexes, in modes 0, 1 and 2.

#include "db/connection_params.h"
#include "fixtures/demo_data.h"
#include "fixtures/schema.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_fixture.h"
#include "tests/support/snapshot.h"
#include "transfer/loc_ip.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace lumvik;
using namespace lumvik::testing;

namespace {

// What the store holds beyond the demo day: bills whose keys, products and machines are awkward.
const std::vector<std::string> kStoreRows{
    // A member's bill on a machine the ERP lists twice; its number with a trailing blank, one line's
    // with one too.
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, CST_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, "
    "REL_RCV)"
    " VALUES ('101/12/10', '03000101 ', '03', 'M0002', 1, '1', 190, 190, 190, 190)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, tbar_code, bar_code, CO_NAME, SAL_QTY, U_PRICE,"
    " SAL_CODE, AMT, HEA_AMT, STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share)"
    " VALUES ('101/12/10', '03000101', '2', 'A004', 'T4', 'B4', '湯', 1, 70, '銷', 70, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, tbar_code, bar_code, CO_NAME, SAL_QTY, U_PRICE,"
    " SAL_CODE, AMT, HEA_AMT, STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share)"
    " VALUES ('101/12/10', '03000101 ', '1', 'A001', 'T1', 'B1', '飯', 1, 120, '銷', 120, 0, 120, 1, 1, 0, "
    "0)",
    // Lines out of order, the same line twice, a NULL, a return, a code that is another product's
    // barcode, a product without category, a pack of six.
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10 ', '02000102', '02', 1, '2', 575, 575, 575, 575)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000102', '3', 'A002', NULL, 1, 110, '銷', 110, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000102', '1', '4710003', '湯', 1, 40, '銷', 40, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000102', '3', 'A002', NULL, 1, 110, '銷', 110, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000102', '2', 'A001', '飯', 1, 120, '退', 120, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000102', '4', 'NOCAT', '無', 1, 10, '銷', 10, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share, V_BAR_CODE) VALUES"
    " ('101/12/10', '02000102', '5', 'B002', '奶茶', 6, 45, '銷', 255, 0, 0, 6, 1, 0, 0, '4710102-6')",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000102', '6', 'A005', '雞腿', 1, 50, '銷', 50, 0, 0, 1, 1, 0, 0)",
    // A line, a header and a cost row the ERP refuses (its checks, below).
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000102', '7', 'BAD1', '壞', 1, 0, '銷', 0, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, TAB_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, "
    "REL_RCV)"
    " VALUES ('101/12/10', '04000111', '04', 'BAD', 1, '1', 35, 35, 35, 35)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '04000111', '1', 'B001', 1, 35, '銷', 35, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
    " VALUES ('101/12/10', '03000101', 2, 'A004', 13.13, 70, 1)",
    // Two lines that differ only in a trailing blank: the union keeps one of them, its own choice.
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '04000103', '04', 1, '1', 35, 35, 35, 35)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '04000103', '1', 'B001', '茶', 1, 35, '銷', 35, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, AMT, "
    "HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '04000103', '1', 'B001', '茶 ', 1, 35, '銷', 35, 0, 0, 1, 1, 0, 0)",
    // A machine the ERP does not know; a bill the ERP holds twice already, with old lines; bills
    // already turned into sales orders (one of them listed with a trailing blank).
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '09000104', '09', 1, '1', 45, 45, 45, 45)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '09000104', '1', 'B002', 1, 45, '銷', 45, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '01000105', '01', 1, '1', 120, 120, 120, 120)",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '01000105', '1', 'A001', 1, 120, '銷', 120, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '01000105', '01', 1, '2', 120, 120, 120, 120)",
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '01000106', '01', 1, '1', 40, 40, 40, 40)",
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '01000107', '01', 1, '1', 40, 40, 40, 40)",
    // The other families: a discount bill, a change bill of a member, a staff bill.
    "INSERT INTO POS_MAID (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '02100108', '02', 1, '1', 45, 45, 45, 45)",
    "INSERT INTO POS_MASD (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02100108', '1', 'Z777', 1, 45, '銷', 45, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAIN_CHG (SAL_DATE, SAL_NO, MCH_NO, CST_NO, HU_PER, CLASS_NO, SAL_TIME, SAL_AMT, "
    "REL_SAL)"
    " VALUES ('101/12/10', '03900109', '03', 'M0001', 1, '1', '21:00:00', 40, 40)",
    "INSERT INTO POS_MAST_CHG (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '03900109', '1', 'A003', 1, 40, '銷', 40, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAIN_S (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV)"
    " VALUES ('101/12/10', '04300110', '04', 1, '1', 35, 35, 35, 35)",
    "INSERT INTO POS_MAST_S (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '04300110', '1', 'B001', 1, 35, '退', -35, 0, 0, 1, 1, 0, 0)",
    // Side rows: a gift without SORD, one the ERP holds already; costs with no line number, of 0 and
    // NULL, and one whose line the ERP knows by a line number with blanks; points with and without a
    // member, one the ERP holds already.
    "INSERT INTO POS_GIVE (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY, PRICE)"
    " VALUES ('101/12/10', '02000102', '02', NULL, '1', 'E01', 0, 1, 40)",
    "INSERT INTO POS_GIVE (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY, PRICE)"
    " VALUES ('101/12/10', '03000101', '03', 2, '1', 'E01', 0, 2, 35)",
    "INSERT INTO POS_DISROL (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY, PRICE)"
    " VALUES ('101/12/10', '02000102', '02', 1, '1', 'E01', 20, 1, 20)",
    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
    " VALUES ('101/12/10', '02000102', NULL, 'A002', 44, 110, 1)",
    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
    " VALUES ('101/12/10', '02000102', 2, '00000000001', 48.125, 120, 1)",
    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
    " VALUES ('101/12/10', '02000102', 5, 'B002', NULL, 45, 6)",
    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
    " VALUES ('101/12/10', '01000105', 1, 'A001', 0, 120, 1)",
    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
    " VALUES ('101/12/10', '03000101', 1, 'A001', 47, 120, 1)",
    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
    " VALUES ('101/12/09', '01000080', 1, 'A003', 15, 40, 1)",
    "INSERT INTO POINT_MASTER (SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, U_POINT, DISROL)"
    " VALUES ('101/12/10', '03000101', 'M0002', 2, 1, NULL)",
    "INSERT INTO POINT_MASTER (SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, U_POINT, DISROL)"
    " VALUES ('101/12/10', '02000102', '', 1, 0, 0)",
    // Earlier days, moved before: a bill whose ERP copy was damaged since, one whose lines are gone.
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV, "
    "TRAN_CODE)"
    " VALUES ('101/12/10', '01000090', '01', 1, '1', 120, 120, 120, 120, 'True')",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '01000090', '1', 'A001', 1, 120, '銷', 120, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV, "
    "TRAN_CODE)"
    " VALUES ('101/12/10', '02000091', '02', 1, '1', 45, 45, 45, 45, 'True')",
    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, SAL_QTY, U_PRICE, SAL_CODE, AMT, HEA_AMT,"
    " STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share) VALUES"
    " ('101/12/10', '02000091', '1', 'B002', 1, 45, '銷', 45, 0, 0, 1, 1, 0, 0)",
    "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, HU_PER, CLASS_NO, SAL_AMT, REL_SAL, CASH, REL_RCV, "
    "TRAN_CODE)"
    " VALUES ('101/12/09', '01000080', '01', 1, '1', 40, 40, 40, 40, 'True')",
};

// What the ERP holds beyond the demo's reference rows: products and machines twice or with trailing
// blanks, bills and lines of this day and earlier ones, sales orders, side rows, a change bill without
// number that is registered as a used point only while nothing else is.
const std::vector<std::string> kErpRows{
    "ALTER TABLE POS_SUB ADD CONSTRAINT CK_LINE CHECK (PROD_ID2 IS DISTINCT FROM 'BAD1')",
    "ALTER TABLE POS_MASTER ADD CONSTRAINT CK_BILL CHECK (TAB_NO IS DISTINCT FROM 'BAD')",
    "ALTER TABLE POS_COST ADD CONSTRAINT CK_COST CHECK (P_COST IS DISTINCT FROM 13.13)",
    "ALTER TABLE POS_SUB ADD CONSTRAINT CK_LINE_COST CHECK (AVG_COST IS DISTINCT FROM 66.6)",
    "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, STD_COST, AVG_COST)"
    " VALUES ('A004 ', '4710004', 'I03', 70, '餛飩湯', 20, 19)",
    "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, STD_COST, AVG_COST)"
    " VALUES ('A001', '4710001X', 'I02', 99, '排骨飯二', 1, 1)",
    "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, STD_COST, AVG_COST)"
    " VALUES ('NOCAT', 'NC', NULL, 10, '未分類', 1, 1)",
    "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, STD_COST, AVG_COST)"
    " VALUES (NULL, NULL, 'I01', 1, '無號', 1, 1)",
    "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, STD_COST, AVG_COST)"
    " VALUES ('Q1', 'A005', 'I04', 5, '條碼同號', 2, 2)",
    "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, STD_COST, AVG_COST)"
    " VALUES ('A005', '4710005', 'I01', 50, '雞腿飯', 20, 20)",
    "INSERT INTO PROD_SALE VALUES ('4710102-6 ', 99, 3)",
    "INSERT INTO MCH_ITEM VALUES ('03', '外帶機二', '192.168.1.23', 'S09')",
    "INSERT INTO MCH_ITEM VALUES (NULL, '無號機', '192.168.1.99', 'S99')",
    "INSERT INTO POS_MASTER (SAL_DATE, SAL_NO, MCH_NO, REL_SAL, STOCK_ID) VALUES ('2012/12/10', '01000105', "
    "'01', 9, 'S01')",
    "INSERT INTO POS_MASTER (SAL_DATE, SAL_NO, MCH_NO, REL_SAL, STOCK_ID) VALUES ('2012/12/10', '01000105 ', "
    "'01', 9, 'S01')",
    "INSERT INTO POS_SUB (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, AMT) VALUES ('2012/12/10', '01000105', '7', "
    "'A001', 9)",
    "INSERT INTO POS_SUB (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, AMT) VALUES ('2012/12/10', '99999999', 'X', "
    "'A001', 1)",
    "INSERT INTO POS_SUB (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, AMT) VALUES ('2012/12/10', '02000102', 'Q', "
    "'A002', 1)",
    "INSERT INTO POS_MASTER (SAL_DATE, SAL_NO, MCH_NO, REL_SAL, STOCK_ID) VALUES ('2012/12/08', NULL, '01', "
    "1, 'S01')",
    "INSERT INTO POS_MASTER (SAL_DATE, SAL_NO, MCH_NO, REL_SAL, STOCK_ID, CARD_ID) VALUES ('2012/12/10', "
    "'01000090', '01', 120, 'S01', '')",
    "INSERT INTO POS_SUB (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, AMT, HEA_AMT, dis_share, ttt_share, PD_ITEMID)"
    " VALUES ('2012/12/10', '01000090', '1', 'A001', 100, 0, 0, 0, 'I01')",
    "INSERT INTO POS_MASTER (SAL_DATE, SAL_NO, MCH_NO, REL_SAL, STOCK_ID) VALUES ('2012/12/10', '02000091', "
    "'02', 45, 'S01')",
    "INSERT INTO POS_MASTER (SAL_DATE, SAL_NO, MCH_NO, REL_SAL, STOCK_ID, MEMBER_ID) VALUES ('2012/12/09', "
    "'01000080', '01', 40, 'S01', 'M0001')",
    "INSERT INTO POS_SUB (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, AMT, HEA_AMT, dis_share, ttt_share, PD_ITEMID)"
    " VALUES ('2012/12/09', '01000080', ' 1 ', 'A003', 40, 0, 0, 0, 'I77')",
    "INSERT INTO POS_SUB (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, AMT, HEA_AMT, dis_share, ttt_share, PD_ITEMID)"
    " VALUES ('2012/12/09', '01000080', '1.0', 'A003', 0, 0, 0, 0, NULL)",
    "INSERT INTO POSTOSALE (SAL_DATE, SAL_NO, MASTERBILLID) VALUES ('2012/12/10', '01000106', 'S1')",
    "INSERT INTO POSTOSALE (SAL_DATE, SAL_NO, MASTERBILLID) VALUES ('2012/12/10', '01000107 ', 'S2')",
    "INSERT INTO POSTOSALE (SAL_DATE, SAL_NO, MASTERBILLID) VALUES ('2012/12/10', NULL, 'S3')",
    "INSERT INTO sal_sub VALUES ('S1', 40)",
    "INSERT INTO sal_MASTER VALUES ('S1', 30)",
    "INSERT INTO POS_GIVE (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, SAL_AMT, QTY, PRICE)"
    " VALUES ('2012/12/10', '03000101', '03', 2, '9', 9, 9, 9)",
    "INSERT INTO POINT_MASTER (SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, TRN_CODE) VALUES ('2012/12/10', "
    "'03000101', 'M0009', 9, 'Y')",
    "INSERT INTO POSCHANGE_MASTER (SAL_DATE, SAL_NO, MEMBER_ID, CST_NO, SAL_AMT, SAL_TIME)"
    " VALUES ('2012/12/07', NULL, 'M0001', 'M0001', 10, '10:00:00')",
};

// Where the day is run: the embedded engine or the loopback server, with or without the look-up indexes.
struct Place {
    bool indexes;
    bool server;
};

void PrintTo(const Place& place, std::ostream* out) {
    *out << (place.server ? "server" : "embedded") << (place.indexes ? ", indexes" : ", no indexes");
}

// One station in a folder of its own: both databases made and filled the same way as every other's,
// the files beside the program, a fake clock.
struct Station {
    TempDir dir;
    FakePlatform platform{dir.path()};
    std::string prefix, password = kTestPassword;
    std::string store, erp;

    explicit Station(const Place& setup) {
        if (setup.server) {
            prefix = testServer().host + ":";
            password = testServer().password;
        }
        store = prefix + dir.file("store.fdb");
        erp = prefix + dir.file("erp.fdb");
        platform.setNow(std::chrono::local_days{std::chrono::year{2012} / 12 / 11} + std::chrono::hours{9});
        tools::createStoreDatabase(store, kTestUser, password, {.indexes = setup.indexes}, false);
        tools::createErpDatabase(erp, kTestUser, password, false, setup.indexes);
        auto storeConnection = embeddedConnection(store), erpConnection = embeddedConnection(erp);
        storeConnection->params().set("Password", password);
        erpConnection->params().set("Password", password);
        tools::fillDemoErp(*erpConnection);
        tools::fillDemoStore(*storeConnection);
        for (const auto& sql : kStoreRows)
            storeConnection->execute(sql);
        for (const auto& sql : kErpRows)
            erpConnection->execute(sql);
        dir.write(db::kConnectionsFileName, db::connectionEntryText(erp, password));
    }
    ~Station() {
        for (const auto& database : {store, erp}) {
            try {
                if (!prefix.empty()) db::dropDatabase(database, kTestUser, password);
            } catch (const db::DbError&) {
            }
        }
    }
};

// Everything a run leaves that anybody can see.
struct Outcome {
    Snapshot databases;  // every row of every table, CHG_DATE included
    std::vector<std::string> log;
    std::vector<HeadlessOperator::Box> boxes;
    std::vector<std::string> started;
    std::string locIp;
    std::string ended;  // how the run ended when it did not complete
};

// One program start and one press of OK, in `mode`, with machines 01 and 02 ticked in mode 1 (all
// otherwise).
Outcome runDay(Station& station, int mode, bool allDates, transfer::RunOptions options) {
    HeadlessOperator op;
    FormCore form(station.platform, op);
    form.FormCreate();
    op.setSourcePath(station.store);
    op.setServerKind(-1);  // the password below stays
    form.SQLConSource.params().set("Password", station.password);
    op.setTempProduct(tools::kDemoTempProduct);
    op.setDate(std::chrono::year{2012} / 12 / 10);
    op.setTransferMode(mode);
    op.setAllDates(allDates);
    if (mode == 1)
        op.tickMachines({"01", "02"});
    else
        op.tickAllMachines();
    Outcome outcome;
    station.platform.startedCommandLines.clear();
    try {
        transfer::TransferRun(form, options).bsSkinButton1Click();
    } catch (const transfer::Abort& quiet) {
        outcome.ended = "quiet end " + std::to_string(static_cast<int>(quiet.reason()));
    } catch (const std::exception& e) {
        outcome.ended = e.what();
    }
    form.SQLConnection1.close();
    form.SQLConSource.close();
    outcome.databases = snapshotOf(station.store, station.erp, /*changeDates=*/true, station.password);
    outcome.log = op.logLines;
    outcome.boxes = op.boxes;
    // The programs started, their folder named the same for every station.
    for (std::string line : station.platform.startedCommandLines) {
        if (const auto at = line.find(station.dir.path().string()); at != std::string::npos)
            line.replace(at, station.dir.path().string().size(), "<dir>");
        outcome.started.push_back(line);
    }
    outcome.locIp = readBytes(station.dir.path() / transfer::kLocIpFileName);
    return outcome;
}

class SameOutcome : public ::testing::TestWithParam<Place> {};

TEST_P(SameOutcome, PlainAndFromMemoryLeaveTheSame) {
    const Place setup = GetParam();
    if (setup.server && testServer().host.empty()) GTEST_SKIP() << "LUMVIK_TEST_SERVER is not set";
    Station plain(setup), fromMemory(setup), batched(setup);
    // Mode 0 twice (the second finds everything moved), the day again for two machines with every date
    // verified, the bills the sales orders disagree with. On a server the run sends its writes in
    // batches by itself; on the embedded engine it is asked to.
    for (const auto& [mode, allDates] : {std::pair{0, false}, {0, false}, {1, true}, {2, false}}) {
        SCOPED_TRACE("mode " + std::to_string(mode) + (allDates ? ", all dates" : ""));
        const Outcome expected = runDay(plain, mode, allDates, {.plainStatements = true});
        for (Station* station : {&fromMemory, &batched}) {
            SCOPED_TRACE(station == &batched ? "in batches" : "from memory");
            const Outcome actual = runDay(*station, mode, allDates, {.batchEverywhere = station == &batched});
            EXPECT_EQ(actual.ended, expected.ended);
            EXPECT_EQ(actual.log, expected.log);
            EXPECT_EQ(actual.boxes, expected.boxes);
            EXPECT_EQ(actual.started, expected.started);
            EXPECT_EQ(actual.locIp, expected.locIp);
            const std::string diff = differences(expected.databases, actual.databases);
            EXPECT_TRUE(diff.empty()) << diff;
        }
        // The day is one that tries the copy: bills arrive, the verification puts two back.
        EXPECT_NE(expected.log.size(), 0u);
    }
    // A cost its line refuses ends the run where it is put on the line, what went before it staying.
    for (Station* station : {&plain, &fromMemory, &batched})
        insertRow(*embeddedConnection(station->store), "POS_COST",
                  cols("SAL_DATE SAL_NO ORD_NO PROD_ID P_COST U_PRICE SAL_QTY",
                       {"101/12/10", "01000001", 2, "B001", 66.6, 35.0, 2.0}));
    const Outcome expected = runDay(plain, 0, false, {.plainStatements = true});
    EXPECT_NE(expected.ended.find("CK_LINE_COST"), std::string::npos) << expected.ended;
    for (Station* station : {&fromMemory, &batched}) {
        const Outcome actual = runDay(*station, 0, false, {.batchEverywhere = station == &batched});
        EXPECT_EQ(actual.ended, expected.ended);
        EXPECT_EQ(actual.log, expected.log);
        const std::string diff = differences(expected.databases, actual.databases);
        EXPECT_TRUE(diff.empty()) << diff;
    }
}

INSTANTIATE_TEST_SUITE_P(Setups, SameOutcome,
                         ::testing::Values(Place{true, false}, Place{false, false}, Place{true, true},
                                           Place{false, true}),
                         [](const auto& info) {
                             return std::string(info.param.server ? "Server" : "Embedded") +
                                    (info.param.indexes ? "Indexes" : "NoIndexes");
                         });

}  // namespace
