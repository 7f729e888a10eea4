#include "db/prepared_statement.h"

#include "base/codepage.h"
#include "base/text.h"
#include "db/connection.h"
#include "db/detail/input_message.h"
#include "db/detail/observed_work.h"
#include "db/detail/row_decoding.h"
#include "db/detail/status.h"
#include "db/run_end.h"
#include "db/stop_request.h"
#include "db/test_steps.h"
#include "db/transaction.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

namespace lumvik::db {

using namespace Firebird;

namespace {

std::string trimRight(const char* s) {
    std::string out(s);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The whole content of a blob, read in the transaction that fetched its id.
std::string readBlob(IAttachment* attachment, ISC_QUAD id, Transaction& transaction) {
    Status st;
    IBlob* blob = attachment->openBlob(&st, transaction.handle(), &id, 0, nullptr);
    st.check();
    std::string out;
    char chunk[16384];
    for (;;) {
        unsigned got = 0;
        const int result = blob->getSegment(&st, sizeof chunk, chunk, &got);
        if (st.failed()) {
            DbError e = st.error();
            blob->release();
            throw e;
        }
        if (result != IStatus::RESULT_OK && result != IStatus::RESULT_SEGMENT) break;
        out.append(chunk, got);
    }
    blob->close(&st);
    if (st.failed()) blob->release();
    return out;
}

// The table a statement writes, for messages: "INSERT INTO POS_SUB (..." gives POS_SUB, "UPDATE
// TRAN_STATE SET ..." TRAN_STATE, "DELETE FROM \"POS_GIVE\" WHERE ..." POS_GIVE; a query gives the
// table after its first FROM. Empty when there is none.
std::string statementTable(const std::string& sql) {
    const std::string upper = text::upperAscii(text::trimmed(sql));
    std::size_t at = std::string::npos;
    for (const char* keyword : {"INSERT INTO ", "UPDATE ", "DELETE FROM "})
        if (upper.rfind(keyword, 0) == 0) at = std::string_view(keyword).size();
    if (at == std::string::npos && (at = upper.find(" FROM ")) != std::string::npos) at += 6;
    if (at == std::string::npos) return {};
    while (at < upper.size() &&
           (std::isspace(static_cast<unsigned char>(upper[at])) != 0 || upper[at] == '"'))
        ++at;
    std::size_t end = at;
    while (end < upper.size() && (std::isalnum(static_cast<unsigned char>(upper[end])) != 0 ||
                                  upper[end] == '_' || upper[end] == '$'))
        ++end;
    return upper.substr(at, end - at);
}

}  // namespace

PreparedStatement::PreparedStatement(Connection& connection, const std::string& sqlBytes,
                                     Transaction& transaction)
    : connection_(connection), sql_(sqlBytes) {
    static const std::string prepareName = "(prepare)";
    const ObservedWork work(prepareName, true);
    Status st;
    statement_ = connection.attachment()->prepare(
        &st, transaction.handle(), static_cast<unsigned>(sqlBytes.size()), sqlBytes.c_str(),
        connection.dialect(), IStatement::PREPARE_PREFETCH_METADATA);
    st.check();
    ++connection.mutableStats().prepares;
    const std::string upper = text::upperAscii(sqlBytes);
    locksRows_ =
        upper.find("WITH LOCK") != std::string::npos || upper.find("FOR UPDATE") != std::string::npos;
    type_ = statement_->getType(&st);
    st.check();
    output_ = statement_->getOutputMetadata(&st);
    st.check();
    const unsigned count = output_->getCount(&st);
    auto layout = std::make_shared<RowLayout>();
    for (unsigned i = 0; i < count; ++i) {
        Column c;
        c.field = output_->getField(&st, i);
        c.relation = trimRight(output_->getRelation(&st, i));
        const char* alias = output_->getAlias(&st, i);
        c.name = alias != nullptr && *alias != '\0' ? alias : c.field;
        c.type = output_->getType(&st, i) & ~1u;
        c.subType = output_->getSubType(&st, i);
        c.length = output_->getLength(&st, i);
        c.scale = output_->getScale(&st, i);
        c.charSet = output_->getCharSet(&st, i);
        c.nullable = output_->isNullable(&st, i);
        c.name = cp950::toUtf8(c.name);
        c.field = cp950::toUtf8(c.field);
        c.relation = cp950::toUtf8(c.relation);
        columns_.push_back(std::move(c));
        layout->offsets.push_back(output_->getOffset(&st, i));
        layout->nullOffsets.push_back(output_->getNullOffset(&st, i));
        if (columns_.back().type == SQL_BLOB || columns_.back().type == SQL_ARRAY) layout->hasBlobs = true;
    }
    layout_ = std::move(layout);
    outputLength_ = output_->getMessageLength(&st);
    st.check();
    IMessageMetadata* input = statement_->getInputMetadata(&st);
    st.check();
    for (unsigned i = 0, n = input->getCount(&st); i < n; ++i) {
        Column c;
        c.type = input->getType(&st, i) & ~1u;
        c.subType = input->getSubType(&st, i);
        c.length = input->getLength(&st, i);
        c.scale = input->getScale(&st, i);
        c.charSet = input->getCharSet(&st, i);
        inputs_.push_back(c);
    }
    input->release();
}

PreparedStatement::~PreparedStatement() {
    if (output_ != nullptr) output_->release();
    if (statement_ != nullptr) {
        // Freeing tells the server at once; when the connection is already gone the handle is
        // only released.
        if (connection_.connected()) {
            Status st;
            statement_->free(&st);
            if (!st.failed()) statement_ = nullptr;
        }
        if (statement_ != nullptr) statement_->release();
    }
}

bool PreparedStatement::isQuery() const {
    return type_ == isc_info_sql_stmt_select || type_ == isc_info_sql_stmt_select_for_upd;
}

bool PreparedStatement::isDdl() const {
    return type_ == isc_info_sql_stmt_ddl;
}

bool PreparedStatement::isPlainQuery() const {
    return type_ == isc_info_sql_stmt_select && !locksRows_;
}

void PreparedStatement::execute(Transaction& transaction, const std::vector<Value>& params) {
    if (isQuery()) {
        // A query run for its effect only: opened and closed without reading, which the engine
        // would otherwise take as a singleton select that must return exactly one row.
        IResultSet* rs = openCursor(transaction, params);
        Status st;
        rs->close(&st);
        if (st.failed()) {
            DbError e = st.error();
            rs->release();
            throw e;
        }
        return;
    }
    InputMessage input(params);
    std::vector<unsigned char> out(outputLength_);
    Status st;
    testStep(sql_);
    stop::point();
    ++connection_.mutableStats().statements;
    const ObservedWork work(sql_, true);
    statement_->execute(&st, transaction.handle(), input.metadata(), input.buffer(),
                        columns_.empty() ? nullptr : output_, columns_.empty() ? nullptr : out.data());
    checkRun(st, transaction);
}

IResultSet* PreparedStatement::openCursor(Transaction& transaction, const std::vector<Value>& params) {
    if (!isQuery()) throw DbError("Cursor not returned from Query");
    InputMessage input(params);
    Status st;
    testStep(sql_);
    stop::point();
    ++connection_.mutableStats().statements;
    const ObservedWork work(sql_, true);
    IResultSet* rs =
        statement_->openCursor(&st, transaction.handle(), input.metadata(), input.buffer(), output_, 0);
    checkRun(st, transaction);
    return rs;
}

void PreparedStatement::checkRun(Status& st, const Transaction& transaction) const {
    if (!st.failed()) return;
    DbError e = st.error();
    if (e.hasCode(isc_cancelled)) stop::point();
    // With a bounded wait the engine reports the wait that ran out as a deadlock or update conflict,
    // the same as a row changed meanwhile by a transaction that has committed: either way another
    // connection is writing what this run writes.
    if (transaction.lockWait() > 0 && e.isConflict())
        throw LockTimeout(statementTable(cp950::toUtf8(sql_)), transaction.lockWait(), e.what());
    throw e;
}

bool PreparedStatement::fetch(IResultSet* rs, Transaction& transaction, std::vector<Value>& row) {
    buffer_.resize(outputLength_);
    Status st;
    const ObservedWork work(sql_, false);
    const int result = rs->fetchNext(&st, buffer_.data());
    st.check();
    if (result != IStatus::RESULT_OK) return false;
    row.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        row[i] = decode(i, transaction);
    return true;
}

bool PreparedStatement::fetchRaw(IResultSet* rs, std::vector<unsigned char>& message) {
    message.resize(outputLength_);
    Status st;
    const ObservedWork work(sql_, false);
    const int result = rs->fetchNext(&st, message.data());
    st.check();
    return result == IStatus::RESULT_OK;
}

Value PreparedStatement::decode(std::size_t i, Transaction& transaction) {
    const Column& c = columns_[i];
    if (c.type == SQL_BLOB && !isNull(buffer_.data(), layout_->nullOffsets[i])) {
        ISC_QUAD id;
        std::memcpy(&id, buffer_.data() + layout_->offsets[i], sizeof id);
        std::string bytes = readBlob(connection_.attachment(), id, transaction);
        return Value(c.subType == 1 ? cp950::toUtf8(bytes) : bytes);
    }
    return decodeField(c, buffer_.data(), layout_->offsets[i], layout_->nullOffsets[i]);
}

}  // namespace lumvik::db
