#include "db/sql_access.h"

#include "base/codepage.h"
#include "base/text.h"
#include "db/fb_client.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace lumvik::db {

using namespace Firebird;

namespace {

// How many prepared statements a connection keeps for reuse.
constexpr std::size_t kPreparedCacheSize = 256;

// A status object for one call into the client library; the library fills it, check() turns an
// error into a DbError.
class Status {
  public:
    Status() : status_(clientMaster()->getStatus()), wrapper_(status_) {}
    ~Status() { status_->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    CheckStatusWrapper* operator&() {
        wrapper_.init();
        return &wrapper_;
    }
    [[nodiscard]] bool failed() const { return (wrapper_.getState() & IStatus::STATE_ERRORS) != 0; }
    void check() {
        if (failed()) throw error();
    }
    [[nodiscard]] DbError error() {
        char buffer[4096];
        clientMaster()->getUtilInterface()->formatStatus(buffer, sizeof buffer, &wrapper_);
        std::vector<std::intptr_t> codes;
        std::string sqlState;
        const std::intptr_t* v = wrapper_.getErrors();
        while (v != nullptr && v[0] != isc_arg_end) {
            switch (v[0]) {
                case isc_arg_gds:
                    codes.push_back(v[1]);
                    v += 2;
                    break;
                case isc_arg_cstring:
                    v += 3;
                    break;
                case isc_arg_sql_state:
                    sqlState = reinterpret_cast<const char*>(v[1]);
                    v += 2;
                    break;
                default:
                    v += 2;
                    break;
            }
        }
        // The server's text may quote names and values, which are code page 950 bytes.
        return DbError(cp950::toUtf8(buffer), std::move(codes), std::move(sqlState));
    }

  private:
    IStatus* status_;
    CheckStatusWrapper wrapper_;
};

std::string exactDecimal(std::int64_t mantissa, int scale) {
    if (scale >= 0) {
        std::string s = std::to_string(mantissa);
        if (mantissa != 0) s.append(static_cast<std::size_t>(scale), '0');
        return s;
    }
    const bool negative = mantissa < 0;
    // Work on the magnitude as unsigned so that the smallest int64 does not overflow.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(mantissa) : static_cast<std::uint64_t>(mantissa);
    std::string digits = std::to_string(magnitude);
    const auto places = static_cast<std::size_t>(-scale);
    if (digits.size() <= places) digits.insert(0, places - digits.size() + 1, '0');
    std::string whole = digits.substr(0, digits.size() - places);
    std::string fraction = digits.substr(digits.size() - places);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string out = negative && (whole != "0" || !fraction.empty()) ? "-" : "";
    out += whole;
    if (!fraction.empty()) out += "." + fraction;
    return out;
}

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string trimRight(const char* s) {
    std::string out(s);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

bool isBlob(const Column& c) {
    return c.type == SQL_BLOB || c.type == SQL_ARRAY || c.type == SQL_QUAD;
}

std::string twoDigits(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02u", v % 100);
    return b;
}

// Input message of a statement: one item per value, typed by the value itself, so that the server
// converts it to whatever the statement needs ("12.5" into a NUMERIC column, 3 into a VARCHAR).
class InputMessage {
  public:
    explicit InputMessage(const std::vector<Value>& values) {
        if (values.empty()) return;
        Status st;
        IMetadataBuilder* builder =
            clientMaster()->getMetadataBuilder(&st, static_cast<unsigned>(values.size()));
        st.check();
        std::vector<std::string> bytes(values.size());
        for (unsigned i = 0; i < values.size(); ++i) {
            const Value& v = values[i];
            switch (v.kind()) {
                case Value::Kind::Null:
                case Value::Kind::Text:
                    bytes[i] = v.isNull() ? std::string() : cp950::fromUtf8(v.text());
                    builder->setType(&st, i, SQL_VARYING + 1);
                    builder->setLength(&st, i,
                                       static_cast<unsigned>(std::max<std::size_t>(bytes[i].size(), 1)));
                    builder->setCharSet(&st, i, 0);
                    break;
                case Value::Kind::Integer:
                case Value::Kind::Scaled:
                    builder->setType(&st, i, SQL_INT64 + 1);
                    builder->setLength(&st, i, sizeof(std::int64_t));
                    builder->setScale(&st, i, v.scale());
                    break;
                case Value::Kind::Double:
                    builder->setType(&st, i, SQL_DOUBLE + 1);
                    builder->setLength(&st, i, sizeof(double));
                    break;
                case Value::Kind::Boolean:
                    builder->setType(&st, i, SQL_BOOLEAN + 1);
                    builder->setLength(&st, i, 1);
                    break;
            }
            st.check();
        }
        metadata_ = builder->getMetadata(&st);
        builder->release();
        st.check();
        buffer_.assign(metadata_->getMessageLength(&st), 0);
        for (unsigned i = 0; i < values.size(); ++i) {
            const Value& v = values[i];
            unsigned char* data = buffer_.data() + metadata_->getOffset(&st, i);
            auto* null = reinterpret_cast<std::int16_t*>(buffer_.data() + metadata_->getNullOffset(&st, i));
            *null = v.isNull() ? -1 : 0;
            switch (v.kind()) {
                case Value::Kind::Null:
                    break;
                case Value::Kind::Text: {
                    const auto len = static_cast<std::uint16_t>(bytes[i].size());
                    std::memcpy(data, &len, sizeof len);
                    std::memcpy(data + sizeof len, bytes[i].data(), bytes[i].size());
                    break;
                }
                case Value::Kind::Integer:
                case Value::Kind::Scaled: {
                    const std::int64_t m = v.mantissa();
                    std::memcpy(data, &m, sizeof m);
                    break;
                }
                case Value::Kind::Double: {
                    const double d = v.doubleValue();
                    std::memcpy(data, &d, sizeof d);
                    break;
                }
                case Value::Kind::Boolean:
                    *data = v.asString() == "True" ? 1 : 0;
                    break;
            }
        }
    }
    ~InputMessage() {
        if (metadata_ != nullptr) metadata_->release();
    }
    InputMessage(const InputMessage&) = delete;
    InputMessage& operator=(const InputMessage&) = delete;

    [[nodiscard]] IMessageMetadata* metadata() const { return metadata_; }
    [[nodiscard]] void* buffer() { return buffer_.empty() ? nullptr : buffer_.data(); }

  private:
    IMessageMetadata* metadata_ = nullptr;
    std::vector<unsigned char> buffer_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// DbError

DbError::DbError(const std::string& message, std::vector<std::intptr_t> codes, std::string sqlState)
    : std::runtime_error(message), codes_(std::move(codes)), sqlState_(std::move(sqlState)) {}

bool DbError::hasCode(std::intptr_t code) const {
    return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

bool DbError::isConflict() const {
    constexpr std::intptr_t deadlock = 335544336;
    constexpr std::intptr_t lockConflict = 335544345;
    constexpr std::intptr_t updateConflict = 335544451;
    return hasCode(deadlock) || hasCode(lockConflict) || hasCode(updateConflict);
}

bool DbError::isConnectionLost() const {
    for (const std::intptr_t code : {335544528,     // shutdown
                                     335544648,     // conn_lost
                                     335544721,     // network_error
                                     335544726,     // net_read_err
                                     335544727,     // net_write_err
                                     335544741,     // lost_db_connection
                                     335544856}) {  // att_shutdown
        if (hasCode(code)) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Value

Value::Value(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
Value::Value(const char* text) : kind_(Kind::Text), text_(text) {}
Value::Value(std::int64_t integer) : kind_(Kind::Integer), integer_(integer) {}
Value::Value(double number) : kind_(Kind::Double), double_(number) {}
Value::Value(bool flag) : kind_(Kind::Boolean), integer_(flag ? 1 : 0) {}

Value Value::scaled(std::int64_t mantissa, int scale) {
    Value v;
    v.kind_ = scale == 0 ? Kind::Integer : Kind::Scaled;
    v.integer_ = mantissa;
    v.scale_ = scale;
    return v;
}

std::string Value::asString() const {
    switch (kind_) {
        case Kind::Null:
            return {};
        case Kind::Text:
            return text_;
        case Kind::Integer:
            return std::to_string(integer_);
        case Kind::Scaled:
            return exactDecimal(integer_, scale_);
        case Kind::Double:
            return text::generalNumber(double_);
        case Kind::Boolean:
            return integer_ != 0 ? "True" : "False";
    }
    return {};
}

double Value::asFloat() const {
    switch (kind_) {
        case Kind::Null:
            return 0;
        case Kind::Text:
            return text::parseDecimal(text_);
        case Kind::Integer:
            return static_cast<double>(integer_);
        case Kind::Scaled:
            return text::parseDecimal(exactDecimal(integer_, scale_));
        case Kind::Double:
            return double_;
        case Kind::Boolean:
            return integer_ != 0 ? 1 : 0;
    }
    return 0;
}

std::string Value::variantString() const {
    if (isNull()) throw DbError("Could not convert variant of type (Null) into type (String)");
    return asString();
}

double Value::variantFloat() const {
    if (isNull()) throw DbError("Could not convert variant of type (Null) into type (Double)");
    if (kind_ == Kind::Text) {
        const auto number = text::tryParseDecimal(text_);
        if (!number) throw DbError("Could not convert variant of type (String) into type (Double)");
        return *number;
    }
    return asFloat();
}

// ---------------------------------------------------------------------------------------------
// ParamList

void ParamList::set(std::string_view name, std::string_view value) {
    auto it = std::find_if(lines_.begin(), lines_.end(),
                           [&](const auto& line) { return text::equalsNoCase(line.first, name); });
    if (value.empty()) {
        if (it != lines_.end()) lines_.erase(it);
        return;
    }
    if (it != lines_.end())
        it->second = value;
    else
        lines_.emplace_back(std::string(name), std::string(value));
}

std::optional<std::string> ParamList::get(std::string_view name) const {
    for (const auto& [n, v] : lines_)
        if (text::equalsNoCase(n, name)) return v;
    return std::nullopt;
}

std::vector<std::string> ParamList::lines() const {
    std::vector<std::string> out;
    for (const auto& [n, v] : lines_)
        out.push_back(n + "=" + v);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Prepared statements

// Where each column stands in a fetched message.
struct RowLayout {
    std::vector<unsigned> offsets;
    std::vector<unsigned> nullOffsets;
    bool hasBlobs = false;
};

namespace {

bool isNull(const unsigned char* message, unsigned nullOffset) {
    std::int16_t null;
    std::memcpy(&null, message + nullOffset, sizeof null);
    return null != 0;
}

std::string dateText(ISC_DATE v) {
    unsigned y = 0, m = 0, d = 0;
    clientMaster()->getUtilInterface()->decodeDate(v, &y, &m, &d);
    char b[16];
    std::snprintf(b, sizeof b, "%04u-%02u-%02u", y % 10000, m % 100, d % 100);
    return b;
}

std::string timeText(ISC_TIME v) {
    unsigned h = 0, m = 0, s = 0, f = 0;
    clientMaster()->getUtilInterface()->decodeTime(v, &h, &m, &s, &f);
    std::string out = twoDigits(h) + ":" + twoDigits(m) + ":" + twoDigits(s);
    if (f != 0) {
        char b[8];
        std::snprintf(b, sizeof b, ".%04u", f % 10000);
        out += b;
    }
    return out;
}

// One column of a fetched message as a value (blobs excepted: they need their transaction).
Value decodeField(const Column& c, const unsigned char* message, unsigned offset, unsigned nullOffset) {
    if (isNull(message, nullOffset)) return {};
    const unsigned char* data = message + offset;
    switch (c.type) {
        case SQL_TEXT:
            return Value(cp950::toUtf8(std::string_view(reinterpret_cast<const char*>(data), c.length)));
        case SQL_VARYING: {
            std::uint16_t len;
            std::memcpy(&len, data, sizeof len);
            return Value(cp950::toUtf8(std::string_view(reinterpret_cast<const char*>(data) + 2, len)));
        }
        case SQL_SHORT: {
            std::int16_t v;
            std::memcpy(&v, data, sizeof v);
            return Value::scaled(v, c.scale);
        }
        case SQL_LONG: {
            std::int32_t v;
            std::memcpy(&v, data, sizeof v);
            return Value::scaled(v, c.scale);
        }
        case SQL_INT64: {
            std::int64_t v;
            std::memcpy(&v, data, sizeof v);
            return Value::scaled(v, c.scale);
        }
        case SQL_FLOAT: {
            float v;
            std::memcpy(&v, data, sizeof v);
            // Through its shortest decimal text, so 0.1f reads as 0.1 and not 0.100000001.
            char text[32];
            std::snprintf(text, sizeof text, "%.7g", static_cast<double>(v));
            return Value(text::parseDecimal(text));
        }
        case SQL_DOUBLE:
        case SQL_D_FLOAT: {
            double v;
            std::memcpy(&v, data, sizeof v);
            return Value(v);
        }
        case SQL_BOOLEAN:
            return Value(*data != 0);
        case SQL_TYPE_DATE: {
            ISC_DATE v;
            std::memcpy(&v, data, sizeof v);
            return Value(dateText(v));
        }
        case SQL_TYPE_TIME: {
            ISC_TIME v;
            std::memcpy(&v, data, sizeof v);
            return Value(timeText(v));
        }
        case SQL_TIMESTAMP: {
            ISC_TIMESTAMP v;
            std::memcpy(&v, data, sizeof v);
            return Value(dateText(v.timestamp_date) + " " + timeText(v.timestamp_time));
        }
        default:
            throw DbError("Unsupported field type " + std::to_string(c.type) + " of field " + c.name);
    }
}

// Test-only switches, read from the environment once. LUMVIK_TEST_KILL_AT_STEP=N ends the process
// abruptly (as a power cut or a kill would) just before its Nth step, a step being a statement run
// or a commit; LUMVIK_TEST_TRACE_STEPS=FILE writes one line per step ("N commit" or "N <statement>")
// so a test can see where each step falls; LUMVIK_TEST_PAUSE_AT_STEP=N with LUMVIK_TEST_PAUSE_FILE=F
// creates F.reached just before the Nth step and waits there until F exists (at most a minute), so a
// test can act at that point (stop the server, start a second station); LUMVIK_TEST_PAUSE_AT_TEXT=T
// pauses the same way before the first statement whose text holds T.
class StepSwitch {
  public:
    static StepSwitch& instance() {
        static StepSwitch s;
        return s;
    }
    void step(std::string_view what) {
        if (!active_) return;
        ++count_;
        if (count_ == pauseAt_ || (!pauseText_.empty() && what.find(pauseText_) != std::string_view::npos &&
                                   !std::exchange(paused_, true)))
            pause();
        if (count_ == killAt_) {
#ifdef SIGKILL
            std::raise(SIGKILL);
#endif
            std::_Exit(137);
        }
        if (trace_ != nullptr) {
            std::string line(what.substr(0, std::min<std::size_t>(what.size(), 200)));
            std::replace(line.begin(), line.end(), '\n', ' ');
            std::replace(line.begin(), line.end(), '\r', ' ');
            std::fprintf(trace_, "%llu %s\n", static_cast<unsigned long long>(count_), line.c_str());
            std::fflush(trace_);
        }
    }

  private:
    StepSwitch() {
        if (const char* kill = std::getenv("LUMVIK_TEST_KILL_AT_STEP"); kill != nullptr && *kill != '\0')
            killAt_ = std::strtoull(kill, nullptr, 10);
        if (const char* file = std::getenv("LUMVIK_TEST_TRACE_STEPS"); file != nullptr && *file != '\0')
            trace_ = std::fopen(file, "w");
        if (const char* pause = std::getenv("LUMVIK_TEST_PAUSE_AT_STEP"); pause != nullptr && *pause != '\0')
            pauseAt_ = std::strtoull(pause, nullptr, 10);
        if (const char* file = std::getenv("LUMVIK_TEST_PAUSE_FILE"); file != nullptr) pauseFile_ = file;
        if (const char* text = std::getenv("LUMVIK_TEST_PAUSE_AT_TEXT"); text != nullptr) pauseText_ = text;
        if (pauseFile_.empty()) {
            pauseAt_ = 0;
            pauseText_.clear();
        }
        active_ = killAt_ != 0 || pauseAt_ != 0 || !pauseText_.empty() || trace_ != nullptr;
    }
    void pause() const {
        if (std::FILE* reached = std::fopen((pauseFile_ + ".reached").c_str(), "w")) std::fclose(reached);
        for (int i = 0; i < 6000; ++i) {
            if (std::FILE* go = std::fopen(pauseFile_.c_str(), "r")) {
                std::fclose(go);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    bool active_ = false;
    std::uint64_t count_ = 0;
    std::uint64_t killAt_ = 0;
    std::uint64_t pauseAt_ = 0;
    std::string pauseFile_;
    std::string pauseText_;
    bool paused_ = false;
    std::FILE* trace_ = nullptr;
};

StatementObserver& observer() {
    static StatementObserver o;
    return o;
}

// Times one statement's work for the observer, when there is one.
class ObservedWork {
  public:
    ObservedWork(const std::string& sql, bool started) : sql_(sql), started_(started) {
        if (observer()) start_ = std::chrono::steady_clock::now();
    }
    ~ObservedWork() {
        if (observer()) observer()(sql_, std::chrono::steady_clock::now() - start_, started_);
    }
    ObservedWork(const ObservedWork&) = delete;
    ObservedWork& operator=(const ObservedWork&) = delete;

  private:
    const std::string& sql_;
    bool started_;
    std::chrono::steady_clock::time_point start_{};
};

}  // namespace

void setStatementObserver(StatementObserver o) {
    observer() = std::move(o);
}

class PreparedStatement {
  public:
    PreparedStatement(Connection& connection, const std::string& sqlBytes, Transaction& transaction)
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
            if (columns_.back().type == SQL_BLOB || columns_.back().type == SQL_ARRAY)
                layout->hasBlobs = true;
        }
        layout_ = std::move(layout);
        outputLength_ = output_->getMessageLength(&st);
        st.check();
    }
    ~PreparedStatement() {
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
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    [[nodiscard]] bool isQuery() const {
        return type_ == isc_info_sql_stmt_select || type_ == isc_info_sql_stmt_select_for_upd;
    }
    [[nodiscard]] bool isDdl() const { return type_ == isc_info_sql_stmt_ddl; }
    // A query that only reads: no row locks ("WITH LOCK", "FOR UPDATE", which the engine reports as
    // plain selects too).
    [[nodiscard]] bool isPlainQuery() const { return type_ == isc_info_sql_stmt_select && !locksRows_; }
    [[nodiscard]] const std::vector<Column>& columns() const { return columns_; }

    void execute(Transaction& transaction, const std::vector<Value>& params) {
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
        ++connection_.mutableStats().statements;
        StepSwitch::instance().step(sql_);
        const ObservedWork work(sql_, true);
        statement_->execute(&st, transaction.handle(), input.metadata(), input.buffer(),
                            columns_.empty() ? nullptr : output_, columns_.empty() ? nullptr : out.data());
        st.check();
    }

    IResultSet* openCursor(Transaction& transaction, const std::vector<Value>& params) {
        if (!isQuery()) throw DbError("Cursor not returned from Query");
        InputMessage input(params);
        Status st;
        ++connection_.mutableStats().statements;
        StepSwitch::instance().step(sql_);
        const ObservedWork work(sql_, true);
        IResultSet* rs =
            statement_->openCursor(&st, transaction.handle(), input.metadata(), input.buffer(), output_, 0);
        st.check();
        return rs;
    }

    // Fetches the next row into `row`; false at the end.
    bool fetch(IResultSet* rs, Transaction& transaction, std::vector<Value>& row) {
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

    [[nodiscard]] const std::shared_ptr<const RowLayout>& layout() const { return layout_; }

    // Fetches the next row as the engine sent it; false at the end.
    bool fetchRaw(IResultSet* rs, std::vector<unsigned char>& message) {
        message.resize(outputLength_);
        Status st;
        const ObservedWork work(sql_, false);
        const int result = rs->fetchNext(&st, message.data());
        st.check();
        return result == IStatus::RESULT_OK;
    }

  private:
    Value decode(std::size_t i, Transaction& transaction) {
        const Column& c = columns_[i];
        if (c.type == SQL_BLOB && !isNull(buffer_.data(), layout_->nullOffsets[i])) {
            ISC_QUAD id;
            std::memcpy(&id, buffer_.data() + layout_->offsets[i], sizeof id);
            std::string bytes = readBlob(id, transaction);
            return Value(c.subType == 1 ? cp950::toUtf8(bytes) : bytes);
        }
        return decodeField(c, buffer_.data(), layout_->offsets[i], layout_->nullOffsets[i]);
    }

    std::string readBlob(ISC_QUAD id, Transaction& transaction) {
        Status st;
        IBlob* blob = connection_.attachment()->openBlob(&st, transaction.handle(), &id, 0, nullptr);
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

    Connection& connection_;
    std::string sql_;
    IStatement* statement_ = nullptr;
    IMessageMetadata* output_ = nullptr;
    unsigned type_ = 0;
    bool locksRows_ = false;
    std::vector<Column> columns_;
    std::shared_ptr<const RowLayout> layout_;
    unsigned outputLength_ = 0;
    std::vector<unsigned char> buffer_;
};

// ---------------------------------------------------------------------------------------------
// Transaction

Transaction::Transaction(Connection& connection, bool readOnly, const GroupOptions& options) {
    connection.ensureOpen();
    std::vector<unsigned char> tpb{isc_tpb_version3};
    if (connection.readCommitted() && !options.snapshot) {
        tpb.push_back(isc_tpb_read_committed);
        tpb.push_back(isc_tpb_rec_version);
    } else {
        tpb.push_back(isc_tpb_concurrency);
    }
    tpb.push_back(connection.waitOnLocks() && !options.noWait ? isc_tpb_wait : isc_tpb_nowait);
    tpb.push_back(readOnly ? isc_tpb_read : isc_tpb_write);
    Status st;
    handle_ = connection.attachment()->startTransaction(&st, static_cast<unsigned>(tpb.size()), tpb.data());
    st.check();
    connection_ = &connection;
}

Transaction::~Transaction() {
    if (handle_ != nullptr) {
        try {
            rollback();
        } catch (...) {
            // Nothing more can be done for a transaction whose connection is gone.
        }
    }
}

Transaction::Transaction(Transaction&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      connection_(std::exchange(other.connection_, nullptr)) {}

Transaction& Transaction::operator=(Transaction&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            try {
                rollback();
            } catch (...) {
            }
        }
        handle_ = std::exchange(other.handle_, nullptr);
        connection_ = std::exchange(other.connection_, nullptr);
    }
    return *this;
}

void Transaction::commit() {
    if (handle_ == nullptr) return;
    StepSwitch::instance().step("commit");
    static const std::string commitName = "(commit)";
    const ObservedWork work(commitName, true);
    Status st;
    handle_->commit(&st);
    if (st.failed()) {
        DbError e = st.error();
        rollback();
        throw e;
    }
    handle_ = nullptr;
    if (connection_ != nullptr) ++connection_->mutableStats().commits;
}

void Transaction::rollback() {
    if (handle_ == nullptr) return;
    Status st;
    handle_->rollback(&st);
    if (st.failed()) handle_->release();
    handle_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Connection

Connection::Connection(std::string name) : name_(std::move(name)) {}

Connection::~Connection() {
    close();
}

void Connection::open() {
    if (connected()) return;
    if (beforeConnect_) beforeConnect_(*this);
    const std::string database = text::trimmed(params_.value("Database"));
    if (database.empty()) throw DbError(name_ + ": no Database is given for the connection");

    dialect_ = static_cast<unsigned>(text::parseWhole(params_.value("SQLDialect"), 3));
    if (dialect_ < 1 || dialect_ > 3) dialect_ = 3;
    const std::string isolation = text::upperAscii(text::trimmed(params_.value("Interbase TransIsolation")));
    readCommitted_ = isolation != "REPEATABLEREAD";
    waitOnLocks_ = !text::equalsNoCase(text::trimmed(params_.value("WaitOnLocks")), "False");

    IMaster* master = clientMaster();
    Status st;
    IXpbBuilder* dpb = master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    st.check();
    auto put = [&](unsigned char tag, const std::string& value) {
        if (!value.empty()) dpb->insertString(&st, tag, cp950::fromUtf8(value).c_str());
    };
    put(isc_dpb_user_name, params_.value("User_Name"));
    put(isc_dpb_password, params_.value("Password"));
    put(isc_dpb_sql_role_name, params_.value("RoleName"));
    dpb->insertInt(&st, isc_dpb_sql_dialect, static_cast<int>(dialect_));
    st.check();
#ifdef _WIN32
    const std::string path = cp950::fromUtf8(database);
#else
    const std::string path = database;
#endif
    IProvider* provider = master->getDispatcher();
    attachment_ = provider->attachDatabase(&st, path.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    provider->release();
    dpb->dispose();
    if (st.failed()) {
        attachment_ = nullptr;
        throw st.error();
    }
    if (afterConnect_) afterConnect_();
}

void Connection::ensureOpen() {
    if (!connected()) open();
}

void Connection::close() {
    // Copy: a user may unregister itself while it closes.
    for (ConnectionUser* user : std::vector<ConnectionUser*>(users_))
        user->connectionClosing();
    dropPrepared();
    if (attachment_ != nullptr) {
        Status st;
        attachment_->detach(&st);
        if (st.failed()) attachment_->release();
        attachment_ = nullptr;
    }
}

void Connection::dropPrepared() {
    preparedIndex_.clear();
    prepared_.clear();
}

void Connection::removeUser(ConnectionUser* user) {
    std::erase(users_, user);
}

std::shared_ptr<PreparedStatement> Connection::prepare(const std::string& sqlBytes,
                                                       Transaction& transaction) {
    if (auto it = preparedIndex_.find(sqlBytes); it != preparedIndex_.end()) {
        prepared_.splice(prepared_.begin(), prepared_, it->second);
        return prepared_.front().second;
    }
    auto statement = std::make_shared<PreparedStatement>(*this, sqlBytes, transaction);
    if (statement->isDdl()) {
        // A change of the schema must not meet statements still prepared on the tables it changes
        // (the engine refuses to drop or alter what is in use), so the cache is emptied first.
        dropPrepared();
    }
    prepared_.emplace_front(sqlBytes, std::move(statement));
    preparedIndex_[sqlBytes] = prepared_.begin();
    if (prepared_.size() > kPreparedCacheSize) {
        preparedIndex_.erase(prepared_.back().first);
        prepared_.pop_back();
    }
    return prepared_.front().second;
}

// The transaction a statement runs in: the connection's group when one is open, else one of its own
// that the statement commits when it ends.
class StatementScope {
  public:
    StatementScope(Connection& connection, bool readOnly) {
        if (Transaction* group = connection.group()) {
            transaction_ = group;
        } else {
            own_ = Transaction(connection, readOnly);
            transaction_ = &own_;
        }
    }
    [[nodiscard]] Transaction& transaction() { return *transaction_; }
    [[nodiscard]] bool owned() const { return transaction_ == &own_; }
    [[nodiscard]] Transaction& ownTransaction() { return own_; }
    void commit() {
        if (owned()) own_.commit();
    }

  private:
    Transaction own_;
    Transaction* transaction_ = nullptr;
};

namespace {

// Prepares a statement to be read from. A plain query runs in a read-only transaction, which the
// engine commits without writing anything; anything else (a select that locks rows, a procedure)
// gets a read-write one.
std::shared_ptr<PreparedStatement> prepareForReading(Connection& connection, const std::string& sqlBytes,
                                                     std::unique_ptr<StatementScope>& scope) {
    scope = std::make_unique<StatementScope>(connection, true);
    std::shared_ptr<PreparedStatement> statement = connection.prepare(sqlBytes, scope->transaction());
    if (scope->owned() && !statement->isPlainQuery()) {
        scope->commit();
        scope = std::make_unique<StatementScope>(connection, false);
    }
    return statement;
}

}  // namespace

void Connection::execute(std::string_view sql, const std::vector<Value>& params) {
    StatementScope scope(*this, false);
    const std::shared_ptr<PreparedStatement> statement = prepare(cp950::fromUtf8(sql), scope.transaction());
    const bool ddl = statement->isDdl();
    statement->execute(scope.transaction(), params);
    scope.commit();
    if (ddl) dropPrepared();
}

void Connection::beginGroup(const GroupOptions& options) {
    if (group_) throw DbError(name_ + ": a group of statements is already open");
    group_ = std::make_unique<Transaction>(*this, options.readOnly, options);
}

void Connection::commitGroup() {
    if (!group_) return;
    std::unique_ptr<Transaction> group = std::move(group_);
    group->commit();
}

void Connection::rollbackGroup() {
    if (!group_) return;
    std::unique_ptr<Transaction> group = std::move(group_);
    group->rollback();
}

std::vector<Column> Connection::describe(std::string_view sql) {
    Transaction transaction(*this, true);
    const std::vector<Column> columns = prepare(cp950::fromUtf8(sql), transaction)->columns();
    transaction.commit();
    return columns;
}

bool isTextColumn(const Column& column) {
    return column.type == SQL_TEXT || column.type == SQL_VARYING;
}

Value forColumn(Value value, const Column& column) {
    if (value.kind() == Value::Kind::Text && value.text().empty() && !isTextColumn(column)) return {};
    return value;
}

// ---------------------------------------------------------------------------------------------
// FieldSource

void FieldSource::indexColumns() {
    index_.clear();
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i)
        index_.emplace(text::upperAscii(columns_[static_cast<std::size_t>(i)].name), i);
}

int FieldSource::fieldIndex(std::string_view name) const {
    auto it = index_.find(text::upperAscii(name));
    return it == index_.end() ? -1 : it->second;
}

const Value& FieldSource::field(std::string_view name) const {
    const int i = fieldIndex(name);
    if (i < 0) throw DbError("Field '" + std::string(name) + "' not found");
    return field(i);
}

const Value& FieldSource::field(int index) const {
    static const Value null;
    if (index < 0 || index >= fieldCount())
        throw DbError("Field index " + std::to_string(index) + " out of range");
    const Value* row = currentValues();
    return row == nullptr ? null : row[index];
}

// ---------------------------------------------------------------------------------------------
// SqlLines

std::string SqlLines::text() const {
    std::string out;
    for (const auto& line : lines_)
        out += line + "\r\n";
    return out;
}

// ---------------------------------------------------------------------------------------------
// SqlQuery

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

// ---------------------------------------------------------------------------------------------
// Parameters

ParsedParams parseParams(std::string_view sql) {
    ParsedParams out;
    std::size_t i = 0;
    auto isNameChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '$';
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // Quoted text or quoted name: copied as it stands up to its closing quote ('' inside
            // stays part of the literal).
            const std::size_t end = sql.find(c, i + 1);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
            out.text.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t end = sql.find('\n', i);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
            out.text.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
            out.text.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
            out.text.append("::");
            i += 2;
        } else if (c == ':' && i + 1 < sql.size() && isNameChar(sql[i + 1])) {
            std::size_t end = i + 1;
            while (end < sql.size() && isNameChar(sql[end]))
                ++end;
            out.names.emplace_back(sql.substr(i + 1, end - i - 1));
            out.text += '?';
            i = end;
        } else {
            out.text += c;
            ++i;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// RowSet

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
    try {
        if (layout_->hasBlobs) {
            std::vector<Value> row;
            while (statement.fetch(rs, transaction, row))
                rows_.push_back({{}, row});
        } else {
            std::vector<unsigned char> message;
            while (statement.fetchRaw(rs, message))
                rows_.push_back({message, {}});
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
    columns_ = statement.columns();
    indexColumns();
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

void RowSet::cancel() {
    state_ = EditState::Browse;
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
    Connection& connection = requireConnection();
    const std::string table = quoteName(updateTable());
    const std::vector<Value> row = rowValues(change.row);
    std::string sql;
    std::vector<Value> params;
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
    connection.execute(sql, params);
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

// ---------------------------------------------------------------------------------------------
// Databases

namespace {

IXpbBuilder* makeDpb(Status& st, const std::string& user, const std::string& password) {
    IXpbBuilder* dpb = clientMaster()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    st.check();
    if (!user.empty()) dpb->insertString(&st, isc_dpb_user_name, user.c_str());
    if (!password.empty()) dpb->insertString(&st, isc_dpb_password, password.c_str());
    dpb->insertInt(&st, isc_dpb_sql_dialect, 3);
    st.check();
    return dpb;
}

}  // namespace

void createDatabase(const std::string& database, const std::string& user, const std::string& password,
                    bool forcedWrites) {
    Status st;
    IXpbBuilder* dpb = makeDpb(st, user, password);
    dpb->insertInt(&st, isc_dpb_page_size, 8192);
    dpb->insertInt(&st, isc_dpb_force_write, forcedWrites ? 1 : 0);
    st.check();
    IProvider* provider = clientMaster()->getDispatcher();
    IAttachment* att =
        provider->createDatabase(&st, database.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    provider->release();
    dpb->dispose();
    st.check();
    att->detach(&st);
    if (st.failed()) att->release();
}

void dropDatabase(const std::string& database, const std::string& user, const std::string& password) {
    Status st;
    IXpbBuilder* dpb = makeDpb(st, user, password);
    IProvider* provider = clientMaster()->getDispatcher();
    IAttachment* att =
        provider->attachDatabase(&st, database.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    provider->release();
    dpb->dispose();
    st.check();
    att->dropDatabase(&st);
    if (st.failed()) {
        DbError e = st.error();
        att->detach(&st);
        throw e;
    }
}

}  // namespace lumvik::db
