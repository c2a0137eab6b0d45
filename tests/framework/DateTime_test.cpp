#include "framework/DateTime.h"
#include "framework/SysUtils.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

TEST(DateTimeTest, DaysCountFrom1899December30) {
    const struct {
        int Year, Month, Day;
        double Serial;
    } cases[] = {
        {1899, 12, 30, 0},  {1899, 12, 31, 1},   {1900, 1, 1, 2},
        {1900, 3, 1, 61},   {2000, 1, 1, 36526}, {2024, 2, 29, 45351},
        {1899, 12, 29, -1}, {1, 1, 1, -693593},  {9999, 12, 31, 2958465},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Serial);
        EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Serial);
        int y = 0, m = 0, d = 0;
        DecodeDate(c.Serial, y, m, d);
        EXPECT_EQ(y, c.Year);
        EXPECT_EQ(m, c.Month);
        EXPECT_EQ(d, c.Day);
    }
}

TEST(DateTimeTest, RejectsDatesAndTimesThatDoNotExist) {
    TDateTime v = 123;
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1, v));
    EXPECT_FALSE(TryEncodeDate(2024, 0, 1, v));
    EXPECT_FALSE(TryEncodeDate(2024, 4, 31, v));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, v));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, v));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, v));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, v));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, v));
    EXPECT_EQ(v, 123);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(-1, 0, 0, 0), EConvertError);
}

TEST(DateTimeTest, TimeOfDayIsTheFractionAlsoBefore1899) {
    const struct {
        TDateTime Value;
        const char* Text;
    } cases[] = {
        {ComposeDateTime(EncodeDate(2024, 2, 29), EncodeTime(13, 5, 9, 0)), "2024-02-29 13:05:09"},
        {ComposeDateTime(EncodeDate(2024, 2, 29), EncodeTime(0, 0, 0, 7)),
         "2024-02-29 00:00:00.007"},
        {-1.25, "1899-12-29 06:00:00"},
        {-0.5, "1899-12-30 12:00:00"},
        {0.99999999999, "1899-12-31 00:00:00"}, // rounds to the next midnight
        {-1.99999999999, "1899-12-30 00:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(DateTimeToISO(c.Value), c.Text);
        TDateTime back = 0;
        ASSERT_TRUE(TryISOToDateTime(c.Text, back));
        EXPECT_EQ(DateTimeToISO(back), c.Text);
    }
    EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
}

TEST(DateTimeTest, ReadsOnlyTheIsoForms) {
    TDateTime v = 0;
    EXPECT_TRUE(TryISOToDateTime(" 2024-02-29T13:05 ", v));
    EXPECT_EQ(DateTimeToISO(v), "2024-02-29 13:05:00");
    EXPECT_TRUE(TryISOToDateTime("2024-02-29", v));
    EXPECT_EQ(v, EncodeDate(2024, 2, 29));
    EXPECT_TRUE(TryISOToTime("23:59:59.999", v));
    EXPECT_EQ(TimeToISO(v), "23:59:59.999");

    v = 42;
    const char* badDateTimes[] = {"",
                                  "2024-2-29",
                                  "2024/02/29",
                                  "2024-02-30",
                                  "2024-02-29 25:00",
                                  "2024-02-29 12:00:00.5",
                                  "2024-02-29x",
                                  "2024-02-29 12:00 x"};
    for (const char* text : badDateTimes)
        EXPECT_FALSE(TryISOToDateTime(text, v)) << text;
    for (const char* text : {"12", "12:60", "1:00", "12:00:00:00"})
        EXPECT_FALSE(TryISOToTime(text, v)) << text;
    EXPECT_FALSE(TryISOToDate("2024-02-29 12:00", v));
    EXPECT_EQ(v, 42);
}

} // namespace
} // namespace qor
