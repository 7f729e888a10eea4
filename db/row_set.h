#pragma once

#include "db/connection.h"
#include "db/field_source.h"
#include "db/value.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumvik::db {

struct RowLayout;

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
    // The parameter names of the command text, in the order of first appearance.
    [[nodiscard]] std::vector<std::string> paramNames() const;
    // Fails with "Parameter 'NAME' not found" when the text has no such parameter.
    void setParam(std::string_view name, Value value);

    void open();
    // Opens and keeps only the rows `keep` accepts; it sees each row as the current row of this row set
    // while the rows are fetched, so a result far larger than what is kept never stands in memory.
    void open(const std::function<bool(const RowSet&)>& keep);
    // Takes the columns of the command text's result without running it: the row set is open and
    // empty, as when its query finds no row.
    void openWithoutRows();
    void close();
    [[nodiscard]] bool active() const { return active_; }
    // Runs the command text as a statement, without a result.
    void execute();

    [[nodiscard]] int recordCount() const { return static_cast<int>(rows_.size()); }
    [[nodiscard]] bool eof() const { return eof_; }
    void first();
    void next();
    // Stands on row `row` (0 is the first); out of range it stands on no row and every field reads NULL.
    void moveTo(int row);
    [[nodiscard]] int position() const { return current_; }

    // Editing. insert() appends an empty row and stands on it; edit() makes the current row editable.
    void insert();
    void edit();
    // Sets a field of the row being inserted or edited, as a typed field takes it (an empty text into
    // a number column is NULL).
    void setField(std::string_view name, Value value);
    // Keeps the row's changes for applyUpdates().
    void post();
    // Writes the posted rows to the table, each in a transaction of its own, in posting order. It
    // stops after more than maxErrors refused rows; every refused row is dropped. Returns the number
    // of refused rows.
    int applyUpdates(int maxErrors = 0);
    // The statement that writes the one row inserted and posted, taken instead of run (the caller runs
    // it); false, and nothing taken, unless exactly that is waiting to be written.
    bool takeInsert(std::string& sql, std::vector<Value>& params);
    // The server's text for the last refused row, empty when none was refused.
    [[nodiscard]] const std::string& lastApplyError() const { return lastApplyError_; }
    // The table that applyUpdates() writes to: the one table every column of the result comes from.
    [[nodiscard]] std::string updateTable() const;

    // Takes the whole content (columns and rows) of another row set and stands on its first row.
    void copyFrom(const RowSet& other);
    // Takes the columns of another row set and the rows of it that `rows` names, in that order, and
    // stands on the first.
    void copyRowsFrom(const RowSet& other, const std::vector<int>& rows);
    // Keeps only the rows `keep` marks, in their order, and stands on the first.
    void keepRows(const std::vector<bool>& keep);

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
    // The statement that writes a change (none for an edit that changed nothing).
    void statementOf(const Change& change, std::string& sql, std::vector<Value>& params) const;

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

}  // namespace lumvik::db
