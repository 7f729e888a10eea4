#pragma once

// The copy of a family's bills: each 'Wait' bill of CDS_S1 is checked against the bills already
// turned into sales orders, given its machine's stock, written into the family's ERP master table
// (replacing an older copy) and handed to the line copy. A failure of one bill or one line is logged
// and the walk goes on.

#include "transfer/context.h"

#include <string>

namespace lumvik::transfer {

// The state of the bill being copied, shared by the header and the line copy.
struct BillState {
    std::string date;         // Gregorian form of the store SAL_DATE
    std::string number;       // SAL_NO trimmed; the line copy replaces it by a line's SAL_NO as stored
    std::string machine;      // MCH_NO trimmed
    std::string stock;        // STOCK_ID of the machine
    std::string store;        // always empty
    std::string storeDate;    // the store SAL_DATE as stored (ROC form)
    std::string storeNumber;  // the store SAL_NO as stored
};

// A bound value compared with an ERP column, cast wide: a store value longer than the column (a date
// one digit too wide for SAL_DATE, a code longer than the ERP's) is then compared and found in no row,
// as it is when written into the statement, instead of failing the statement.
inline std::string wideKey(const char* param) {
    return std::string("CAST(") + param + " AS VARCHAR(255))";
}

// Walks CDS_S1 (opened by the family preparation).
void copyBills(RunContext& run, const db::Family& family);

// Copies the lines of one bill whose header has just been written (or attempted).
void copyLines(RunContext& run, const db::Family& family, BillState& bill);

}  // namespace lumvik::transfer
