#include "db/detail/row_decoding.h"

#include "base/codepage.h"
#include "base/text.h"
#include "db/error.h"
#include "db/fb_client.h"

#include <firebird/Interface.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace lumvik::db {

using namespace Firebird;

namespace {

std::string twoDigits(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02u", v % 100);
    return b;
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

// A CHAR column at its full length, a VARCHAR at the length its first two bytes give.
Value decodeText(const Column& c, const unsigned char* data) {
    if (c.type == SQL_TEXT)
        return Value(cp950::toUtf8(std::string_view(reinterpret_cast<const char*>(data), c.length)));
    std::uint16_t len;
    std::memcpy(&len, data, sizeof len);
    return Value(cp950::toUtf8(std::string_view(reinterpret_cast<const char*>(data) + 2, len)));
}

// The integer columns (with their scale) and the floating ones.
Value decodeNumber(const Column& c, const unsigned char* data) {
    switch (c.type) {
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
        default: {  // SQL_DOUBLE, SQL_D_FLOAT
            double v;
            std::memcpy(&v, data, sizeof v);
            return Value(v);
        }
    }
}

// DATE as "yyyy-mm-dd", TIME as "hh:mm:ss" (with ".ffff" when it has a fraction), TIMESTAMP as both.
Value decodeDateTime(const Column& c, const unsigned char* data) {
    switch (c.type) {
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
        default: {  // SQL_TIMESTAMP
            ISC_TIMESTAMP v;
            std::memcpy(&v, data, sizeof v);
            return Value(dateText(v.timestamp_date) + " " + timeText(v.timestamp_time));
        }
    }
}

}  // namespace

bool isNull(const unsigned char* message, unsigned nullOffset) {
    std::int16_t null;
    std::memcpy(&null, message + nullOffset, sizeof null);
    return null != 0;
}

Value decodeField(const Column& c, const unsigned char* message, unsigned offset, unsigned nullOffset) {
    if (isNull(message, nullOffset)) return {};
    const unsigned char* data = message + offset;
    switch (c.type) {
        case SQL_TEXT:
        case SQL_VARYING:
            return decodeText(c, data);
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return decodeNumber(c, data);
        case SQL_BOOLEAN:
            return Value(*data != 0);
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TIMESTAMP:
            return decodeDateTime(c, data);
        default:
            throw DbError("Unsupported field type " + std::to_string(c.type) + " of field " + c.name);
    }
}

}  // namespace lumvik::db
