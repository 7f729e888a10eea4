#include "transfer/enrichment.h"

namespace lumvik::transfer {

void enrich(RunContext& run) {
    FormCore& form = run.form;
    StatementGroup group(form.SQLConnection1);
    form.CDS_T1.close();
    form.CDS_T1.setCommandText(
        "UPDATE POS_SUB SET MID_ITEMID = (SELECT PD_GRPID FROM PROD_ITEM WHERE PD_ITEMID = "
        "POS_SUB.PD_ITEMID) WHERE "
        "MID_ITEMID IS NULL");
    form.CDS_T1.execute();
    form.SQLQuery1.execLines(
        {"UPDATE POS_SUB SET TOP_ITEMID = (SELECT TOP_ITEMID FROM PROD_HIITEM WHERE "
         "PD_GRPID = POS_SUB.MID_ITEMID)",
         " WHERE TOP_ITEMID IS NULL "});
    form.SQLQuery1.execLines(
        {"UPDATE POS_MASTER SET CARD_ID = (SELECT CARD_ID FROM MEMBER WHERE MEMBER_ID "
         "= POS_MASTER.MEMBER_ID)",
         "WHERE CARD_ID IS NULL OR CARD_ID = '' "});
    // A register row without date or number would make NOT IN never true and stop all registering
    // for good; such rows are left out of the comparison.
    form.SQLQuery1.execLines(
        {"INSERT INTO MEMPOINT_USED(SAL_DATE,SAL_NO,MEMBER_ID,CARD_ID,U_POINT,SAL_AMT,CR_DATETIME) ",
         " SELECT SAL_DATE,SAL_NO,MEMBER_ID,CST_NO AS CARD_ID,SAL_AMT AS "
         "U_POINT,SAL_AMT,SAL_DATE||SAL_TIME AS "
         "CR_DATETIME FROM POSCHANGE_MASTER",
         "WHERE SAL_DATE||SAL_NO NOT IN ",
         "(SELECT SAL_DATE||SAL_NO FROM MEMPOINT_USED WHERE SAL_DATE||SAL_NO IS NOT NULL)"});
    group.commit();
}

}  // namespace lumvik::transfer
