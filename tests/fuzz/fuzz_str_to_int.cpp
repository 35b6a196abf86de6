// StrToInt over arbitrary bytes, read both as Latin-1 (one character a byte) and as UTF-8
// (invalid sequences become U+FFFD). It must return the right value for decimal text that
// fits in 32 bits and raise ConversionError naming the text for anything else.

#include "platform/text_conversions.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

// An optional + or - and then one or more ASCII digits, nothing else, within 32 bits;
// judged on the string's own characters, whatever bytes it was made from.
std::optional<std::int64_t> reference(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        // Past 2^31 the text is out of range whatever follows; capping keeps 64 bits enough.
        magnitude = std::min<std::int64_t>(magnitude * 10 + (c - u'0'), std::int64_t{1} << 32);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return value;
}

[[noreturn]] void fail(const char* what, const QString& text) {
    std::fprintf(stderr, "StrToInt('%s'): %s\n", text.toStdString().c_str(), what);
    std::abort();
}

void check(const QString& text) {
    const std::optional<std::int64_t> expected = reference(text);
    std::int32_t value = 0;
    try {
        value = StrToInt(text);
    } catch (const ConversionError& error) {
        if (expected)
            fail("rejected valid text", text);
        // what() is a C string, so a text with a NUL in it shows up to the NUL; strcmp
        // compares both sides only that far.
        const std::string message = "'" + text.toStdString() + "' is not a valid integer value";
        if (std::strcmp(error.what(), message.c_str()) != 0) {
            std::fprintf(stderr, "message: %s\n", error.what());
            fail("the error does not name the text", text);
        }
        return;
    }
    if (!expected)
        fail("accepted invalid text", text);
    if (value != *expected) {
        std::fprintf(stderr, "returned %d, expected %lld\n", value,
                     static_cast<long long>(*expected));
        fail("wrong value", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const auto length = static_cast<qsizetype>(size);
    check(QString::fromLatin1(bytes, length));
    check(QString::fromUtf8(bytes, length));
    return 0;
}
