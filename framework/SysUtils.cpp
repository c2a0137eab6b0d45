#include "framework/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <system_error>

namespace qor {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimLeftView(std::string_view S) {
    std::size_t i = 0;
    while (i < S.size() && IsBlank(S[i]))
        ++i;
    return S.substr(i);
}

std::string_view TrimRightView(std::string_view S) {
    std::size_t n = S.size();
    while (n > 0 && IsBlank(S[n - 1]))
        --n;
    return S.substr(0, n);
}

std::string Quoted(std::string_view S) {
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on "'" + std::string at -O3.
    std::string out;
    out.reserve(S.size() + 2);
    out += '\'';
    out.append(S);
    out += '\'';
    return out;
}

std::string UpperHex(std::uint64_t Value, int Digits) {
    char buf[16];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, Value, 16);
    std::string hex(buf, end);
    for (char& c : hex)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    if (static_cast<int>(hex.size()) < Digits)
        hex.insert(0, static_cast<std::size_t>(Digits) - hex.size(), '0');
    return hex;
}

} // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

TFormatSettingsGuard::TFormatSettingsGuard() : FSaved(FormatSettings()) {}

TFormatSettingsGuard::TFormatSettingsGuard(const TFormatSettings& Temporary)
    : FSaved(FormatSettings()) {
    FormatSettings() = Temporary;
}

TFormatSettingsGuard::~TFormatSettingsGuard() {
    FormatSettings() = FSaved;
}

std::string Trim(std::string_view S) {
    return std::string(TrimRightView(TrimLeftView(S)));
}
std::string TrimLeft(std::string_view S) {
    return std::string(TrimLeftView(S));
}
std::string TrimRight(std::string_view S) {
    return std::string(TrimRightView(S));
}

std::string IntToStr(int Value) {
    return std::to_string(Value);
}
std::string IntToStr(std::int64_t Value) {
    return std::to_string(Value);
}

std::string IntToHex(int Value, int Digits) {
    return UpperHex(static_cast<std::uint32_t>(Value), Digits);
}

std::string IntToHex(std::int64_t Value, int Digits) {
    return UpperHex(static_cast<std::uint64_t>(Value), Digits);
}

bool TryStrToInt(std::string_view S, int& Value) {
    std::size_t i = 0;
    while (i < S.size() && S[i] == ' ')
        ++i;
    bool negative = false;
    if (i < S.size() && (S[i] == '+' || S[i] == '-')) {
        negative = S[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < S.size() && S[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == S.size())
        return false;

    // Accumulating in 64 bits and stopping past 32 bits cannot overflow.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t magnitude = 0;
    for (; i < S.size(); ++i) {
        const int digit = hex ? HexDigitValue(S[i]) : (IsDigit(S[i]) ? S[i] - '0' : -1);
        if (digit < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (magnitude > limit)
            return false;
    }
    // Two's complement wrap: "-$1" is -1, "$FFFFFFFF" is -1 too.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    Value = static_cast<int>(bits);
    return true;
}

int StrToInt(std::string_view S) {
    int value = 0;
    if (!TryStrToInt(S, value))
        throw EConvertError(Quoted(S) + " is not a valid integer value");
    return value;
}

int StrToIntDef(std::string_view S, int Default) {
    int value = 0;
    return TryStrToInt(S, value) ? value : Default;
}

bool TryStrToFloat(std::string_view S, double& Value) {
    const std::string_view text = TrimRightView(TrimLeftView(S));
    const char separator = FormatSettings().DecimalSeparator;

    // The syntax: an optional sign, digits with at most one separator among them (at
    // least one digit), then optionally 'e' or 'E', an optional sign and digits.
    std::size_t i = 0;
    const auto skipDigits = [&] {
        const std::size_t start = i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        return i - start;
    };
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t numberStart = i;
    std::size_t digits = skipDigits();
    std::size_t separatorAt = std::string_view::npos;
    if (i < text.size() && text[i] == separator) {
        separatorAt = i++;
        digits += skipDigits();
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (skipDigits() == 0)
            return false;
    }
    if (i != text.size())
        return false;

    // from_chars never looks at the C locale; it takes no sign before the number and
    // only '.' as separator, so another separator is replaced in a copy.
    std::string_view number = text.substr(numberStart);
    std::string copy;
    if (separatorAt != std::string_view::npos && separator != '.') {
        copy.assign(number);
        copy[separatorAt - numberStart] = '.';
        number = copy;
    }
    double parsed = 0.0;
    const char* end = number.data() + number.size();
    const auto [stop, ec] = std::from_chars(number.data(), end, parsed);
    if (ec != std::errc() || stop != end)
        return false;
    Value = negative ? -parsed : parsed;
    return true;
}

double StrToFloat(std::string_view S) {
    double value = 0.0;
    if (!TryStrToFloat(S, value))
        throw EConvertError(Quoted(S) + " is not a valid floating point value");
    return value;
}

std::string FloatToStr(double Value) {
    if (std::isnan(Value))
        return "NAN";
    if (std::isinf(Value))
        return Value > 0 ? "INF" : "-INF";
    if (Value == 0.0)
        return "0";

    // Round to 15 significant digits first: the layout depends on the rounded exponent.
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 14);
    double back = 0.0;
    if (std::from_chars(buf, end, back).ec != std::errc() || std::isinf(back)) {
        // Rounding up went past the largest double (1.79769313486232E308 does not read
        // back): cut the digits instead, which stays below it.
        end = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 16).ptr;
        const std::string_view longer(buf, static_cast<std::size_t>(end - buf));
        const std::size_t e = longer.find('e');
        std::string cut(longer.substr(0, (longer.front() == '-' ? 1 : 0) + 16));
        cut += longer.substr(e);
        std::copy(cut.begin(), cut.end(), buf);
        end = buf + cut.size();
    }
    const std::string_view sci(buf, static_cast<std::size_t>(end - buf)); // -d.ddde+XX
    const std::size_t ePos = sci.find('e');
    const bool negative = sci.front() == '-';
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (IsDigit(c))
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());
    const char separator = FormatSettings().DecimalSeparator;

    std::string result = negative ? "-" : "";
    if (exponent < -5 || exponent >= 15) {
        result += digits[0];
        if (digits.size() > 1) {
            result += separator;
            result.append(digits, 1);
        }
        result += 'E';
        result += std::to_string(exponent);
    } else if (exponent < 0) {
        result += '0';
        result += separator;
        result.append(static_cast<std::size_t>(-exponent - 1), '0');
        result += digits;
    } else {
        const auto intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            result += digits;
            result.append(intDigits - digits.size(), '0');
        } else {
            result.append(digits, 0, intDigits);
            result += separator;
            result.append(digits, intDigits);
        }
    }
    return result;
}

namespace {

// "%g" of a value in [1e-4, 1e6) that is, within 1e-10 of itself, a whole number n of
// 10^-k with n below 10^6: the value's six significant digits are then n's, since the next
// six-digit decimal lies at least 5e-7 of the value away. Calibration values are scaled
// integers, nearly all of this kind; writing them from n skips the general formatter,
// which costs several times more. Returns the end of the text, or null for other values.
char* FormatShortDecimal(double Value, char* Out) {
    const double magnitude = std::fabs(Value);
    if (!(magnitude >= 1e-4 && magnitude < 1e6))
        return nullptr;
    double scale = 1.0;
    for (int decimals = 0; decimals < 10; ++decimals, scale *= 10.0) {
        const double scaled = magnitude * scale;
        const double whole = std::nearbyint(scaled);
        if (whole >= 1e6)
            return nullptr; // more than six digits
        if (std::fabs(scaled - whole) > scaled * 1e-10)
            continue;
        char digits[8];
        char* const digitsEnd =
            std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(whole)).ptr;
        const int count = static_cast<int>(digitsEnd - digits);
        char* out = Out;
        if (Value < 0)
            *out++ = '-';
        if (count <= decimals) { // "0.00" and zeros before the digits
            *out++ = '0';
            *out++ = '.';
            for (int z = count; z < decimals; ++z)
                *out++ = '0';
            out = std::copy(digits, digitsEnd, out);
        } else {
            out = std::copy(digits, digitsEnd - decimals, out);
            if (decimals > 0) {
                *out++ = '.';
                out = std::copy(digitsEnd - decimals, digitsEnd, out);
            }
        }
        if (decimals > 0) { // "%g" drops trailing zeros of the fraction, and a bare point
            while (out[-1] == '0')
                --out;
            if (out[-1] == '.')
                --out;
        }
        return out;
    }
    return nullptr;
}

} // namespace

std::string FormatG(double Value) {
    char buf[64];
    if (char* const end = FormatShortDecimal(Value, buf))
        return std::string(buf, end);
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::general, 6);
    return std::string(buf, end);
}

std::string FormatX(std::uint32_t Value) {
    return UpperHex(Value, 0);
}

} // namespace qor
