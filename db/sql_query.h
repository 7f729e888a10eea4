#pragma once

// Statement objects that hold their text as lines and read their result forward.

#include "db/connection.h"
#include "db/field_source.h"
#include "db/transaction.h"
#include "db/value.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lumvik::db {

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

}  // namespace lumvik::db
