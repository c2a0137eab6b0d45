#pragma once
// Text conversions of numbers and blanks with the process-wide format settings.
//
// Nothing here follows the C library's locale (setlocale, LC_NUMERIC): the decimal
// separator is always the one in FormatSettings(), and FormatG / FormatX always write
// what printf writes in the "C" locale. A program that calls setlocale for its character
// classes therefore still reads and writes its numbers the same way.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qor {

struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
};

// The process's format settings, which every conversion below reads. The program sets
// them at start-up; they are not synchronised, so change them only while no other
// thread converts numbers.
TFormatSettings& FormatSettings();

// Saves the format settings and restores them when it goes out of scope; the second
// constructor also puts Temporary in place. Meant for tests and short scoped changes.
class TFormatSettingsGuard {
public:
    TFormatSettingsGuard();
    explicit TFormatSettingsGuard(const TFormatSettings& Temporary);
    ~TFormatSettingsGuard();
    TFormatSettingsGuard(const TFormatSettingsGuard&) = delete;
    TFormatSettingsGuard& operator=(const TFormatSettingsGuard&) = delete;

private:
    TFormatSettings FSaved;
};

// Raised when a text is not a number; the message quotes the text, e.g.
// "'12abc' is not a valid integer value".
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Blanks are the characters with codes 32 and below (space, tab, CR, LF, other controls).
std::string Trim(std::string_view S);
std::string TrimLeft(std::string_view S);
std::string TrimRight(std::string_view S);

std::string IntToStr(int Value);
std::string IntToStr(std::int64_t Value);
// Upper-case hexadecimal of the value's two's complement (32 bits for int, 64 for
// int64), padded with zeros to at least Digits digits: IntToHex(-1, 2) is "FFFFFFFF".
std::string IntToHex(int Value, int Digits);
std::string IntToHex(std::int64_t Value, int Digits);

// Integer text: leading spaces, an optional sign, then decimal digits, or hexadecimal
// digits after "$", "0x" or "0X". Nothing may follow the digits, not even a blank.
// Decimal values must fit in 32 signed bits; hexadecimal ones in 32 bits, read as two's
// complement, so "$FFFFFFFF" is -1 (a raw ECU word written in hexadecimal reads back).
bool TryStrToInt(std::string_view S, int& Value);
// As TryStrToInt; raises EConvertError when the text is not an integer.
int StrToInt(std::string_view S);
// As TryStrToInt; Default when the text is not an integer.
int StrToIntDef(std::string_view S, int Default);

// Floating-point text: blanks around it are ignored; an optional sign, digits with at
// most one current DecimalSeparator (at least one digit in all), an optional exponent
// "E"/"e" with optional sign and digits. Thousand separators, a '.' when it is not the
// decimal separator, "INF"/"NAN", empty text and values outside double's range (too
// large, or too small to be told from zero) are rejected. Value is untouched then.
bool TryStrToFloat(std::string_view S, double& Value);
// As TryStrToFloat; raises EConvertError when the text is not a number.
double StrToFloat(std::string_view S);

// General format with up to 15 significant digits and the current DecimalSeparator, no
// thousand separators, no trailing zeros: plain digits when the value is at least 1E-5
// and has at most 15 digits before the point, otherwise mantissa "E" exponent
// ("1E20", "1.5E-7", "-2.5E15"). Zero is "0" (also negative zero); infinities and NaN are
// "INF", "-INF" and "NAN".
std::string FloatToStr(double Value);

// printf("%g"): six significant digits, always '.' ("1.23457e+06", "0.0001", "1e-05").
std::string FormatG(double Value);
// printf("%X"): upper-case hexadecimal without padding.
std::string FormatX(std::uint32_t Value);

} // namespace qor
