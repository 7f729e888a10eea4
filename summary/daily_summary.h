#pragma once

// The daily summary: one day's sales of the ERP database written into the log pane, computed through a
// scratch table and a category view made for it; and the clean-up that drops those two again.

#include "app/shell/form_core.h"

#include <string>

namespace lumvik::summary {

inline constexpr const char* kNoData = "查無資料.....";

// The summary of the date field's day (SpeedButton3Click).
void dailySummary(FormCore& form);

// Drops the scratch view, then the scratch table, whose names the form holds, each only when the
// catalogue shows it (SpeedButton_TMPClick; also at a confirmed exit and before each summary).
void cleanUpScratch(FormCore& form);

// A listing line of the log pane: NAME and 20 blanks cut to 26 bytes, NAME2 and 20 blanks cut to 25
// bytes, each followed by a blank.
[[nodiscard]] std::string listingLine(const std::string& name, const std::string& name2);

// The NAME of a group row: the group field (name, "=NT$", amount, cut to 20 bytes) and the quantity
// field (6 bytes).
[[nodiscard]] std::string groupRowName(const std::string& groupName, double amount, double quantity);

}  // namespace lumvik::summary
