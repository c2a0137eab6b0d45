// The two text parsers of INI loading: user values with either decimal point, and the
// hexadecimal fields of command entries.

#include "data/IniPersistence.h"
#include "framework/SysUtils.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace qor::test {
namespace {

TEST(TryParseUserFloat, ReadsEitherDecimalPointUnderEitherSeparator) {
    struct TCase {
        const char* Text;
        std::optional<double> Value; // empty: refused
    };
    const TCase cases[] = {
        {"1.5", 1.5}, {"1,5", 1.5},    {"-2.25e3", -2250}, {"1.23457e+06", 1234570},
        {" 7 ", 7},   {"1.234,5", {}}, {"1,234.5", {}},    {"12abc", {}},
        {"", {}},     {"1.2.3", {}},
    };
    for (const char separator : {'.', ','}) {
        TFormatSettingsGuard guard({separator, separator == '.' ? ',' : '.'});
        for (const TCase& c : cases) {
            double value = -99;
            const bool ok = TryParseUserFloat(c.Text, value);
            EXPECT_EQ(ok, c.Value.has_value()) << "'" << c.Text << "' with " << separator;
            EXPECT_DOUBLE_EQ(value, c.Value.value_or(-99)) << "'" << c.Text << "' " << separator;
        }
    }
}

TEST(HexTokenAt, CountsRunsOfBlanksAsOneSeparator) {
    const std::string text = "  F0   21 FF  1  1 7F   ";
    struct TCase {
        int Index;
        std::optional<int> Value;
    };
    const TCase cases[] = {{0, 0xF0}, {1, 0x21}, {2, 0xFF}, {3, 1},
                           {4, 1},    {5, 0x7F}, {6, {}},   {-1, {}}};
    for (const TCase& c : cases) {
        int value = -99;
        EXPECT_EQ(HexTokenAt(c.Index, text, value), c.Value.has_value()) << c.Index;
        EXPECT_EQ(value, c.Value.value_or(-99)) << c.Index;
    }
}

TEST(HexTokenAt, EdgeTexts) {
    int value = -99;
    EXPECT_FALSE(HexTokenAt(0, "", value));
    EXPECT_TRUE(HexTokenAt(0, "   ", value)) << "a blank text trims to one empty field";
    EXPECT_EQ(value, 0);
    value = -99;
    EXPECT_TRUE(HexTokenAt(1, "F3 zz 10", value));
    EXPECT_EQ(value, 0) << "a field that is not hexadecimal reads as 0";
    EXPECT_TRUE(HexTokenAt(0, "FFFFFFF0", value));
    EXPECT_EQ(value, -16) << "32-bit two's complement";
    EXPECT_TRUE(HexTokenAt(2, "1 2 abc", value));
    EXPECT_EQ(value, 0xABC) << "last field, lower case";
    EXPECT_TRUE(HexTokenAt(0, "123456789", value));
    EXPECT_EQ(value, 0) << "more than 32 bits is no value";
}

TEST(CommandFields, WriteAndReadTheFieldsOfAnEntry) {
    std::string line;
    for (const std::uint32_t v : {0xF3u, 0x3105u, 0xFFu, 3u, 1u, 1u, 0xFFFFFFFFu})
        AppendHexField(line, v);
    EXPECT_EQ(line, "F3 3105 FF 3 1 1 FFFFFFFF");
    EXPECT_EQ(CommandHexValue("FFFFFFFF"), -1);
    EXPECT_EQ(CommandHexValue(""), 0);
    EXPECT_THROW(CommandHexValue("7F "), EConvertError);
    EXPECT_THROW(CommandHexValue("-1"), EConvertError);
    EXPECT_EQ(AfterFirstBlank("1 2 3"), "2 3");
    EXPECT_EQ(AfterFirstBlank("123"), "123");
}

} // namespace
} // namespace qor::test
