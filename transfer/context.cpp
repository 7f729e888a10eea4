#include "transfer/context.h"

#include "app/shell/date_forms.h"
#include "transfer/key_index.h"
#include "transfer/table_copy.h"

namespace lumvik::transfer {

RunContext::RunContext(FormCore& form, Operator& op, std::string chosenDate, std::string chosenDateValue,
                       std::string tempProduct, RunCounts& counts, bool plainStatements, bool batchEverywhere)
    : form(form),
      chosenDate(std::move(chosenDate)),
      chosenDateValue(std::move(chosenDateValue)),
      tempProduct(std::move(tempProduct)),
      counts(counts),
      fromMemory(!plainStatements),
      op_(op),
      caches_(std::make_unique<RunCaches>()),
      batchEverywhere_(batchEverywhere) {}

RunContext::~RunContext() = default;

db::Batch* RunContext::erpBatch() {
    if (!erpBatch_)
        erpBatch_ = fromMemory && (batchEverywhere_ || form.SQLConnection1.remote())
                        ? std::make_unique<db::Batch>(form.SQLConnection1)
                        : nullptr;
    return erpBatch_->get();
}

void RunContext::log(const std::string& line) {
    if (db::Batch* batch = erpBatch(); batch != nullptr && batch->pending()) {
        Operator& o = op();
        batch->then([&o, line] { o.log(line); });
        return;
    }
    op().log(line);
}

bool RunContext::insertCounted(const std::string& sql, std::vector<db::Value> values, std::string failedLine,
                               std::uint64_t& counter) {
    if (db::Batch* batch = erpBatch()) {
        batch->add(sql, std::move(values),
                   [&o = op(), &counter, failed = std::move(failedLine)](const db::DbError* failure) {
                       if (failure != nullptr)
                           o.log(failed);
                       else
                           ++counter;
                   });
        return true;
    }
    form.SQLConnection1.execute(sql, values);
    ++counter;
    return false;
}

bool RunContext::plainErpTexts() {
    if (!plainErpTexts_) plainErpTexts_ = fromMemory && plainTexts(form.SQLConnection1);
    return *plainErpTexts_;
}

bool RunContext::plainStoreTexts() {
    if (!plainStoreTexts_) plainStoreTexts_ = fromMemory && plainTexts(form.SQLConSource);
    return *plainStoreTexts_;
}

std::string RunContext::today() const {
    return dates::gregorianText(platform().now().date);
}

std::string RunContext::timeLine() const {
    return dates::timeText(platform().now().time);
}

void RunContext::fitToColumns(std::vector<db::Value>& values, const std::string& selectSql) {
    auto it = columns_.find(selectSql);
    if (it == columns_.end()) it = columns_.emplace(selectSql, form.SQLConnection1.describe(selectSql)).first;
    for (std::size_t i = 0; i < values.size() && i < it->second.size(); ++i)
        values[i] = db::forColumn(std::move(values[i]), it->second[i]);
}

}  // namespace lumvik::transfer
