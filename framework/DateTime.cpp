#include "framework/DateTime.h"

#include "framework/SysUtils.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace qor {

namespace {

constexpr std::int64_t kMSecsPerDay = 86400000;
// Days from 1899-12-30 to 1970-01-01, the epoch of std::chrono::sys_days.
constexpr std::int64_t kUnixEpochDays = 25569;

// A date-time split into whole days and milliseconds of the day, rounded as a whole so
// that 23:59:59.9999 becomes midnight of the next day.
struct TSplit {
    std::int64_t Days;
    std::int64_t MSecs;
};

TSplit Split(TDateTime Value) {
    if (Value >= 0) {
        const auto total = static_cast<std::int64_t>(std::llround(Value * kMSecsPerDay));
        return {total / kMSecsPerDay, total % kMSecsPerDay};
    }
    // Negative: the whole part is the day, the fraction (ignoring its sign) the time.
    const double days = std::trunc(Value);
    TSplit split{static_cast<std::int64_t>(days),
                 static_cast<std::int64_t>(std::llround((days - Value) * kMSecsPerDay))};
    if (split.MSecs == kMSecsPerDay) {
        split.Days += 1; // midnight after that day, which is one day nearer to zero
        split.MSecs = 0;
    }
    return split;
}

std::chrono::year_month_day DateOfDays(std::int64_t Days) {
    return std::chrono::year_month_day(
        std::chrono::sys_days(std::chrono::days(Days - kUnixEpochDays)));
}

// Reads exactly Count decimal digits at Pos and moves past them.
bool Digits(std::string_view S, std::size_t& Pos, std::size_t Count, int& Value) {
    if (Pos + Count > S.size())
        return false;
    Value = 0;
    for (std::size_t i = 0; i < Count; ++i) {
        const char c = S[Pos + i];
        if (c < '0' || c > '9')
            return false;
        Value = Value * 10 + (c - '0');
    }
    Pos += Count;
    return true;
}

bool Expect(std::string_view S, std::size_t& Pos, char C) {
    if (Pos >= S.size() || S[Pos] != C)
        return false;
    ++Pos;
    return true;
}

bool ParseDate(std::string_view S, std::size_t& Pos, TDateTime& Date) {
    int year = 0, month = 0, day = 0;
    return Digits(S, Pos, 4, year) && Expect(S, Pos, '-') && Digits(S, Pos, 2, month) &&
           Expect(S, Pos, '-') && Digits(S, Pos, 2, day) && TryEncodeDate(year, month, day, Date);
}

bool ParseTime(std::string_view S, std::size_t& Pos, TDateTime& Time) {
    int hour = 0, min = 0, sec = 0, msec = 0;
    if (!Digits(S, Pos, 2, hour) || !Expect(S, Pos, ':') || !Digits(S, Pos, 2, min))
        return false;
    if (Pos < S.size() && S[Pos] == ':') {
        ++Pos;
        if (!Digits(S, Pos, 2, sec))
            return false;
        if (Pos < S.size() && S[Pos] == '.') {
            ++Pos;
            if (!Digits(S, Pos, 3, msec))
                return false;
        }
    }
    return TryEncodeTime(hour, min, sec, msec, Time);
}

} // namespace

bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Date) {
    // The ranges first: month and day objects only hold small numbers.
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > 31)
        return false;
    const std::chrono::year_month_day date{std::chrono::year(Year),
                                           std::chrono::month(static_cast<unsigned>(Month)),
                                           std::chrono::day(static_cast<unsigned>(Day))};
    if (!date.ok())
        return false;
    Date = static_cast<double>(std::chrono::sys_days(date).time_since_epoch().count() +
                               kUnixEpochDays);
    return true;
}

TDateTime EncodeDate(int Year, int Month, int Day) {
    TDateTime date = 0;
    if (!TryEncodeDate(Year, Month, Day, date))
        throw EConvertError("invalid date " + std::to_string(Year) + "-" + std::to_string(Month) +
                            "-" + std::to_string(Day));
    return date;
}

bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Time) {
    if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 ||
        MSec > 999)
        return false;
    const std::int64_t msecs = ((Hour * 60LL + Min) * 60 + Sec) * 1000 + MSec;
    Time = static_cast<double>(msecs) / kMSecsPerDay;
    return true;
}

TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec) {
    TDateTime time = 0;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, time))
        throw EConvertError("invalid time " + std::to_string(Hour) + ":" + std::to_string(Min) +
                            ":" + std::to_string(Sec) + "." + std::to_string(MSec));
    return time;
}

TDateTime ComposeDateTime(TDateTime Date, TDateTime Time) {
    const double day = std::trunc(Date);
    const double time = std::fabs(Time - std::trunc(Time));
    return day < 0 ? day - time : day + time;
}

void DecodeDate(TDateTime Date, int& Year, int& Month, int& Day) {
    const std::chrono::year_month_day date = DateOfDays(Split(Date).Days);
    Year = static_cast<int>(date.year());
    Month = static_cast<int>(static_cast<unsigned>(date.month()));
    Day = static_cast<int>(static_cast<unsigned>(date.day()));
}

void DecodeTime(TDateTime Time, int& Hour, int& Min, int& Sec, int& MSec) {
    const std::int64_t msecs = Split(Time).MSecs;
    Hour = static_cast<int>(msecs / 3600000);
    Min = static_cast<int>(msecs / 60000 % 60);
    Sec = static_cast<int>(msecs / 1000 % 60);
    MSec = static_cast<int>(msecs % 1000);
}

std::string DateToISO(TDateTime Date) {
    int year = 0, month = 0, day = 0;
    DecodeDate(Date, year, month, day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

std::string TimeToISO(TDateTime Time) {
    int hour = 0, min = 0, sec = 0, msec = 0;
    DecodeTime(Time, hour, min, sec, msec);
    char text[16];
    if (msec != 0)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hour, min, sec, msec);
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, min, sec);
    return text;
}

std::string DateTimeToISO(TDateTime DateTime) {
    return DateToISO(DateTime) + " " + TimeToISO(DateTime);
}

bool TryISOToDate(std::string_view S, TDateTime& Value) {
    const std::string text = Trim(S);
    std::size_t pos = 0;
    TDateTime date = 0;
    if (!ParseDate(text, pos, date) || pos != text.size())
        return false;
    Value = date;
    return true;
}

bool TryISOToTime(std::string_view S, TDateTime& Value) {
    const std::string text = Trim(S);
    std::size_t pos = 0;
    TDateTime time = 0;
    if (!ParseTime(text, pos, time) || pos != text.size())
        return false;
    Value = time;
    return true;
}

bool TryISOToDateTime(std::string_view S, TDateTime& Value) {
    const std::string text = Trim(S);
    std::size_t pos = 0;
    TDateTime date = 0, time = 0;
    if (!ParseDate(text, pos, date))
        return false;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T')
            return false;
        ++pos;
        if (!ParseTime(text, pos, time) || pos != text.size())
            return false;
    }
    Value = ComposeDateTime(date, time);
    return true;
}

} // namespace qor
