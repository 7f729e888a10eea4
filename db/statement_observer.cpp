#include "db/statement_observer.h"

#include "db/detail/observed_work.h"

#include <utility>

namespace lumvik::db {

namespace {

StatementObserver& observer() {
    static StatementObserver o;
    return o;
}

}  // namespace

void setStatementObserver(StatementObserver o) {
    observer() = std::move(o);
}

ObservedWork::ObservedWork(const std::string& sql, bool started) : sql_(sql), started_(started) {
    if (observer()) start_ = std::chrono::steady_clock::now();
}

ObservedWork::~ObservedWork() {
    if (observer()) observer()(sql_, std::chrono::steady_clock::now() - start_, started_);
}

}  // namespace lumvik::db
