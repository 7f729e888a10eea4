#pragma once

// A small store with four machines and one business day, for the demo and for tests that want a
// plausible installation rather than hand-made rows.

#include "db/sql_access.h"

#include <string>

namespace lumvik::tools {

struct DemoDay {
    std::string gregorianDate = "2012/12/10";  // the business day, as the ERP writes it
    std::string rocDate = "101/12/10";         // the same day, as the store writes it
};

// Machines, products, categories, members and the transfer state in the ERP database.
void fillDemoErp(db::Connection& erp);

// The day's bills with their lines in the store database.
void fillDemoStore(db::Connection& store, const DemoDay& day = {});

// The temporary product code the demo's settings name.
inline constexpr const char* kDemoTempProduct = "00000000001";

}  // namespace lumvik::tools
