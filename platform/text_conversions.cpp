#include "platform/text_conversions.h"

#include <QLocale>

#include <array>
#include <charconv>
#include <string>

QString FloatToStr(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    QString text = QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

std::int32_t StrToInt(const QString& text) {
    const std::string digits = text.toStdString();
    const char* first = digits.data();
    const char* const last = first + digits.size();
    // from_chars takes a minus sign but not a plus sign.
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
        ++first;
    std::int32_t value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last)
        throw ConversionError(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value;
}
