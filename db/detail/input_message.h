#pragma once

// Internal to the database layer: the message that carries a statement's parameters to the engine.

#include "db/value.h"

#include <string>
#include <vector>

namespace Firebird {
class IMessageMetadata;
}

namespace lumvik::db {

class Status;

// Input message of a statement: one item per value, typed by the value itself, so that the server
// converts it to whatever the statement needs ("12.5" into a NUMERIC column, 3 into a VARCHAR).
class InputMessage {
  public:
    explicit InputMessage(const std::vector<Value>& values);
    ~InputMessage();
    InputMessage(const InputMessage&) = delete;
    InputMessage& operator=(const InputMessage&) = delete;

    [[nodiscard]] Firebird::IMessageMetadata* metadata() const { return metadata_; }
    [[nodiscard]] void* buffer() { return buffer_.empty() ? nullptr : buffer_.data(); }

  private:
    void fill(Status& st, const std::vector<Value>& values, const std::vector<std::string>& bytes);

    Firebird::IMessageMetadata* metadata_ = nullptr;
    std::vector<unsigned char> buffer_;
};

}  // namespace lumvik::db
