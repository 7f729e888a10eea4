#pragma once

// What the bill copy and the line copy share: the state of the bill being copied, and the wide key
// their look-ups compare ERP columns with.

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

}  // namespace lumvik::transfer
