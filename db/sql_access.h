#pragma once

// Our thin layer over the Firebird client: connections that take Name=Value parameter lines,
// statement objects that read forward, row sets that fetch their whole result and write rows back
// to the one table they read, and one error type that carries the server's text and codes.
//
// Every statement runs in a transaction of its own that is committed when the statement ends, so
// everything done before a failure stays done. Texts are UTF-8 inside the program and code page 950
// bytes in the databases; the conversion happens here and nowhere else.
//
// Threading: a connection and everything bound to it belong to one thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace Firebird {
class IAttachment;
class IMessageMetadata;
class IStatement;
class ITransaction;
}  // namespace Firebird

namespace lumvik::db {

// Any failure of the database layer: the server's own text (or ours, for the layer's own checks),
// the status vector's error codes and the SQLSTATE when the server gave one.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const std::string& message, std::vector<std::intptr_t> codes = {},
                     std::string sqlState = {});

    // The first error code of the status vector (an isc_... number), 0 for the layer's own errors.
    [[nodiscard]] std::intptr_t code() const { return codes_.empty() ? 0 : codes_.front(); }
    // Every error code of the status vector, in order.
    [[nodiscard]] const std::vector<std::intptr_t>& codes() const { return codes_; }
    [[nodiscard]] bool hasCode(std::intptr_t code) const;
    [[nodiscard]] const std::string& sqlState() const { return sqlState_; }
    // Whether another transaction holds or has changed the rows this statement wanted: a lock
    // conflict, an update conflict or a deadlock.
    [[nodiscard]] bool isConflict() const;
    // Whether the connection to the database is gone (network, server shut down).
    [[nodiscard]] bool isConnectionLost() const;

  private:
    std::vector<std::intptr_t> codes_;
    std::string sqlState_;
};

// One value of a column or parameter. Numbers keep their exact form: a NUMERIC(15,2) of 12.50 is the
// mantissa 1250 with scale -2 and reads as the text "12.5".
class Value {
  public:
    enum class Kind { Null, Text, Integer, Scaled, Double, Boolean };

    Value() = default;  // NULL
    Value(std::string text);
    Value(const char* text);
    Value(std::int64_t integer);
    Value(int integer) : Value(static_cast<std::int64_t>(integer)) {}
    Value(double number);
    explicit Value(bool flag);
    [[nodiscard]] static Value scaled(std::int64_t mantissa, int scale);
    [[nodiscard]] static Value null() { return {}; }

    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] bool isNull() const { return kind_ == Kind::Null; }

    // The value as text, the empty text for NULL. Numbers in their shortest form ("12.5", "2",
    // doubles with at most 15 significant digits).
    [[nodiscard]] std::string asString() const;
    // The value as a number: numbers as they are, texts parsed as a decimal (0 when not a number),
    // NULL as 0.
    [[nodiscard]] double asFloat() const;

    // The value converted the strict way: NULL fails with "Could not convert variant of type (Null)
    // into type (String)" (or "(Double)"); a text that is no number fails to convert to a number.
    [[nodiscard]] std::string variantString() const;
    [[nodiscard]] double variantFloat() const;

    [[nodiscard]] std::int64_t mantissa() const { return integer_; }
    [[nodiscard]] int scale() const { return scale_; }
    [[nodiscard]] double doubleValue() const { return double_; }
    // The UTF-8 text of a Text value.
    [[nodiscard]] const std::string& text() const { return text_; }

    bool operator==(const Value&) const = default;

  private:
    Kind kind_ = Kind::Null;
    std::string text_;
    std::int64_t integer_ = 0;
    int scale_ = 0;
    double double_ = 0;
};

// Describes one column of a result.
struct Column {
    std::string name;      // the column's own name (alias when the query gave one)
    std::string relation;  // the table it comes from, empty for computed columns
    std::string field;     // the table's column name, empty for computed columns
    unsigned type = 0;     // Firebird SQL type without the null bit
    int subType = 0;
    unsigned length = 0;
    int scale = 0;
    unsigned charSet = 0;
    bool nullable = true;
};

// Name=Value parameter lines of a connection. Names are matched without regard to case; setting an
// empty value removes the line.
class ParamList {
  public:
    void set(std::string_view name, std::string_view value);
    [[nodiscard]] std::optional<std::string> get(std::string_view name) const;
    [[nodiscard]] std::string value(std::string_view name) const { return get(name).value_or(""); }
    void clear() { lines_.clear(); }
    // "Name=Value" lines, in the order the names were first set.
    [[nodiscard]] std::vector<std::string> lines() const;
    [[nodiscard]] bool empty() const { return lines_.empty(); }

  private:
    std::vector<std::pair<std::string, std::string>> lines_;
};

class Connection;

// How a group of statements runs (Connection::beginGroup). The default is the connection's own
// setting. A snapshot sees the database as it was when the group began, and its update of a row that
// another transaction changed since then fails as a conflict; no wait makes a held lock fail at once.
struct GroupOptions {
    bool snapshot = false;
    bool noWait = false;
    bool readOnly = false;  // only reads: a write inside the group fails
};

// A transaction of our own: read committed, waiting on locks. It is rolled back when it goes out of
// scope still active, so a failed statement leaves nothing half done inside it.
class Transaction {
  public:
    Transaction() = default;
    Transaction(Connection& connection, bool readOnly, const GroupOptions& options = {});
    ~Transaction();
    Transaction(Transaction&& other) noexcept;
    Transaction& operator=(Transaction&& other) noexcept;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback();
    [[nodiscard]] bool active() const { return handle_ != nullptr; }
    [[nodiscard]] Firebird::ITransaction* handle() const { return handle_; }

  private:
    Firebird::ITransaction* handle_ = nullptr;
    Connection* connection_ = nullptr;
};

// Something bound to a connection that must let go of the server when the connection closes.
class ConnectionUser {
  public:
    virtual ~ConnectionUser() = default;
    virtual void connectionClosing() = 0;
};

class PreparedStatement;
struct RowLayout;

// Counts kept by a connection, for tests and measurements.
struct ConnectionStats {
    std::uint64_t statements = 0;  // statements executed or opened
    std::uint64_t prepares = 0;    // statements sent to the server for preparing
    std::uint64_t commits = 0;
};

// Watches every statement the layer runs, for measurements: its text (code page 950 bytes) and the
// time spent executing it (started: true) or fetching a row of it (started: false). One per process,
// none by default.
using StatementObserver =
    std::function<void(const std::string& sql, std::chrono::nanoseconds spent, bool started)>;
void setStatementObserver(StatementObserver observer);

// One database connection. Its parameters are Name=Value lines: Database (a file path, or
// host:path for a server; trimmed), User_Name, Password, RoleName, SQLDialect (3 unless given);
// "Interbase TransIsolation" and "WaitOnLocks" choose the transactions' isolation and lock waits.
// No character set is sent: texts pass as code page 950 bytes.
class Connection {
  public:
    explicit Connection(std::string name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    ParamList& params() { return params_; }
    [[nodiscard]] const ParamList& params() const { return params_; }

    // Runs before every connect, to load or check the parameters; it may throw.
    void setBeforeConnect(std::function<void(Connection&)> handler) { beforeConnect_ = std::move(handler); }
    // Runs after every successful connect.
    void setAfterConnect(std::function<void()> handler) { afterConnect_ = std::move(handler); }

    [[nodiscard]] bool connected() const { return attachment_ != nullptr; }
    void open();
    // Closes every statement and row-set query open on it, then detaches. Never throws.
    void close();
    // Connects when not connected.
    void ensureOpen();

    // Runs one statement in a transaction of its own (text as given, parameters bound by position).
    void execute(std::string_view sql, const std::vector<Value>& params = {});

    // The result columns a query would have, without running it.
    [[nodiscard]] std::vector<Column> describe(std::string_view sql);

    // From beginGroup() to commitGroup() every statement on this connection runs in one shared
    // transaction, committed once at the end. A statement that fails inside it is undone alone and
    // the group goes on, so guards behave as with a transaction per statement; a stop before the
    // commit leaves nothing of the group.
    void beginGroup(const GroupOptions& options = {});
    void commitGroup();
    void rollbackGroup();
    [[nodiscard]] Transaction* group() const { return group_.get(); }

    [[nodiscard]] const ConnectionStats& stats() const { return stats_; }

    // Internal to the layer.
    [[nodiscard]] Firebird::IAttachment* attachment() const { return attachment_; }
    // Shared: the cache may let go of a statement (to make room, or before a schema change) while a
    // read still runs on it.
    std::shared_ptr<PreparedStatement> prepare(const std::string& sqlBytes, Transaction& transaction);
    void addUser(ConnectionUser* user) { users_.push_back(user); }
    void removeUser(ConnectionUser* user);
    [[nodiscard]] bool readCommitted() const { return readCommitted_; }
    [[nodiscard]] bool waitOnLocks() const { return waitOnLocks_; }
    [[nodiscard]] unsigned dialect() const { return dialect_; }
    ConnectionStats& mutableStats() { return stats_; }

  private:
    void dropPrepared();

    std::string name_;
    ParamList params_;
    std::function<void(Connection&)> beforeConnect_;
    std::function<void()> afterConnect_;
    Firebird::IAttachment* attachment_ = nullptr;
    std::vector<ConnectionUser*> users_;
    bool readCommitted_ = true;
    bool waitOnLocks_ = true;
    unsigned dialect_ = 3;
    // Statements prepared on this attachment, by their text, most recently used first.
    std::list<std::pair<std::string, std::shared_ptr<PreparedStatement>>> prepared_;
    std::map<std::string, decltype(prepared_)::iterator, std::less<>> preparedIndex_;
    ConnectionStats stats_;
    std::unique_ptr<Transaction> group_;
};

// Reads fields by name (without regard to case) or position.
class FieldSource {
  public:
    virtual ~FieldSource() = default;
    [[nodiscard]] int fieldCount() const { return static_cast<int>(columns_.size()); }
    [[nodiscard]] const std::vector<Column>& columns() const { return columns_; }
    [[nodiscard]] int fieldIndex(std::string_view name) const;  // -1 when absent
    // The current row's value; on an empty result every field reads NULL. A name that is no field
    // fails with "Field 'NAME' not found".
    [[nodiscard]] const Value& field(std::string_view name) const;
    [[nodiscard]] const Value& field(int index) const;

  protected:
    virtual const Value* currentValues() const = 0;
    std::vector<Column> columns_;
    std::map<std::string, int, std::less<>> index_;  // upper-case name -> position
    void indexColumns();
};

// A list of text lines sent joined with line breaks, as the statement objects hold their text.
class SqlLines {
  public:
    void clear() { lines_.clear(); }
    void add(std::string line) { lines_.push_back(std::move(line)); }
    SqlLines& operator<<(std::string line) {
        add(std::move(line));
        return *this;
    }
    [[nodiscard]] const std::vector<std::string>& lines() const { return lines_; }
    // Every line followed by CR LF.
    [[nodiscard]] std::string text() const;

  private:
    std::vector<std::string> lines_;
};

// A statement object: its text is a list of lines; it is executed, or opened and read forward.
class SqlQuery : public FieldSource, public ConnectionUser {
  public:
    SqlQuery(Connection& connection, std::string name);
    ~SqlQuery() override;
    SqlQuery(const SqlQuery&) = delete;
    SqlQuery& operator=(const SqlQuery&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    SqlLines& sql() { return sql_; }
    // Values for the text's "?" marks, by position, for the next run or open only.
    void setParams(std::vector<Value> params) { params_ = std::move(params); }

    // Runs the text without a result.
    void execSql();
    // Closes the statement, replaces its text by these lines (and its values by none) and runs it, or
    // opens it.
    void execLines(std::initializer_list<std::string> lines);
    void openLines(std::initializer_list<std::string> lines);
    // Runs the text as a query and stands on its first row (or at its end when it has none).
    void open();
    void next();
    [[nodiscard]] bool eof() const { return eof_; }
    [[nodiscard]] bool active() const { return active_; }
    // Ends the read and commits its transaction.
    void close();

    void connectionClosing() override { close(); }

  protected:
    const Value* currentValues() const override;

  private:
    void fetch();
    void endTransaction();

    Connection& connection_;
    std::string name_;
    SqlLines sql_;
    std::vector<Value> params_;
    Transaction transaction_;         // its own, when it runs outside a group
    Transaction* running_ = nullptr;  // the transaction the open read runs in
    std::shared_ptr<PreparedStatement> statement_;
    struct Cursor;
    std::unique_ptr<Cursor> cursor_;
    std::vector<Value> row_;
    bool active_ = false;
    bool eof_ = true;
};

// A row set: its command text is opened and the whole result fetched into memory, or executed as a
// statement. ":NAME" outside quotes in the text is a parameter, set by name before opening and typed
// by the value given. Rows can be inserted or edited, posted, and applied to the one table the query
// reads; a row set bound to no connection holds only what is copied into it.
class RowSet : public FieldSource, public ConnectionUser {
  public:
    RowSet(Connection* connection, std::string name);
    ~RowSet() override;
    RowSet(const RowSet&) = delete;
    RowSet& operator=(const RowSet&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    void setCommandText(std::string text);
    [[nodiscard]] const std::string& commandText() const { return commandText_; }
    // The parameter names of the command text, in the order of first appearance.
    [[nodiscard]] std::vector<std::string> paramNames() const;
    // Fails with "Parameter 'NAME' not found" when the text has no such parameter.
    void setParam(std::string_view name, Value value);

    void open();
    void close();
    [[nodiscard]] bool active() const { return active_; }
    // Runs the command text as a statement, without a result.
    void execute();

    [[nodiscard]] int recordCount() const { return static_cast<int>(rows_.size()); }
    [[nodiscard]] bool eof() const { return eof_; }
    [[nodiscard]] int recNo() const { return current_; }  // 0-based, -1 when empty
    void first();
    void next();

    // Editing. insert() appends an empty row and stands on it; edit() makes the current row editable.
    void insert();
    void edit();
    // Sets a field of the row being inserted or edited, as a typed field takes it (an empty text into
    // a number column is NULL).
    void setField(std::string_view name, Value value);
    // Keeps the row's changes for applyUpdates().
    void post();
    void cancel();
    // Writes the posted rows to the table, each in a transaction of its own, in posting order. It
    // stops after more than maxErrors refused rows; every refused row is dropped. Returns the number
    // of refused rows.
    int applyUpdates(int maxErrors = 0);
    // The server's text for the last refused row, empty when none was refused.
    [[nodiscard]] const std::string& lastApplyError() const { return lastApplyError_; }
    // The table that applyUpdates() writes to: the one table every column of the result comes from.
    [[nodiscard]] std::string updateTable() const;

    // Takes the whole content (columns and rows) of another row set and stands on its first row.
    void copyFrom(const RowSet& other);

    void connectionClosing() override {}

  protected:
    const Value* currentValues() const override;

  private:
    struct Change {
        enum class Kind { Insert, Update } kind;
        int row;
        std::vector<Value> original;
        std::vector<bool> changed;
    };
    Connection& requireConnection() const;
    void applyOne(const Change& change);

    Connection* connection_;
    std::string name_;
    std::string commandText_;
    std::string preparedText_;             // command text with "?" for each parameter
    std::vector<std::string> paramOrder_;  // parameter name per "?"
    std::map<std::string, std::optional<Value>, std::less<>> params_;  // upper-case name -> value
    [[nodiscard]] std::vector<Value> boundParams() const;
    // A fetched row is kept as the message the engine sent and decoded when it is read, which takes a
    // fraction of the memory of decoded values; a row that was inserted, edited, copied with blob
    // columns or has blobs is kept decoded.
    struct StoredRow {
        std::vector<unsigned char> raw;
        std::vector<Value> values;  // empty while only `raw` holds the row
    };
    [[nodiscard]] const std::vector<Value>& rowValues(int row) const;
    std::vector<StoredRow> rows_;
    std::shared_ptr<const RowLayout> layout_;
    mutable int decodedRow_ = -1;
    mutable std::vector<Value> decoded_;
    int current_ = -1;
    bool eof_ = true;
    bool active_ = false;
    enum class EditState { Browse, Insert, Edit } state_ = EditState::Browse;
    std::vector<Value> editBuffer_;
    std::vector<Value> editOriginal_;
    std::vector<bool> editChanged_;
    std::vector<Change> changes_;
    std::string lastApplyError_;
};

// Whether a column holds text (CHAR or VARCHAR).
[[nodiscard]] bool isTextColumn(const Column& column);

// A value as a typed field takes it: an empty text set into a column that holds no text is NULL,
// as an edit field left empty is.
[[nodiscard]] Value forColumn(Value value, const Column& column);

// Replaces every ":NAME" outside quotes, quoted names and comments with "?", and lists the names in
// the order of the "?" marks. "::" and a colon followed by no name are left as they are.
struct ParsedParams {
    std::string text;
    std::vector<std::string> names;
};
[[nodiscard]] ParsedParams parseParams(std::string_view sql);

// Creates a new database (SQL dialect 3, no default character set) and closes it again. With
// forcedWrites false the engine does not flush every commit to disk: for tests only.
void createDatabase(const std::string& database, const std::string& user, const std::string& password,
                    bool forcedWrites = true);
// Removes a database the way the engine does it (it must not be in use).
void dropDatabase(const std::string& database, const std::string& user, const std::string& password);

}  // namespace lumvik::db
