#include "db/database.h"

#include "db/detail/dpb.h"
#include "db/error.h"

namespace lumvik::db {

using namespace Firebird;

namespace {

IXpbBuilder* makeDpb(Status& st, const std::string& user, const std::string& password) {
    IXpbBuilder* dpb = newUtf8Dpb(st);
    if (!user.empty()) dpb->insertString(&st, isc_dpb_user_name, user.c_str());
    if (!password.empty()) dpb->insertString(&st, isc_dpb_password, password.c_str());
    dpb->insertInt(&st, isc_dpb_sql_dialect, 3);
    st.check();
    return dpb;
}

}  // namespace

void createDatabase(const std::string& database, const std::string& user, const std::string& password,
                    bool forcedWrites) {
    Status st;
    IXpbBuilder* dpb = makeDpb(st, user, password);
    dpb->insertInt(&st, isc_dpb_page_size, 8192);
    dpb->insertInt(&st, isc_dpb_force_write, forcedWrites ? 1 : 0);
    st.check();
    IProvider* provider = clientMaster()->getDispatcher();
    IAttachment* att =
        provider->createDatabase(&st, database.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    provider->release();
    dpb->dispose();
    st.check();
    att->detach(&st);
    if (st.failed()) att->release();
}

void dropDatabase(const std::string& database, const std::string& user, const std::string& password) {
    Status st;
    IXpbBuilder* dpb = makeDpb(st, user, password);
    IProvider* provider = clientMaster()->getDispatcher();
    IAttachment* att =
        provider->attachDatabase(&st, database.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    provider->release();
    dpb->dispose();
    st.check();
    att->dropDatabase(&st);
    if (st.failed()) {
        DbError e = st.error();
        att->detach(&st);
        throw e;
    }
}

}  // namespace lumvik::db
