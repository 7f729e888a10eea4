#include "base/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace lumvik::json {

std::int64_t Value::whole(std::int64_t fallback) const {
    if (kind_ == Kind::Whole) return whole_;
    if (kind_ == Kind::Double && std::isfinite(double_)) return static_cast<std::int64_t>(double_);
    return fallback;
}

Value& Value::set(const std::string& key, Value value) {
    for (auto& [name, member] : members_)
        if (name == key) return member = std::move(value);
    members_.emplace_back(key, std::move(value));
    return members_.back().second;
}

const Value& Value::operator[](std::string_view key) const {
    static const Value none;
    for (const auto& [name, member] : members_)
        if (name == key) return member;
    return none;
}

namespace {

void dumpText(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            // Control characters escaped, so that a value never breaks its line.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

void Value::dumpTo(std::string& out) const {
    switch (kind_) {
        case Kind::Null:
            out += "null";
            break;
        case Kind::Bool:
            out += whole_ ? "true" : "false";
            break;
        case Kind::Whole:
            out += std::to_string(whole_);
            break;
        case Kind::Double: {
            // to_chars, not printf: the window's locale may use a decimal comma.
            char number[32];
            const auto end =
                std::to_chars(number, number + sizeof number, std::isfinite(double_) ? double_ : 0.0);
            out.append(number, end.ptr);
            break;
        }
        case Kind::Text:
            dumpText(out, text_);
            break;
        case Kind::Array:
            out += '[';
            for (std::size_t i = 0; i < items_.size(); ++i) {
                if (i > 0) out += ',';
                items_[i].dumpTo(out);
            }
            out += ']';
            break;
        case Kind::Object:
            out += '{';
            for (std::size_t i = 0; i < members_.size(); ++i) {
                if (i > 0) out += ',';
                dumpText(out, members_[i].first);
                out += ':';
                members_[i].second.dumpTo(out);
            }
            out += '}';
            break;
    }
}

std::string Value::dump() const {
    std::string out;
    dumpTo(out);
    return out;
}

namespace {

// A recursive reader of one value; every function returns false on text that is no JSON.
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool value(Value& out, int depth) {
        // Our own files nest three deep; a damaged file must not run the stack out.
        if (depth > 32) return false;
        blanks();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '{') return object(out, depth);
        if (c == '[') return array(out, depth);
        if (c == '"') {
            std::string s;
            if (!string(s)) return false;
            out = Value(std::move(s));
            return true;
        }
        if (word("true")) return out = Value(true), true;
        if (word("false")) return out = Value(false), true;
        if (word("null")) return out = Value(), true;
        return number(out);
    }

    bool atEnd() {
        blanks();
        return at_ == text_.size();
    }

  private:
    void blanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }

    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }

    bool number(Value& out) {
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos)
            ++at_;
        const std::string_view digits = text_.substr(start, at_ - start);
        if (digits.empty()) return false;
        std::int64_t whole = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), whole);
        if (error == std::errc() && end == digits.data() + digits.size()) return out = Value(whole), true;
        double d = 0;
        auto [stop, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), d);
        if (failure != std::errc() || stop != digits.data() + digits.size()) return false;
        out = Value(d);
        return true;
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool hex4(unsigned& code) {
        if (at_ + 4 > text_.size()) return false;
        auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
        if (error != std::errc() || end != text_.data() + at_ + 4) return false;
        at_ += 4;
        return true;
    }

    bool escape(std::string& out) {
        const char c = text_[at_++];
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out += c;
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u': {
                unsigned code = 0;
                if (!hex4(code)) return false;
                if (code >= 0xD800 && code < 0xDC00 && word("\\u")) {
                    unsigned low = 0;
                    if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, code);
                return true;
            }
            default:
                return false;
        }
    }

    bool string(std::string& out) {
        ++at_;  // the opening quote
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
            } else if (at_ >= text_.size() || !escape(out)) {
                return false;
            }
        }
        return false;
    }

    bool array(Value& out, int depth) {
        ++at_;
        out = Value::array();
        blanks();
        if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
        for (;;) {
            Value item;
            if (!value(item, depth + 1)) return false;
            out.push(std::move(item));
            blanks();
            if (at_ >= text_.size()) return false;
            const char c = text_[at_++];
            if (c == ']') return true;
            if (c != ',') return false;
        }
    }

    bool object(Value& out, int depth) {
        ++at_;
        out = Value::object();
        blanks();
        if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
        for (;;) {
            blanks();
            std::string key;
            if (at_ >= text_.size() || text_[at_] != '"' || !string(key)) return false;
            blanks();
            if (at_ >= text_.size() || text_[at_++] != ':') return false;
            Value member;
            if (!value(member, depth + 1)) return false;
            out.set(key, std::move(member));
            blanks();
            if (at_ >= text_.size()) return false;
            const char c = text_[at_++];
            if (c == '}') return true;
            if (c != ',') return false;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<Value> parse(std::string_view text) {
    Reader reader(text);
    Value out;
    if (!reader.value(out, 0) || !reader.atEnd()) return std::nullopt;
    return out;
}

}  // namespace lumvik::json
