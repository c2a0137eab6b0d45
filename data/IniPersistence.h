#pragma once
// Text parsers and helpers shared by the INI values and command entries of every data
// class (numbers, vectors, maps). They work on any TCustomIniFile.
//
// A command entry is one INI string of hexadecimal fields separated by single blanks:
// a command code (F0 .. F8, below), the DataDescriptor, the DataMask, two position or
// count fields, then the raw value(s). Fields are upper-case, without prefix or leading
// zeros; negative raw values appear as their 32-bit two's complement (-16 is FFFFFFF0).

#include <cstdint>
#include <string>
#include <string_view>

namespace qor {

class TCustomIniFile;
class TQorSerialData;

// Command codes of the data classes: a number of type ntSingle, ntVectorElement,
// ntMatrixElement; a vector of type vtSingle, vtMatrixRow, vtMatrixCol; a map of type
// mtSingle, mtVector, mtMatrix.
enum : std::uint32_t {
    CommandNumberSingle = 0xF0,
    CommandNumberVectorElement = 0xF1,
    CommandNumberMatrixElement = 0xF2,
    CommandVectorSingle = 0xF3,
    CommandVectorMatrixRow = 0xF4,
    CommandVectorMatrixCol = 0xF5,
    CommandMatrixSingle = 0xF6,
    CommandMatrixVector = 0xF7,
    CommandMatrixMatrix = 0xF8,
};

// Reads a user value written with "." or "," as decimal point, whatever the process's
// DecimalSeparator: the first "." and then the first "," are replaced by the separator
// before TryStrToFloat. So "1.5" and "1,5" both read as 1.5, while "1.234,5" fails.
// Value is untouched on failure.
bool TryParseUserFloat(std::string_view Text, double& Value);

// Field Index (0 = first) of a blank-separated text, read as hexadecimal: the text is
// trimmed, runs of blanks count as one separator, and a field that is not hexadecimal
// gives 0. False (Value untouched) for an empty text, a negative Index or an Index past
// the last field.
bool HexTokenAt(int Index, std::string_view Text, int& Value);

// Where the INI operations of a data object stand, from FileSection and FileKeyName:
// both empty (nothing to do, the operation reports success), exactly one empty (the
// operation fails), or both set.
enum class TIniPlace { Unset, HalfSet, Set };
TIniPlace IniPlace(const TQorSerialData& Data);

// A user value as stored in INI files: printf's "%g" ("1.5", "1.23457e+06").
std::string UserValueText(double Value);

// Appends " " (unless Line is empty) and the upper-case hexadecimal of Value.
void AppendHexField(std::string& Line, std::uint32_t Value);

// The value of Key when its text is an integer as the store's ReadInteger reads it
// ("12abc" is not); false otherwise, Value untouched.
bool ReadIniInteger(TCustomIniFile& Ini, const std::string& Section, const std::string& Key,
                    int& Value);

// The raw value field of a command entry: hexadecimal, empty reading as 0. Raises the
// framework's EConvertError for any other text.
int CommandHexValue(std::string_view Field);

// ReadCommandField of every data class: false when FileSection and FileKeyName are both
// empty or the store has no entry; otherwise HexTokenAt of the entry (which stays).
bool ReadCommandFieldOf(const TQorSerialData& Data, TCustomIniFile& Ini, int Index, int* Value);

// What follows the first blank of Text; Text itself when it has no blank.
std::string_view AfterFirstBlank(std::string_view Text);

} // namespace qor
