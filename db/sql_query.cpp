#include "db/sql_query.h"

#include "base/codepage.h"
#include "db/detail/statement_scope.h"
#include "db/detail/status.h"
#include "db/prepared_statement.h"

#include <utility>

namespace lumvik::db {

using namespace Firebird;

std::string SqlLines::text() const {
    std::string out;
    for (const auto& line : lines_)
        out += line + "\r\n";
    return out;
}

struct SqlQuery::Cursor {
    IResultSet* resultSet = nullptr;
    ~Cursor() {
        if (resultSet != nullptr) {
            Status st;
            resultSet->close(&st);
            if (st.failed()) resultSet->release();
        }
    }
};

SqlQuery::SqlQuery(Connection& connection, std::string name)
    : connection_(connection), name_(std::move(name)) {
    connection_.addUser(this);
}

SqlQuery::~SqlQuery() {
    try {
        close();
    } catch (...) {
    }
    connection_.removeUser(this);
}

void SqlQuery::execSql() {
    const std::vector<Value> params = std::exchange(params_, {});
    close();
    connection_.execute(sql_.text(), params);
}

void SqlQuery::execLines(std::initializer_list<std::string> lines) {
    close();
    sql_.clear();
    params_.clear();
    for (const auto& line : lines)
        sql_.add(line);
    execSql();
}

void SqlQuery::openLines(std::initializer_list<std::string> lines) {
    close();
    sql_.clear();
    params_.clear();
    for (const auto& line : lines)
        sql_.add(line);
    open();
}

void SqlQuery::open() {
    const std::vector<Value> params = std::exchange(params_, {});
    close();
    try {
        std::unique_ptr<StatementScope> scope;
        statement_ = prepareForReading(connection_, cp950::fromUtf8(sql_.text()), scope);
        if (scope->owned()) {
            transaction_ = std::move(scope->ownTransaction());
            running_ = &transaction_;
        } else {
            running_ = &scope->transaction();
        }
        cursor_ = std::make_unique<Cursor>();
        cursor_->resultSet = statement_->openCursor(*running_, params);
        columns_ = statement_->columns();
        indexColumns();
        active_ = true;
        eof_ = false;
        row_.clear();
        fetch();
    } catch (...) {
        cursor_.reset();
        statement_ = nullptr;
        transaction_.rollback();
        running_ = nullptr;
        active_ = false;
        eof_ = true;
        throw;
    }
}

void SqlQuery::endTransaction() {
    // A read inside a group leaves the group's transaction to the group.
    if (running_ == &transaction_ && transaction_.active()) transaction_.commit();
    running_ = nullptr;
}

void SqlQuery::fetch() {
    std::vector<Value> next;
    if (statement_->fetch(cursor_->resultSet, *running_, next)) {
        row_ = std::move(next);
        return;
    }
    // The read is complete: the statement ends here and its transaction is committed, while the
    // last row stays readable.
    eof_ = true;
    cursor_.reset();
    endTransaction();
}

void SqlQuery::next() {
    if (!active_ || eof_) return;
    fetch();
}

void SqlQuery::close() {
    cursor_.reset();
    endTransaction();
    statement_ = nullptr;
    active_ = false;
    eof_ = true;
    row_.clear();
}

const Value* SqlQuery::currentValues() const {
    return row_.empty() ? nullptr : row_.data();
}

}  // namespace lumvik::db
