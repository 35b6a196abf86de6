#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

// Raised when text is not a decimal integer that fits in 32 bits.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// General format with up to 15 significant digits and no trailing zeros; the decimal
// separator is the locale's (the system's unless the program sets another).
QString FloatToStr(double value);

// Decimal text, with an optional sign, to a 32-bit integer; anything else raises
// ConversionError naming the text.
std::int32_t StrToInt(const QString& text);
