#pragma once

// The fixed texts of a transfer run: message boxes and log lines, exactly as the operator sees them.

namespace lumvik::transfer::texts {

inline constexpr const char* kClosedDay = "該日已關帳不可任意傳輸資料";
inline constexpr const char* kTempProductMissing = "暫用商品未建檔..";
inline constexpr const char* kSevereAnomaly = "資料嚴重異常,請連絡程式設計師..!";
inline constexpr const char* kCompleted = "資料轉移完成..!";
inline constexpr const char* kConnected = "連結就緒..";
inline constexpr const char* kFamilyConnected = "Connected Successful..!";
inline constexpr const char* kExported = "已銷售轉出到銷貨單..";
inline constexpr const char* kUnknownMachine = " 機號設置有誤..!";
inline constexpr const char* kUnknownProduct = "商品不存在商品檔中..!!";
inline constexpr const char* kNoCategory = "_分類未設置!";
inline constexpr const char* kDetailError = "_detail error!";
inline constexpr const char* kNoCategoryMarker = "xyz00";
inline constexpr const char* kReturnCode = "退";
inline constexpr const char* kSaleFlag = "銷";
inline constexpr const char* kGiftsLine = "POS_GIVE Tran ...!";
inline constexpr const char* kDiscountRollsLine = "POS_DISROL Tran ...!";
inline constexpr const char* kCostsLine = "POS_COST Tran ...!";
inline constexpr const char* kPointsLine = "POINT_MASTER Tran ...!";
// A cost row whose line number is no whole number: left 'W' and named after this text.
inline constexpr const char* kBadOrdNo = " 有誤,保留待修正: ";
inline constexpr const char* kChecking = "資料檢核中..!";
inline constexpr const char* kCheckingSales = "銷售資料檢核..!";
inline constexpr const char* kCheckFoundHead = "資料檢核有資料";
inline constexpr const char* kCheckFoundTail = "筆異常..!";
inline constexpr const char* kAnomalyHead = "異常資料:";
inline constexpr const char* kAnomalyTail = "重收設定中..!";
inline constexpr const char* kCheckDone = "資料檢核完成..!";

// The sibling programs and their window classes.
inline constexpr const char* kCollector = "Harvo.exe";
inline constexpr const char* kCollectorClass = "TFHarvo";
inline constexpr const char* kRepairTool = "Quorrel.exe";
inline constexpr const char* kRepairToolClass = "TFormDisQuorrel";
inline constexpr const char* kUploader = "Wendry.exe";

}  // namespace lumvik::transfer::texts
