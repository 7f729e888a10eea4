#include "base/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <memory>
#include <stdexcept>

namespace lumvik::cp950 {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};

// Bytes that are no character of the code page (a POS that cuts a name at a byte width leaves half a
// character, such as "\xBE\x50\xA4") must still reach the other database unchanged. Each such byte
// becomes one code point of a private-use stretch that the code page leaves unmapped (U+F849 to
// U+F8F7), and that code point becomes the byte again.
constexpr UChar32 kRawByteBase = 0xF850;  // byte 0x80; byte 0xFF is U+F8CF

void U_EXPORT2 rawBytesToUnicode(const void*, UConverterToUnicodeArgs* args, const char* codeUnits,
                                 int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason > UCNV_IRREGULAR) return;  // reset, close, clone
    *err = U_ZERO_ERROR;
    for (int32_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(codeUnits[i]);
        const UChar unit = byte < 0x80 ? byte : static_cast<UChar>(kRawByteBase + (byte - 0x80));
        ucnv_cbToUWriteUChars(args, &unit, 1, 0, err);
    }
}

void U_EXPORT2 rawBytesFromUnicode(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                                   UChar32 codePoint, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason > UCNV_IRREGULAR) return;
    *err = U_ZERO_ERROR;
    // Characters the code page lacks become "?".
    char byte = '?';
    if (codePoint >= kRawByteBase && codePoint < kRawByteBase + 0x80)
        byte = static_cast<char>(0x80 + (codePoint - kRawByteBase));
    ucnv_cbFromUWriteBytes(args, &byte, 1, 0, err);
}

// One converter per direction and thread: ICU converters keep state and are not thread-safe.
UConverter* converter() {
    thread_local std::unique_ptr<UConverter, ConverterCloser> conv = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, ConverterCloser> c(ucnv_open("windows-950", &status));
        if (U_FAILURE(status)) {
            throw std::runtime_error(std::string("The code page 950 converter is not available: ") +
                                     u_errorName(status));
        }
        ucnv_setToUCallBack(c.get(), rawBytesToUnicode, nullptr, nullptr, nullptr, &status);
        ucnv_setFromUCallBack(c.get(), rawBytesFromUnicode, nullptr, nullptr, nullptr, &status);
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("The code page 950 converter cannot be set up: ") +
                                     u_errorName(status));
        return c;
    }();
    return conv.get();
}

UConverter* utf8Converter() {
    thread_local std::unique_ptr<UConverter, ConverterCloser> conv = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, ConverterCloser> c(ucnv_open("UTF-8", &status));
        if (U_FAILURE(status)) throw std::runtime_error("The UTF-8 converter is not available");
        return c;
    }();
    return conv.get();
}

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

std::string toUtf8(std::string_view bytes) {
    if (isAscii(bytes)) return std::string(bytes);
    UConverter* cp = converter();
    UErrorCode status = U_ZERO_ERROR;
    std::u16string wide(bytes.size() + 1, u'\0');
    ucnv_reset(cp);
    const int32_t wn =
        ucnv_toUChars(cp, reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                      bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("Code page 950 decode failed: ") + u_errorName(status));
    wide.resize(static_cast<std::size_t>(wn));
    UConverter* u8 = utf8Converter();
    std::string out(wide.size() * 3 + 1, '\0');
    status = U_ZERO_ERROR;
    ucnv_reset(u8);
    const int32_t on = ucnv_fromUChars(u8, out.data(), static_cast<int32_t>(out.size()),
                                       reinterpret_cast<const UChar*>(wide.data()),
                                       static_cast<int32_t>(wide.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("UTF-8 encode failed: ") + u_errorName(status));
    out.resize(static_cast<std::size_t>(on));
    return out;
}

std::string fromUtf8(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    UConverter* u8 = utf8Converter();
    UErrorCode status = U_ZERO_ERROR;
    std::u16string wide(utf8.size() + 1, u'\0');
    ucnv_reset(u8);
    const int32_t wn =
        ucnv_toUChars(u8, reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                      utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("UTF-8 decode failed: ") + u_errorName(status));
    wide.resize(static_cast<std::size_t>(wn));
    UConverter* cp = converter();
    std::string out(wide.size() * 2 + 1, '\0');
    status = U_ZERO_ERROR;
    ucnv_reset(cp);
    const int32_t on = ucnv_fromUChars(cp, out.data(), static_cast<int32_t>(out.size()),
                                       reinterpret_cast<const UChar*>(wide.data()),
                                       static_cast<int32_t>(wide.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("Code page 950 encode failed: ") + u_errorName(status));
    out.resize(static_cast<std::size_t>(on));
    return out;
}

std::size_t byteWidth(std::string_view utf8) {
    return fromUtf8(utf8).size();
}

std::string leftBytes(std::string_view utf8, std::size_t width) {
    const std::string bytes = fromUtf8(utf8);
    std::string cut;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        // In code page 950 a byte from 0x81 on leads a two-byte character.
        const std::size_t len = (lead >= 0x81 && lead <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
        if (cut.size() + len > width) break;
        cut.append(bytes, i, len);
        i += len;
    }
    return toUtf8(cut);
}

std::string fitToBytes(std::string_view utf8, std::size_t width) {
    std::string cut = fromUtf8(leftBytes(utf8, width));
    cut.append(width - cut.size(), ' ');
    return toUtf8(cut);
}

}  // namespace lumvik::cp950
