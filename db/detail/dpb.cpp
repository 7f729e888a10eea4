#include "db/detail/dpb.h"

namespace lumvik::db {

Firebird::IXpbBuilder* newUtf8Dpb(Status& st) {
    Firebird::IXpbBuilder* dpb =
        clientMaster()->getUtilInterface()->getXpbBuilder(&st, Firebird::IXpbBuilder::DPB, nullptr, 0);
    st.check();
    dpb->insertTag(&st, isc_dpb_utf8_filename);
    if (st.failed()) {
        dpb->dispose();
        st.check();
    }
    return dpb;
}

}  // namespace lumvik::db
