#pragma once
// Dates and times as the framework counts them, and their ISO 8601 text.
//
// A TDateTime is a number of days since 1899-12-30 00:00; its fraction is the time of
// day. Before that day the value is negative but the fraction still counts forward from
// midnight: -1.25 is 1899-12-29 06:00. Years run from 1 to 9999. Decoding rounds to the
// millisecond.

#include <string>
#include <string_view>

namespace qor {

using TDateTime = double;

// False for a date that does not exist (2023-02-29) or a year outside 1..9999.
bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Date);
// As TryEncodeDate; raises EConvertError for an invalid date.
TDateTime EncodeDate(int Year, int Month, int Day);
// Hour 0..23, Min and Sec 0..59, MSec 0..999; the result is a fraction of a day.
bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Time);
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec);
// Joins a date and a time of day, also for dates before 1899-12-30.
TDateTime ComposeDateTime(TDateTime Date, TDateTime Time);

void DecodeDate(TDateTime Date, int& Year, int& Month, int& Day);
void DecodeTime(TDateTime Time, int& Hour, int& Min, int& Sec, int& MSec);

// "yyyy-mm-dd", "hh:nn:ss" and "yyyy-mm-dd hh:nn:ss"; a time gets ".zzz" milliseconds
// only when they are not zero, so that writing and reading back loses nothing.
std::string DateToISO(TDateTime Date);
std::string TimeToISO(TDateTime Time);
std::string DateTimeToISO(TDateTime DateTime);

// Read the forms written above, ignoring blanks around them. A time may leave out the
// seconds ("hh:nn"); a date-time may be a date alone, or use 'T' between date and time.
// False, Value untouched, for anything else or a date or time that does not exist.
bool TryISOToDate(std::string_view S, TDateTime& Value);
bool TryISOToTime(std::string_view S, TDateTime& Value);
bool TryISOToDateTime(std::string_view S, TDateTime& Value);

} // namespace qor
