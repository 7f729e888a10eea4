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
#include "transfer/unfinished_run.h"
#include "transfer/verification.h"

#include <utility>

namespace lumvik::transfer {

using namespace std::chrono_literals;

TransferRun::TransferRun(FormCore& form, RunOptions options) : TransferRun(form, form.op(), options) {}

TransferRun::TransferRun(FormCore& form, Operator& op, RunOptions options)
    : form_(form), op_(op), options_(options) {}

namespace {

// A program in the program's directory, by its full name.
std::string besideUs(const Platform& platform, const char* program) {
    return (platform.programDirectory() / program).string();
}

// Starts a sibling program. One that cannot be started is named, with why, in the log and in a
// warning box, and the run goes on as it would after a start.
void startSibling(Platform& platform, Operator& op, const std::vector<std::string>& arguments) {
    const auto failure = platform.startProgram(arguments);
    if (!failure) return;
    const std::string text = "cannot start " + arguments.front() + ": " + *failure;
    op.log(text);
    op.warning(text);
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
        op_.warning(texts::kClosedDay);
        throw Abort(QuietEnd::ClosedDay);
    }
}

void TransferRun::tempProductCheck(const std::string& code) {
    db::RowSet& rows = form_.ClientDataSet1;
    rows.close();
    rows.setCommandText("SELECT PROD_ID,pd_itemid FROM PRODUCT WHERE PROD_ID = " + text::quoted(code));
    rows.open();
    if (rows.recordCount() == 0) {
        op_.warning(texts::kTempProductMissing);
        throw Abort(QuietEnd::TempProductMissing);
    }
}

void TransferRun::collectorHandOff() {
    Platform& platform = form_.platform();
    if (!platform.windowClassExists(texts::kCollectorClass)) startSibling(platform, op_, {texts::kCollector});
    platform.sleep(5000ms);
    do {
        platform.sleep(5000ms);
    } while (platform.windowClassExists(texts::kCollectorClass));
    op_.repaint();
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
        op_.log(e.what());
        op_.warning(e.what());
        return false;
    }
}

void TransferRun::bsSkinButton1Click() {
    if (!options_.finishing) finishUnfinishedRun();
    if (!connectFailure_) pass(0);
}

void TransferRun::finishUnfinishedRun() {
    const auto folder = form_.platform().programDirectory();
    const auto unfinished = readUnfinishedRun(folder);
    // A day-again run of the same day and machines does that work anyway.
    if (!unfinished ||
        (op_.transferMode() == 1 && dates::parseDate(op_.dateText()) && unfinishedRunOf(op_) == *unfinished))
        return;
    op_.log("the day-again transfer of " + unfinished->date + " did not finish; it is done again first");
    RecordedChoices recorded(op_, *unfinished);
    TransferRun finishing(form_, recorded, {.skipCollector = true, .finishing = true});
    // A separate unit of work: its re-runs do not count against this run's.
    const int retries = std::exchange(form_.retryCounter, 0);
    try {
        finishing.bsSkinButton1Click();
    } catch (const Abort& quiet) {
        // A day closed since can no longer be done again (its box has been shown); the record goes.
        if (quiet.reason() != QuietEnd::ClosedDay) throw;
        removeUnfinishedRun(folder);
    }
    form_.retryCounter = retries;
    connectFailure_ = finishing.connectFailure();
    counts_.billsCopied += finishing.counts().billsCopied;
    counts_.linesCopied += finishing.counts().linesCopied;
    counts_.billsSkipped += finishing.counts().billsSkipped;
}

void TransferRun::pass(int depth) {
    Operator& op = op_;
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

    const std::string chosenDate = dates::gregorianText(dates::requireDate(op.dateText()));
    RunContext run(form_, op, chosenDate, chosenDateValue, tempProduct, counts_, options_.plainStatements,
                   options_.batchEverywhere);

    connect();
    if (form_.sourceConnected && form_.erpConnected) {
        // Recorded before the first change, removed once the work and its re-runs are done.
        const bool recorded = depth == 0 && op.transferMode() == 1;
        const auto folder = platform.programDirectory();
        if (recorded) writeUnfinishedRun(folder, unfinishedRunOf(op));
        try {
            bodyAndRerun(run, depth);
        } catch (const Abort& quiet) {
            // Done as far as it can be: running the day again would only end there again.
            if (recorded && quiet.reason() == QuietEnd::SevereAnomaly) removeUnfinishedRun(folder);
            throw;
        }
        if (recorded) removeUnfinishedRun(folder);
    }

    startUploader(chosenDateValue);
    op.setExitEnabled(true);
}

void TransferRun::bodyAndRerun(RunContext& run, int depth) {
    Operator& op = op_;
    Platform& platform = form_.platform();
    bodyNamingLockStep(run);
    if (form_.totalsFinding || form_.missingLinesFinding) {
        if (form_.retryCounter > 1) {
            op.warning(texts::kSevereAnomaly);
            if (!platform.windowClassExists(texts::kRepairToolClass))
                startSibling(platform, op, {besideUs(platform, texts::kRepairTool)});
            op.setExitEnabled(true);
            throw Abort(QuietEnd::SevereAnomaly);
        }
        op.setTransferMode(0);
        ++form_.retryCounter;
        pass(depth + 1);
    }
    op.log(texts::kCompleted);
    if (!form_.totalsFinding && !form_.missingLinesFinding) op.information(texts::kCompleted);
}

void TransferRun::bodyNamingLockStep(RunContext& run) {
    try {
        body(run);
    } catch (db::LockTimeout& timeout) {
        // Named and logged once, by the innermost run it happened in.
        if (timeout.step().empty()) {
            timeout.setStep(step_);
            op_.log(timeout.what());
        }
        throw;
    }
}

void TransferRun::body(RunContext& run) {
    Operator& op = op_;
    step_ = "the start of the transfer";
    op.log(texts::kConnected);
    op.log(run.timeLine());
    form_.CDS_STOCK.close();
    form_.CDS_STOCK.setCommandText("SELECT * FROM MCH_ITEM ");
    form_.CDS_STOCK.open();

    for (const db::Family& family : db::kFamilies) {
        const FamilyPass pass(run.counts, family.index);
        step_ = "family " + std::to_string(family.index) + " (" + family.storeMaster + " to " +
                family.erpMaster + ")";
        const std::exception_ptr heldBack = prepareFamily(run, family);
        copyBills(run, family);
        closeFamily(run, family);
        if (heldBack) std::rethrow_exception(heldBack);
        op.log(run.timeLine());
        run.platform().sleep(500ms);
    }

    step_ = "the enrichment";
    enrich(run);
    step_ = "the gifts and discount rolls (POS_GIVE, POS_DISROL)";
    transferGiftsAndDiscountRolls(run);
    step_ = "the costs (POS_COST)";
    transferCosts(run);
    step_ = "the points (POINT_MASTER)";
    transferPoints(run);
    step_ = "the verification";
    verifyAndRecollect(run);
}

void TransferRun::startUploader(const std::string& chosenDateValue) {
    Platform& platform = form_.platform();
    if (!platform.fileExists(platform.programDirectory() / texts::kUploader)) return;
    const int mode = op_.transferMode();
    if (mode != 0 && mode != 1) return;
    const std::string date = mode == 0 ? dates::gregorianText(platform.now().date) : chosenDateValue;
    startSibling(platform, op_, {besideUs(platform, texts::kUploader), "xx", date});
}

}  // namespace lumvik::transfer
