#include "framework/SysUtils.h"

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <iomanip>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace qor {
namespace {

TEST(StrToIntTest, AcceptsDecimalAndBothHexadecimalForms) {
    const struct {
        const char* Text;
        int Value;
    } cases[] = {
        {"0", 0},
        {"-12", -12},
        {"+7", 7},
        {"  42", 42},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$1F", 31},
        {"-$10", -16},
        {"0x0FFFF", 65535},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"$FFFFFFFF", -1},
        {"0x80000000", INT_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        int value = 12345;
        EXPECT_TRUE(TryStrToInt(c.Text, value));
        EXPECT_EQ(value, c.Value);
        EXPECT_EQ(StrToInt(c.Text), c.Value);
        EXPECT_EQ(StrToIntDef(c.Text, -99), c.Value);
    }
}

TEST(StrToIntTest, RejectsWhatIsNotA32BitInteger) {
    for (const char* text : {"", " ", "12abc", "12 ", "1.5", "2147483648", "-2147483649", "$", "0x",
                             "$100000000", "+-1", "0x-1", "abc", "1,000", "x1F"}) {
        SCOPED_TRACE(text);
        int value = 12345;
        EXPECT_FALSE(TryStrToInt(text, value));
        EXPECT_EQ(value, 12345);
        EXPECT_EQ(StrToIntDef(text, -99), -99);
        EXPECT_THROW(StrToInt(text), EConvertError);
    }
}

TEST(StrToIntTest, ErrorMessageQuotesTheText) {
    try {
        StrToInt("12abc");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12abc' is not a valid integer value");
    }
}

TEST(StrToFloatTest, FollowsTheCurrentDecimalSeparator) {
    const struct {
        char Separator;
        const char* Text;
        double Value;
    } cases[] = {
        {'.', "1.5", 1.5},    {'.', " -2.5e3 ", -2500.0}, {'.', "+.5", 0.5},
        {'.', "5.", 5.0},     {'.', "1E-7", 1e-7},        {'.', "\t7\r\n", 7.0},
        {'.', "1e+2", 100.0}, {',', "1,5", 1.5},          {',', "-0,25E1", -2.5},
        {',', "3", 3.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.Separator) + " " + c.Text);
        TFormatSettingsGuard guard({c.Separator, c.Separator == ',' ? '.' : ','});
        double value = -1.0;
        EXPECT_TRUE(TryStrToFloat(c.Text, value));
        EXPECT_DOUBLE_EQ(value, c.Value);
        EXPECT_DOUBLE_EQ(StrToFloat(c.Text), c.Value);
    }
}

TEST(StrToFloatTest, RejectsSeparatorsOfTheOtherKindAndNonNumbers) {
    const struct {
        char Separator;
        const char* Text;
    } cases[] = {
        {'.', ""},      {'.', "  "}, {'.', "1,5"}, {',', "1.5"}, {'.', "1,000.5"}, {',', "1.000,5"},
        {'.', "1.2.3"}, {'.', "e5"}, {'.', "1e"},  {'.', "1e+"}, {'.', "INF"},     {'.', "nan"},
        {'.', "1e400"}, {'.', "."},  {'.', "-"},   {'.', "1 5"}, {'.', "0x10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.Separator) + " " + c.Text);
        TFormatSettingsGuard guard({c.Separator, c.Separator == ',' ? '.' : ','});
        double value = -1.0;
        EXPECT_FALSE(TryStrToFloat(c.Text, value));
        EXPECT_EQ(value, -1.0);
        EXPECT_THROW(StrToFloat(c.Text), EConvertError);
    }
}

TEST(StrToFloatTest, ErrorMessageQuotesTheText) {
    try {
        StrToFloat("1.5x");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1.5x' is not a valid floating point value");
    }
}

TEST(FloatToStrTest, GeneralFormatWithFifteenDigits) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double Value;
        const char* Text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.5, "1.5"},
        {-2.25, "-2.25"},
        {100.0, "100"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {0.00001, "0.00001"},
        {0.0000015, "1.5E-6"},
        {1.5e-7, "1.5E-7"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {1234567890123456.0, "1.23456789012346E15"},
        {999999999999999.9, "1E15"},
        {1e20, "1E20"},
        {-2.5e100, "-2.5E100"},
        {inf, "INF"},
        {-inf, "-INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(FloatToStr(c.Value), c.Text);
    }
}

TEST(FloatToStrTest, UsesTheDecimalSeparatorAndReadsBack) {
    for (const char separator : {'.', ','}) {
        TFormatSettingsGuard guard({separator, separator == ',' ? '.' : ','});
        const std::string sep(1, separator);
        EXPECT_EQ(FloatToStr(1.5), "1" + sep + "5");
        EXPECT_EQ(FloatToStr(-1.5e-7), "-1" + sep + "5E-7");
        for (const double v : {1.5, -0.001, 3.14159265358979, 6.02214076e23, 1e-300, 42.0}) {
            SCOPED_TRACE(FloatToStr(v));
            double back = 0.0;
            ASSERT_TRUE(TryStrToFloat(FloatToStr(v), back));
            EXPECT_NEAR(back, v, std::fabs(v) * 1e-14);
        }
    }
}

TEST(FloatToStrTest, EveryFiniteDoubleReadsBackFinite) {
    // Rounding to 15 digits must never carry a value past the largest double.
    constexpr double Max = std::numeric_limits<double>::max();
    const double values[] = {Max,
                             -Max,
                             std::nextafter(Max, 0.0),
                             1.797693134862315e308,
                             9.999999999999999e307,
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::denorm_min(),
                             2.2250738585072009e-308};
    for (const char separator : {'.', ','}) {
        TFormatSettingsGuard guard({separator, separator == ',' ? '.' : ','});
        for (const double v : values) {
            const std::string text = FloatToStr(v);
            SCOPED_TRACE(text);
            double back = 0.0;
            ASSERT_TRUE(TryStrToFloat(text, back));
            EXPECT_TRUE(std::isfinite(back));
            EXPECT_NEAR(back, v, std::fabs(v) * 1e-14);
        }
    }
    EXPECT_EQ(FloatToStr(Max), "1.79769313486231E308");
}

TEST(FormatSettingsTest, GuardRestoresTheSettings) {
    const TFormatSettings before = FormatSettings();
    {
        TFormatSettingsGuard guard({',', '.'});
        EXPECT_EQ(FormatSettings().DecimalSeparator, ',');
        EXPECT_EQ(FormatSettings().ThousandSeparator, '.');
        FormatSettings().DecimalSeparator = ';';
    }
    EXPECT_EQ(FormatSettings().DecimalSeparator, before.DecimalSeparator);
    EXPECT_EQ(FormatSettings().ThousandSeparator, before.ThousandSeparator);
}

TEST(TrimTest, RemovesControlCharactersAndSpacesOnly) {
    const struct {
        const char* Text;
        const char* Both;
        const char* Left;
        const char* Right;
    } cases[] = {
        {" \t a b \r\n", "a b", "a b \r\n", " \t a b"},
        {"", "", "", ""},
        {" \x01\x1f ", "", "", ""},
        {"x", "x", "x", "x"},
        // Bytes above 127 are characters of the narrow character set, not blanks.
        {"\xA0x\xE9", "\xA0x\xE9", "\xA0x\xE9", "\xA0x\xE9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(Trim(c.Text), c.Both);
        EXPECT_EQ(TrimLeft(c.Text), c.Left);
        EXPECT_EQ(TrimRight(c.Text), c.Right);
    }
}

TEST(IntTextTest, DecimalAndHexadecimalOutput) {
    EXPECT_EQ(IntToStr(INT_MIN), "-2147483648");
    EXPECT_EQ(IntToStr(std::int64_t{-9000000000}), "-9000000000");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0x1234, 2), "1234");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(std::int64_t{-1}, 2), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(FormatX(0), "0");
    EXPECT_EQ(FormatX(0xABCDEFu), "ABCDEF");
    EXPECT_EQ(FormatX(0xFFFFFFFFu), "FFFFFFFF");
}

TEST(FormatGTest, MatchesPrintfInTheCLocale) {
    const struct {
        double Value;
        const char* Text;
    } cases[] = {
        {1234567.0, "1.23457e+06"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {100.0, "100"},
        {1.5, "1.5"},
        {-0.5, "-0.5"},
        {123456.0, "123456"},
        {0.0, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(FormatG(c.Value), c.Text);
    }
}

TEST(FormatGTest, AgreesWithPrintfAcrossMagnitudesAndRoundingEdges) {
    // The C library's own "%g" (the test runs in the "C" locale) is the reference for
    // values on both sides of the fast path's limits and of six-digit rounding.
    std::vector<double> values{999999.4,          999999.5,  999999.0, 99999.95,  0.0001,
                               0.00009999995,     0.1 + 0.2, 123456.5, 1234.5675, -0.00012345,
                               1e-4 * 0.99999999, 65535.0,   -32768.0, 0.75,      2.5e-3,
                               123.4565,          1e6};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-7, 8);
    for (int i = 0; i < 20000; ++i)
        values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    for (int i = -2000; i <= 2000; ++i)
        values.push_back(i * 0.1);
    // Scaled raw values, the usual calibration values: the formatter's short path takes
    // most of them, near its six-digit and 1e-4 limits too.
    for (const double factor : {0.1, 0.25, 0.01, 0.001, 0.0390625, 1.0 / 3, 7.5, 1e-5, 31.25})
        for (int raw = -40000; raw <= 40000; raw += 7)
            values.push_back(raw * factor);
    for (double v : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%g", v);
        ASSERT_EQ(FormatG(v), expected) << "value " << std::setprecision(17) << v;
    }
}

// Switches LC_NUMERIC to a locale whose decimal point is ',' for the life of the object,
// when the system has one.
class CommaNumericLocale {
public:
    CommaNumericLocale() : FSaved(std::setlocale(LC_NUMERIC, nullptr)) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                                 "nl_NL.UTF-8", "ru_RU.UTF-8", "pt_BR.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) && *std::localeconv()->decimal_point == ',') {
                FName = name;
                return;
            }
        }
        std::setlocale(LC_NUMERIC, FSaved.c_str());
    }
    ~CommaNumericLocale() { std::setlocale(LC_NUMERIC, FSaved.c_str()); }
    bool Active() const { return !FName.empty(); }

private:
    std::string FSaved;
    std::string FName;
};

TEST(FormatGTest, IgnoresTheCLibraryNumericLocale) {
    CommaNumericLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no locale with ',' as decimal point is installed";
    char printed[32];
    std::snprintf(printed, sizeof printed, "%g", 1234.5);
    ASSERT_STREQ(printed, "1234,5") << "the locale is not in effect";

    EXPECT_EQ(FormatG(1234.5), "1234.5");
    EXPECT_EQ(FormatG(1234567.0), "1.23457e+06");
    EXPECT_EQ(FloatToStr(1234.5), "1234.5");
    double value = 0.0;
    EXPECT_TRUE(TryStrToFloat("2.5", value));
    EXPECT_EQ(value, 2.5);
    EXPECT_FALSE(TryStrToFloat("2,5", value));
}

} // namespace
} // namespace qor
