#include "platform/text_conversions.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <climits>

TEST(FloatToStr, GeneralFormatWithFifteenSignificantDigits) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {1.5, "1.5"},
        {100.0, "100"},
        {0.137542724609375, "0.137542724609375"},
        {7.079637050628662, "7.07963705062866"},
        {499.99116307310760, "499.991163073108"},
        {632.0808887481689, "632.080888748169"},
        {123456789012345.0, "123456789012345"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"}, // the 16th digit is rounded away
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToStr(c.value), QString::fromLatin1(c.text)) << c.text;
}

TEST(FloatToStr, UsesTheLocaleDecimalSeparator) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FloatToStr(0.137542724609375), "0,137542724609375");
    EXPECT_EQ(FloatToStr(500), "500");
    QLocale::setDefault(previous);
}

TEST(StrToInt, DecimalTextWithin32Bits) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"0", 0},
        {"500", 500},
        {"075", 75},
        {"-12", -12},
        {"+7", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToInt(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(StrToInt, AnythingElseRaisesAnErrorNamingTheText) {
    const QString bad[] = {"",
                           "2147483648",
                           "-2147483649",
                           "99999999999",
                           "12a",
                           " 5",
                           "5 ",
                           "+",
                           "-",
                           "+-5",
                           "1.5",
                           "0x10",
                           QString::fromUtf8("\xD9\xA3")}; // an Arabic-Indic three
    for (const QString& text : bad) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text.toStdString() << "'";
        } catch (const ConversionError& error) {
            EXPECT_EQ(QString::fromStdString(error.what()),
                      QString("'%1' is not a valid integer value").arg(text));
        }
    }
}
