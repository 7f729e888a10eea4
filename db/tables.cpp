#include "db/tables.h"

#include <stdexcept>

namespace lumvik::db {

const Family& family(int index) {
    if (index < 0 || index >= static_cast<int>(kFamilies.size()))
        throw std::out_of_range("There is no table family " + std::to_string(index));
    return kFamilies[static_cast<std::size_t>(index)];
}

std::string erpMasterColumnList(bool newBill) {
    // The text of the insert is fixed to the character, the blank after ")" included.
    std::string list = "(SAL_DATE,SAL_NO,MCH_NO,CO_NO,CO_CODE,";
    list += "SAL_TIME,MEMBER_ID,HU_PER,CLASS_NO,SALES_ID,SAL_AMT,DISCOUNT,";
    list += "DIS_TTT,REL_SAL,CASH,CREDIT,DISROL,GIVE,PDCSHET,REL_RCV,CHANGE,";
    list += "CREDIT_ID,USE_TYPE,TAB_NO,STORE_ID,STOCK_ID,FLAG,I_POINT,U_POINT,CARD_ID,ICASH_GIVE,";
    list +=
        newBill
            ? "VISA_MODE,VISA_NO,CST_NO,DIS_PRICE,CAN_DATE,dis_no,dis_per,MAN_SALE,CR_FLAG,IC_CARD,IC_AMT,"
              "N_RECAMT,THEA_AMT,CHG_DATE,POINT_CASH,POINT_RATE,CONSUMER,INV3_SW,INV3_MODE) "
            : "VISA_MODE,VISA_NO,CST_NO,DIS_PRICE,CAN_DATE,dis_no,dis_per,MAN_SALE,CR_FLAG,IC_CARD,IC_AMT,"
              "N_RECAMT,THEA_AMT,CHG_DATE,POINT_CASH,POINT_RATE,CONSUMER) ";
    return list;
}

}  // namespace lumvik::db
