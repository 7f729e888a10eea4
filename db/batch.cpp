#include "db/batch.h"

#include <firebird/Interface.h>

#include <map>
#include <optional>

namespace lumvik::db {

namespace {

// What one block holds at most: the engine takes statements of up to 64 KB.
constexpr std::size_t kMaxStatements = 32;
constexpr std::size_t kMaxParams = 1000;
constexpr std::size_t kMaxText = 48000;
// The declaration of one parameter takes about this much of the block's text.
constexpr std::size_t kDeclarationBytes = 48;

// A parameter declared as a statement declares it, or nothing for a type a block cannot declare (the
// statements are then run one by one).
std::optional<std::string> declaration(const Column& c) {
    const std::string charSet = c.charSet == 0   ? " CHARACTER SET NONE"
                                : c.charSet == 1 ? " CHARACTER SET OCTETS"
                                                 : "";
    const std::string scale = std::to_string(-c.scale);
    switch (c.type) {
        case SQL_VARYING:
            if (charSet.empty() || c.length == 0) return std::nullopt;
            return "VARCHAR(" + std::to_string(c.length) + ")" + charSet;
        case SQL_TEXT:
            if (charSet.empty() || c.length == 0) return std::nullopt;
            return "CHAR(" + std::to_string(c.length) + ")" + charSet;
        case SQL_SHORT:
            return c.scale == 0 ? "SMALLINT" : "NUMERIC(4," + scale + ")";
        case SQL_LONG:
            return c.scale == 0 ? "INTEGER" : "NUMERIC(9," + scale + ")";
        case SQL_INT64:
            return c.scale == 0 ? "BIGINT" : "NUMERIC(18," + scale + ")";
        case SQL_FLOAT:
            return "FLOAT";
        case SQL_DOUBLE:
            return "DOUBLE PRECISION";
        case SQL_TYPE_DATE:
            return "DATE";
        case SQL_TYPE_TIME:
            return "TIME";
        case SQL_TIMESTAMP:
            return "TIMESTAMP";
        case SQL_BOOLEAN:
            return "BOOLEAN";
        default:
            return std::nullopt;
    }
}

// The statement with each "?" outside quotes named `prefix`0, `prefix`1, ...; nothing when it has
// another number of them than `count`.
std::optional<std::string> named(const std::string& sql, const std::string& prefix, std::size_t count) {
    std::string out;
    std::size_t next = 0;
    char quote = 0;
    for (const char c : sql) {
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += ":" + prefix + std::to_string(next++);
            continue;
        }
        out += c;
    }
    if (next != count) return std::nullopt;
    return out;
}

}  // namespace

Batch::Batch(Connection& connection) : connection_(connection), before_(connection.setBatch(this)) {}

Batch::~Batch() {
    try {
        flush();
    } catch (...) {
        // The work that queued them has ended by an error of its own, the one reported.
    }
    connection_.setBatch(before_);
}

void Batch::add(std::string sql, std::vector<Value> params, Done done) {
    const std::size_t size = sql.size() + params.size() * kDeclarationBytes;
    if (statements_ > 0 &&
        (statements_ + 1 > kMaxStatements || params_ + params.size() > kMaxParams || text_ + size > kMaxText))
        flush();
    statements_ += 1;
    params_ += params.size();
    text_ += size;
    entries_.push_back({std::move(sql), std::move(params), std::move(done), {}});
}

void Batch::then(std::function<void()> action) {
    if (entries_.empty()) {
        action();
        return;
    }
    entries_.push_back({{}, {}, {}, std::move(action)});
}

void Batch::flush() {
    if (entries_.empty()) return;
    std::vector<Entry> entries = std::move(entries_);
    entries_.clear();
    statements_ = params_ = text_ = 0;
    if (!runBlock(entries)) runOneByOne(entries);
}

const std::optional<Batch::Block>& Batch::blockFor(const std::vector<std::string>& statements) {
    auto found = blocks_.find(statements);
    if (found != blocks_.end()) return found->second;
    std::optional<Block> block = Block{};
    std::string declarations, body;
    for (std::size_t s = 0; s < statements.size() && block; ++s) {
        const std::vector<Column> inputs = connection_.inputsOf(statements[s]);
        const std::string prefix = "P" + std::to_string(s) + "_";
        const auto text = named(statements[s], prefix, inputs.size());
        if (!text) block.reset();
        for (std::size_t i = 0; block && i < inputs.size(); ++i) {
            const auto type = declaration(inputs[i]);
            if (!type) {
                block.reset();
                break;
            }
            declarations +=
                (declarations.empty() ? "" : ",\r\n") + prefix + std::to_string(i) + " " + *type + " = ?";
        }
        if (!block) break;
        body += *text + ";\r\n";
        block->params.push_back(inputs.size());
    }
    if (block) block->text = "EXECUTE BLOCK (" + declarations + ")\r\nAS BEGIN\r\n" + body + "END";
    return blocks_.emplace(statements, std::move(block)).first->second;
}

bool Batch::runBlock(std::vector<Entry>& entries) {
    std::vector<std::string> statements;
    for (const Entry& e : entries)
        if (!e.action) statements.push_back(e.sql);
    if (statements.size() < 2) return false;
    const std::optional<Block>& block = blockFor(statements);
    if (!block) return false;
    std::vector<Value> params;
    std::size_t s = 0;
    for (const Entry& e : entries) {
        if (e.action) continue;
        if (e.params.size() != block->params[s++]) return false;
        params.insert(params.end(), e.params.begin(), e.params.end());
    }
    try {
        connection_.execute(block->text, params);
    } catch (const DbError&) {
        // Nothing of the block took effect; its statements go one by one.
        return false;
    }
    for (Entry& e : entries) {
        if (e.action)
            e.action();
        else if (e.done)
            e.done(nullptr);
    }
    return true;
}

void Batch::runOneByOne(std::vector<Entry>& entries) {
    for (Entry& e : entries) {
        if (e.action) {
            e.action();
            continue;
        }
        try {
            connection_.execute(e.sql, e.params);
        } catch (const DbError& failure) {
            if (e.done) e.done(&failure);
            continue;
        } catch (const std::exception& failure) {
            const DbError error(failure.what());
            if (e.done) e.done(&error);
            continue;
        }
        if (e.done) e.done(nullptr);
    }
}

}  // namespace lumvik::db
