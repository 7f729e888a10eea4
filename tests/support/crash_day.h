#pragma once

// The business day the crash, stop and lock tests run lumvik-auto on, and its "day again" variant.

#include "tests/support/run_fixture.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace lumvik::testing {

inline constexpr const char* kDay = "2012/12/10";
inline constexpr const char* kRocDay = "101/12/10";

// A row from its column names, blank-separated, and their values in the same order.
[[nodiscard]] Row row(const std::string& names, std::initializer_list<db::Value> values);

// A day with bills in all four families: sales with a member, an unknown product (copied as the
// temporary product), a return, a three-line bill, a bill of the day before; gifts, discount rolls,
// line costs (one unknown at 0, one NULL), member points (one row without a member). Besides, a bill
// transferred before whose ERP copy has since been damaged (its lines do not add up), so that the
// verification puts it back and the run makes a second pass.
void fillDay(db::Connection& store, db::Connection& erp);

// The same day once transferred (both databases as a mode 0 run left them), then changed in the store
// the way that makes an operator run the day again (mode 1): line costs corrected, a gift, a discount
// roll and points changed, a family-1 bill voided, a family-3 bill added; and the ERP copy of the bill
// of the day before damaged, so that a verification of all dates finds it and a second pass copies
// it again.
void changeForDayAgain(db::Connection& store, db::Connection& erp);

}  // namespace lumvik::testing
