#include "db/detail/input_message.h"

#include "base/codepage.h"
#include "db/detail/status.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace lumvik::db {

using namespace Firebird;

namespace {

// The message's items, typed by the values; the texts are converted into `bytes` on the way, as
// their length is part of the type.
IMessageMetadata* describeItems(Status& st, const std::vector<Value>& values,
                                std::vector<std::string>& bytes) {
    IMetadataBuilder* builder = clientMaster()->getMetadataBuilder(&st, static_cast<unsigned>(values.size()));
    st.check();
    for (unsigned i = 0; i < values.size(); ++i) {
        const Value& v = values[i];
        switch (v.kind()) {
            case Value::Kind::Null:
            case Value::Kind::Text:
                bytes[i] = v.isNull() ? std::string() : cp950::fromUtf8(v.text());
                builder->setType(&st, i, SQL_VARYING + 1);
                builder->setLength(&st, i, static_cast<unsigned>(std::max<std::size_t>(bytes[i].size(), 1)));
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
    IMessageMetadata* metadata = builder->getMetadata(&st);
    builder->release();
    st.check();
    return metadata;
}

}  // namespace

InputMessage::InputMessage(const std::vector<Value>& values) {
    if (values.empty()) return;
    Status st;
    std::vector<std::string> bytes(values.size());
    metadata_ = describeItems(st, values, bytes);
    fill(st, values, bytes);
}

InputMessage::~InputMessage() {
    if (metadata_ != nullptr) metadata_->release();
}

void InputMessage::fill(Status& st, const std::vector<Value>& values, const std::vector<std::string>& bytes) {
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

}  // namespace lumvik::db
