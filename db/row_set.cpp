#include "db/row_set.h"

#include "base/codepage.h"
#include "base/text.h"
#include "db/detail/row_decoding.h"
#include "db/detail/statement_scope.h"
#include "db/detail/status.h"
#include "db/error.h"
#include "db/named_params.h"
#include "db/prepared_statement.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <utility>

namespace lumvik::db {

using namespace Firebird;

namespace {

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

bool isBlob(const Column& c) {
    return c.type == SQL_BLOB || c.type == SQL_ARRAY || c.type == SQL_QUAD;
}

}  // namespace

RowSet::RowSet(Connection* connection, std::string name) : connection_(connection), name_(std::move(name)) {
    if (connection_ != nullptr) connection_->addUser(this);
}

RowSet::~RowSet() {
    if (connection_ != nullptr) connection_->removeUser(this);
}

Connection& RowSet::requireConnection() const {
    if (connection_ == nullptr) throw DbError(name_ + ": the row set is bound to no connection");
    return *connection_;
}

void RowSet::setCommandText(std::string text) {
    commandText_ = std::move(text);
    ParsedParams parsed = parseParams(commandText_);
    preparedText_ = std::move(parsed.text);
    paramOrder_ = std::move(parsed.names);
    // A new text offers its parameters afresh, none of them assigned yet.
    params_.clear();
    for (const auto& name : paramOrder_)
        params_.emplace(text::upperAscii(name), std::nullopt);
}

std::vector<std::string> RowSet::paramNames() const {
    std::vector<std::string> out;
    for (const auto& name : paramOrder_)
        if (std::find_if(out.begin(), out.end(),
                         [&](const auto& n) { return text::equalsNoCase(n, name); }) == out.end())
            out.push_back(name);
    return out;
}

void RowSet::setParam(std::string_view name, Value value) {
    auto it = params_.find(text::upperAscii(name));
    if (it == params_.end()) throw DbError(name_ + ": Parameter '" + std::string(name) + "' not found");
    it->second = std::move(value);
}

std::vector<Value> RowSet::boundParams() const {
    std::vector<Value> values;
    values.reserve(paramOrder_.size());
    for (const auto& name : paramOrder_) {
        const std::string key = text::upperAscii(name);
        const std::optional<Value>& value = params_.at(key);
        if (!value) throw DbError(name_ + ": No value for parameter '" + name + "'");
        values.push_back(*value);
    }
    return values;
}

void RowSet::open() {
    open({});
}

void RowSet::open(const std::function<bool(const RowSet&)>& keep) {
    Connection& connection = requireConnection();
    close();
    const std::vector<Value> params = boundParams();
    std::unique_ptr<StatementScope> scope;
    const std::shared_ptr<PreparedStatement> prepared =
        prepareForReading(connection, cp950::fromUtf8(preparedText_), scope);
    PreparedStatement& statement = *prepared;
    Transaction& transaction = scope->transaction();
    IResultSet* rs = statement.openCursor(transaction, params);
    decodedRow_ = -1;
    layout_ = statement.layout();
    columns_ = statement.columns();
    indexColumns();
    // A row the caller does not keep is taken back at once.
    auto offer = [&] {
        if (!keep) return;
        current_ = recordCount() - 1;
        if (!keep(*this)) rows_.pop_back();
        decodedRow_ = -1;
    };
    try {
        if (layout_->hasBlobs) {
            std::vector<Value> row;
            while (statement.fetch(rs, transaction, row)) {
                rows_.push_back({{}, row});
                offer();
            }
        } else {
            std::vector<unsigned char> message;
            while (statement.fetchRaw(rs, message)) {
                rows_.push_back({message, {}});
                offer();
            }
        }
        Status st;
        rs->close(&st);
        if (st.failed()) {
            rs->release();
            throw st.error();
        }
    } catch (...) {
        rows_.clear();
        throw;
    }
    scope->commit();
    active_ = true;
    first();
}

void RowSet::openWithoutRows() {
    close();
    columns_ = requireConnection().describe(preparedText_);
    indexColumns();
    layout_.reset();
    active_ = true;
    first();
}

const std::vector<Value>& RowSet::rowValues(int row) const {
    const StoredRow& stored = rows_[static_cast<std::size_t>(row)];
    if (stored.raw.empty()) return stored.values;
    if (decodedRow_ != row) {
        decoded_.clear();
        for (std::size_t i = 0; i < columns_.size(); ++i)
            decoded_.push_back(
                decodeField(columns_[i], stored.raw.data(), layout_->offsets[i], layout_->nullOffsets[i]));
        decodedRow_ = row;
    }
    return decoded_;
}

void RowSet::close() {
    rows_.clear();
    decodedRow_ = -1;
    changes_.clear();
    state_ = EditState::Browse;
    active_ = false;
    current_ = -1;
    eof_ = true;
}

void RowSet::execute() {
    Connection& connection = requireConnection();
    if (paramOrder_.empty()) {
        connection.execute(commandText_);
        return;
    }
    connection.execute(preparedText_, boundParams());
}

void RowSet::first() {
    current_ = rows_.empty() ? -1 : 0;
    eof_ = rows_.empty();
}

void RowSet::moveTo(int row) {
    current_ = row >= 0 && row < recordCount() ? row : -1;
    eof_ = current_ < 0;
}

void RowSet::next() {
    if (eof_) return;
    if (current_ + 1 < recordCount())
        ++current_;
    else
        eof_ = true;  // stays on the last row, as a read past the end does
}

const Value* RowSet::currentValues() const {
    if (state_ != EditState::Browse) return editBuffer_.data();
    if (current_ < 0 || current_ >= recordCount()) return nullptr;
    return rowValues(current_).data();
}

void RowSet::insert() {
    if (!active_) throw DbError(name_ + ": Cannot perform this operation on a closed dataset");
    if (state_ != EditState::Browse) post();
    state_ = EditState::Insert;
    editBuffer_.assign(columns_.size(), Value());
    editOriginal_.clear();
    editChanged_.assign(columns_.size(), false);
}

void RowSet::edit() {
    if (!active_) throw DbError(name_ + ": Cannot perform this operation on a closed dataset");
    if (current_ < 0) throw DbError(name_ + ": Cannot edit an empty dataset");
    if (state_ != EditState::Browse) post();
    state_ = EditState::Edit;
    editBuffer_ = rowValues(current_);
    editOriginal_ = editBuffer_;
    editChanged_.assign(columns_.size(), false);
}

void RowSet::setField(std::string_view name, Value value) {
    if (state_ == EditState::Browse) throw DbError(name_ + ": Dataset not in edit or insert mode");
    const int i = fieldIndex(name);
    if (i < 0) throw DbError("Field '" + std::string(name) + "' not found");
    editBuffer_[static_cast<std::size_t>(i)] =
        forColumn(std::move(value), columns_[static_cast<std::size_t>(i)]);
    editChanged_[static_cast<std::size_t>(i)] = true;
}

void RowSet::post() {
    if (state_ == EditState::Insert) {
        rows_.push_back({{}, editBuffer_});
        current_ = recordCount() - 1;
        changes_.push_back({Change::Kind::Insert, current_, {}, editChanged_});
    } else if (state_ == EditState::Edit) {
        rows_[static_cast<std::size_t>(current_)] = {{}, editBuffer_};
        decodedRow_ = -1;
        changes_.push_back({Change::Kind::Update, current_, editOriginal_, editChanged_});
    }
    state_ = EditState::Browse;
    eof_ = false;
}

std::string RowSet::updateTable() const {
    std::string table;
    for (const auto& c : columns_) {
        if (c.relation.empty() || c.field.empty())
            throw DbError(name_ + ": the column " + c.name +
                          " belongs to no table; the rows cannot be written back");
        if (table.empty())
            table = c.relation;
        else if (table != c.relation)
            throw DbError(name_ + ": the query reads more than one table; the rows cannot be written back");
    }
    if (table.empty()) throw DbError(name_ + ": the query reads no table; the rows cannot be written back");
    return table;
}

void RowSet::applyOne(const Change& change) {
    std::string sql;
    std::vector<Value> params;
    statementOf(change, sql, params);
    if (!sql.empty()) requireConnection().execute(sql, params);
}

bool RowSet::takeInsert(std::string& sql, std::vector<Value>& params) {
    if (state_ != EditState::Browse) post();
    if (changes_.size() != 1 || changes_.front().kind != Change::Kind::Insert) return false;
    statementOf(changes_.front(), sql, params);
    changes_.clear();
    return true;
}

void RowSet::statementOf(const Change& change, std::string& sql, std::vector<Value>& params) const {
    const std::string table = quoteName(updateTable());
    const std::vector<Value> row = rowValues(change.row);
    if (change.kind == Change::Kind::Insert) {
        std::string names, marks;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (!change.changed[i]) continue;
            names += (names.empty() ? "" : ",") + quoteName(columns_[i].field);
            marks += marks.empty() ? "?" : ",?";
            params.push_back(row[i]);
        }
        sql = names.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                            : "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    } else {
        std::string sets;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (!change.changed[i]) continue;
            sets += (sets.empty() ? "" : ",") + quoteName(columns_[i].field) + "=?";
            params.push_back(row[i]);
        }
        if (sets.empty()) return;
        // The row is found again by every value it was read with (there is no declared key), and only
        // one row is changed even when several rows hold those same values.
        std::string where;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (isBlob(columns_[i])) continue;
            where += where.empty() ? "" : " AND ";
            if (change.original[i].isNull()) {
                where += quoteName(columns_[i].field) + " IS NULL";
            } else {
                where += quoteName(columns_[i].field) + "=?";
                params.push_back(change.original[i]);
            }
        }
        sql = "UPDATE " + table + " SET " + sets + (where.empty() ? "" : " WHERE " + where) + " ROWS 1";
    }
}

int RowSet::applyUpdates(int maxErrors) {
    int refused = 0;
    lastApplyError_.clear();
    if (state_ != EditState::Browse) post();
    while (!changes_.empty()) {
        Change change = std::move(changes_.front());
        changes_.erase(changes_.begin());
        try {
            applyOne(change);
        } catch (const DbError& e) {
            // A refused row is dropped: the row set goes back to what it held before the change.
            ++refused;
            lastApplyError_ = e.what();
            if (change.kind == Change::Kind::Insert) {
                rows_.erase(rows_.begin() + change.row);
                decodedRow_ = -1;
                for (auto& later : changes_)
                    if (later.row > change.row) --later.row;
                if (current_ >= recordCount()) current_ = recordCount() - 1;
            } else {
                rows_[static_cast<std::size_t>(change.row)] = {{}, change.original};
                decodedRow_ = -1;
            }
            if (refused > maxErrors) break;
        }
    }
    eof_ = rows_.empty();
    return refused;
}

void RowSet::copyFrom(const RowSet& other) {
    close();
    columns_ = other.columns_;
    indexColumns();
    rows_ = other.rows_;
    layout_ = other.layout_;
    decodedRow_ = -1;
    active_ = true;
    first();
}

void RowSet::copyRowsFrom(const RowSet& other, const std::vector<int>& rows) {
    close();
    columns_ = other.columns_;
    indexColumns();
    layout_ = other.layout_;
    rows_.reserve(rows.size());
    for (const int row : rows)
        rows_.push_back(other.rows_.at(static_cast<std::size_t>(row)));
    active_ = true;
    first();
}

void RowSet::keepRows(const std::vector<bool>& keep) {
    std::vector<StoredRow> kept;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (i < keep.size() && keep[i]) kept.push_back(std::move(rows_[i]));
    rows_ = std::move(kept);
    decodedRow_ = -1;
    changes_.clear();
    first();
}

}  // namespace lumvik::db
