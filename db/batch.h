#pragma once

// Statements of one connection sent to the server together instead of one round trip each. The
// statements queued are run, in their order, as one EXECUTE BLOCK whose parameters are declared as each
// statement declares its own, so that every value is taken exactly as the statement alone would take it.
// A block either takes effect whole or not at all: when it fails, its statements are run again one by
// one, each told how it went, exactly as they would have run without the batch. Every other statement on
// the connection, and its commit, first runs what is queued, so nothing overtakes it.

#include "db/connection.h"
#include "db/error.h"
#include "db/value.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumvik::db {

class Batch {
  public:
    // How a statement went: null when it took effect, else its error. It may throw (the error itself,
    // for a statement whose failure ends the work), which ends the flush there.
    using Done = std::function<void(const DbError* failure)>;

    explicit Batch(Connection& connection);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // Queues a statement (its text as given, its values by position).
    void add(std::string sql, std::vector<Value> params, Done done = {});
    // Queues something to do in its place among the statements' outcomes (a log line).
    void then(std::function<void()> action);
    [[nodiscard]] bool pending() const { return !entries_.empty(); }
    // Runs what is queued.
    void flush();

  private:
    struct Entry {
        std::string sql;
        std::vector<Value> params;
        Done done;
        std::function<void()> action;
    };
    // The block of a sequence of statements: its text and each statement's count of parameters. Made
    // once for each sequence met; nothing when the statements cannot go in a block.
    struct Block {
        std::string text;
        std::vector<std::size_t> params;
    };
    const std::optional<Block>& blockFor(const std::vector<std::string>& statements);
    // Runs the entries, their statements as one block; false when that block could not be made or
    // failed, which left nothing behind.
    bool runBlock(std::vector<Entry>& entries);
    // Runs the entries, each statement on its own.
    void runOneByOne(std::vector<Entry>& entries);

    Connection& connection_;
    Batch* before_;  // the connection's batch before this one, set again when this one ends
    std::vector<Entry> entries_;
    std::size_t statements_ = 0;
    std::size_t params_ = 0;
    std::size_t text_ = 0;  // about how long the block's text is
    std::map<std::vector<std::string>, std::optional<Block>> blocks_;
};

}  // namespace lumvik::db
