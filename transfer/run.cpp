#include "transfer/run.h"

#include "app/shell/date_forms.h"
#include "base/text.h"
#include "db/connection_params.h"
#include "transfer/costs.h"
#include "transfer/enrichment.h"
#include "transfer/family_prep.h"
#include "transfer/gifts.h"
#include "transfer/loc_ip.h"
#include "transfer/master_copy.h"
#include "transfer/points.h"
#include "transfer/texts.h"
#include "transfer/verification.h"

namespace lumvik::transfer {

using namespace std::chrono_literals;

TransferRun::TransferRun(FormCore& form, RunOptions options) : form_(form), options_(options) {}

namespace {

// A program in the program's directory, by its full name.
std::string besideUs(const Platform& platform, const char* program) {
    return (platform.programDirectory() / program).string();
}

// Starts a sibling program. One that cannot be started is named, with why, in the log and in a
// warning box, and the run goes on as it would after a start.
void startSibling(FormCore& form, const std::vector<std::string>& arguments) {
    const auto failure = form.platform().startProgram(arguments);
    if (!failure) return;
    const std::string text = "cannot start " + arguments.front() + ": " + *failure;
    form.op().log(text);
    form.op().warning(text);
}

// A family's pass: what it copied goes on the family's account when it ends, also by a failure.
class FamilyPass {
  public:
    FamilyPass(RunCounts& counts, int family)
        : counts_(counts),
          family_(static_cast<std::size_t>(family)),
          bills_(counts.billsCopied),
          lines_(counts.linesCopied) {
        counts_.family = family;
    }
    ~FamilyPass() {
        counts_.moved.bills[family_] += counts_.billsCopied - bills_;
        counts_.moved.lines[family_] += counts_.linesCopied - lines_;
        counts_.family = -1;
    }
    FamilyPass(const FamilyPass&) = delete;
    FamilyPass& operator=(const FamilyPass&) = delete;

  private:
    RunCounts& counts_;
    std::size_t family_;
    std::uint64_t bills_, lines_;
};

}  // namespace

void TransferRun::closedDayCheck(const std::string& chosenDateValue) {
    db::SqlQuery& q = form_.SQLQuery1;
    q.close();
    q.sql().clear();
    q.sql().add("SELECT * FROM X_DAYPOS_MASTER ");
    q.sql().add(" WHERE SAL_DATE = " + text::quoted(chosenDateValue));
    q.open();
    const bool closed = q.field("SAL_DATE").asString() == chosenDateValue;
    q.close();
    if (closed) {
        form_.op().warning(texts::kClosedDay);
        throw Abort(QuietEnd::ClosedDay);
    }
}

void TransferRun::tempProductCheck(const std::string& code) {
    db::RowSet& rows = form_.ClientDataSet1;
    rows.close();
    rows.setCommandText("SELECT PROD_ID,pd_itemid FROM PRODUCT WHERE PROD_ID = " + text::quoted(code));
    rows.open();
    if (rows.recordCount() == 0) {
        form_.op().warning(texts::kTempProductMissing);
        throw Abort(QuietEnd::TempProductMissing);
    }
}

void TransferRun::collectorHandOff() {
    Platform& platform = form_.platform();
    if (!platform.windowClassExists(texts::kCollectorClass)) startSibling(form_, {texts::kCollector});
    platform.sleep(5000ms);
    do {
        platform.sleep(5000ms);
    } while (platform.windowClassExists(texts::kCollectorClass));
    form_.op().repaint();
}

bool TransferRun::connect() {
    connectFailure_.reset();
    try {
        form_.SQLConSource.open();
        form_.SQLConnection1.open();
        return true;
    } catch (const std::exception& e) {
        form_.sourceConnected = false;
        form_.erpConnected = false;
        // Not silent: the operator learns why nothing was transferred.
        connectFailure_ = e.what();
        form_.op().log(e.what());
        form_.op().warning(e.what());
        return false;
    }
}

void TransferRun::bsSkinButton1Click() {
    Operator& op = form_.op();
    Platform& platform = form_.platform();
    const std::string chosenDateValue = dates::gregorianText(op.dateValue());

    if (op.transferMode() == 1) closedDayCheck(chosenDateValue);
    op.setExitEnabled(false);
    op.setOkEnabled(false);

    const std::string tempProduct = text::trimmed(op.tempProduct());
    tempProductCheck(tempProduct);

    writeLocIp(platform.programDirectory(),
               locIpBytes(op.machines(), op.machineTicks(), form_.machineAddresses, op.transferMode(),
                          chosenDateValue));

    form_.ClientDataSet1.close();
    form_.SQLConnection1.close();
    form_.SQLConSource.close();
    db::writeStoreParams(form_.SQLConSource, op.sourcePath(), op.serverKind());

    if (form_.retryCounter == 0 && !options_.skipCollector) collectorHandOff();
    op.repaint();

    RunContext run{form_, dates::gregorianText(dates::requireDate(op.dateText())), chosenDateValue,
                   tempProduct, counts_};

    connect();
    if (form_.sourceConnected && form_.erpConnected) {
        body(run);
        if (form_.totalsFinding || form_.missingLinesFinding) {
            if (form_.retryCounter > 1) {
                op.warning(texts::kSevereAnomaly);
                if (!platform.windowClassExists(texts::kRepairToolClass))
                    startSibling(form_, {besideUs(platform, texts::kRepairTool)});
                op.setExitEnabled(true);
                throw Abort(QuietEnd::SevereAnomaly);
            }
            op.setTransferMode(0);
            ++form_.retryCounter;
            bsSkinButton1Click();
        }
        op.log(texts::kCompleted);
        if (!form_.totalsFinding && !form_.missingLinesFinding) op.information(texts::kCompleted);
    }

    startUploader(chosenDateValue);
    op.setExitEnabled(true);
}

void TransferRun::body(RunContext& run) {
    Operator& op = form_.op();
    op.log(texts::kConnected);
    op.log(run.timeLine());
    form_.CDS_STOCK.close();
    form_.CDS_STOCK.setCommandText("SELECT * FROM MCH_ITEM ");
    form_.CDS_STOCK.open();

    for (const db::Family& family : db::kFamilies) {
        const FamilyPass pass(run.counts, family.index);
        const std::exception_ptr heldBack = prepareFamily(run, family);
        copyBills(run, family);
        closeFamily(run, family);
        if (heldBack) std::rethrow_exception(heldBack);
        op.log(run.timeLine());
        run.platform().sleep(500ms);
    }

    enrich(run);
    transferGiftsAndDiscountRolls(run);
    transferCosts(run);
    transferPoints(run);
    verifyAndRecollect(run);
}

void TransferRun::startUploader(const std::string& chosenDateValue) {
    Platform& platform = form_.platform();
    if (!platform.fileExists(platform.programDirectory() / texts::kUploader)) return;
    const int mode = form_.op().transferMode();
    if (mode != 0 && mode != 1) return;
    const std::string date = mode == 0 ? dates::gregorianText(platform.now().date) : chosenDateValue;
    startSibling(form_, {besideUs(platform, texts::kUploader), "xx", date});
}

}  // namespace lumvik::transfer
