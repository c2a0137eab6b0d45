#pragma once
// INI stores: sections of "name=value" lines.
//
// TCustomIniFile declares the string operations that a store implements and builds the
// typed reads and writes, ValueExists, SectionExists and the sub-section listing on
// them. TIniFile is a store held in memory and backed by a file.

#include "framework/Component.h"
#include "framework/DateTime.h"
#include "framework/StringList.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qor {

class TCustomIniFile : public TObject {
public:
    explicit TCustomIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

    const std::string& FileName() const { return FFileName; }

    // True when the section holds at least one line.
    bool SectionExists(const std::string& Section);

    // Value of Ident in Section, or Default when either is missing.
    virtual std::string ReadString(const std::string& Section, const std::string& Ident,
                                   const std::string& Default) = 0;
    virtual void WriteString(const std::string& Section, const std::string& Ident,
                             const std::string& Value) = 0;
    // Value of Ident in Section when ValueExists finds it (then true); false and Value
    // untouched otherwise. The default asks ValueExists, then ReadString; a store that
    // finds both in one look-up overrides it (and a store that overrides ReadString or
    // ValueExists overrides this as well).
    virtual bool TryReadString(const std::string& Section, const std::string& Ident,
                               std::string& Value);

    // Decimal, "0x"/"$" hexadecimal (StrToInt); Default when the value is missing or is
    // not an integer ("12abc").
    virtual int ReadInteger(const std::string& Section, const std::string& Ident, int Default);
    virtual void WriteInteger(const std::string& Section, const std::string& Ident, int Value);
    // An integer value other than 0 is true; Default when there is no integer.
    virtual bool ReadBool(const std::string& Section, const std::string& Ident, bool Default);
    // Writes "1" or "0".
    virtual void WriteBool(const std::string& Section, const std::string& Ident, bool Value);
    // The value holds two hexadecimal digits per byte. Value receives the bytes of the
    // leading digit pairs (none when the value is missing); returns their count.
    virtual int ReadBinaryStream(const std::string& Section, const std::string& Name,
                                 std::vector<std::uint8_t>& Value);
    // Dates and times in ISO text (DateTime.h); Default when missing or not readable.
    virtual TDateTime ReadDate(const std::string& Section, const std::string& Name,
                               TDateTime Default);
    virtual TDateTime ReadDateTime(const std::string& Section, const std::string& Name,
                                   TDateTime Default);
    // StrToFloat text with the current format settings; Default when not a number.
    virtual double ReadFloat(const std::string& Section, const std::string& Name, double Default);
    virtual TDateTime ReadTime(const std::string& Section, const std::string& Name,
                               TDateTime Default);
    // Writes upper-case hexadecimal digits, two per byte, nothing between them.
    virtual void WriteBinaryStream(const std::string& Section, const std::string& Name,
                                   std::span<const std::uint8_t> Value);
    virtual void WriteDate(const std::string& Section, const std::string& Name, TDateTime Value);
    virtual void WriteDateTime(const std::string& Section, const std::string& Name,
                               TDateTime Value);
    // Writes FloatToStr of the value (current decimal separator, 15 digits).
    virtual void WriteFloat(const std::string& Section, const std::string& Name, double Value);
    virtual void WriteTime(const std::string& Section, const std::string& Name, TDateTime Value);

    // Replaces Strings' lines by the name parts of the section's lines, in order.
    virtual void ReadSection(const std::string& Section, TStrings& Strings) = 0;
    // Replaces Strings' lines by the section names, in order.
    virtual void ReadSections(TStrings& Strings) = 0;
    // Sections below Section, by full name: those whose name starts with Section and a
    // backslash ("Engine\Maps" is below "Engine"), ignoring case; all of them when
    // Section is empty.
    virtual void ReadSections(const std::string& Section, TStrings& Strings);
    // Sections below Section, by their name relative to it, each name once: only the part
    // up to the next backslash (the direct children), or, with Recurse, every section
    // below as its relative path.
    virtual void ReadSubSections(const std::string& Section, TStrings& Strings,
                                 bool Recurse = false);
    // Replaces Strings' lines by the section's lines as stored.
    virtual void ReadSectionValues(const std::string& Section, TStrings& Strings) = 0;
    virtual void EraseSection(const std::string& Section) = 0;
    virtual void DeleteKey(const std::string& Section, const std::string& Ident) = 0;
    // Writes what the store holds to its backing file.
    virtual void UpdateFile() = 0;
    // True when a line of the section has the name Ident (ReadSection, then IndexOf).
    virtual bool ValueExists(const std::string& Section, const std::string& Ident);

private:
    std::string FFileName;
};

// An INI store kept in memory and backed by a file, which it reads when created and
// writes on UpdateFile only.
//
// Sections and lines keep their order; names may repeat (reading never merges two
// sections or two keys of the same name) and every look-up takes the first match,
// ignoring case. Reading a file: each line is trimmed (characters 32 and below); empty
// lines and lines starting with ';' are skipped; "[name]" starts a section (its name
// trimmed); lines before the first section are dropped; "name = value" is stored as
// "name= value": blanks before '=' go, those after it stay part of the value; a line
// without '=' is kept trimmed, has an empty name and is never found by a key. Comments
// and blank lines therefore do not survive UpdateFile.
class TIniFile : public TCustomIniFile {
public:
    // Loads the file; a file that does not exist gives an empty store. Raises EFOpenError
    // when the file exists but cannot be read.
    explicit TIniFile(std::string FileName);

    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) override;
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value) override;
    void ReadSection(const std::string& Section, TStrings& Strings) override;
    using TCustomIniFile::ReadSections;
    void ReadSections(TStrings& Strings) override;
    void ReadSectionValues(const std::string& Section, TStrings& Strings) override;
    void EraseSection(const std::string& Section) override;
    void DeleteKey(const std::string& Section, const std::string& Ident) override;
    // Writes every section as "[name]", its lines as stored and an empty line, each line
    // ended by CR LF. Raises EFCreateError when the file cannot be written.
    void UpdateFile() override;

    // Empties the store (the file is untouched until UpdateFile).
    virtual void Clear();
    // Appends the lines that UpdateFile writes to Strings, which it does not clear.
    virtual void GetStrings(TStrings& Strings) const;
    // Replaces the content by reading Strings as the lines of a file.
    void SetStrings(const TStrings& Strings);

private:
    // Appends an empty section, even when one of that name exists.
    THashedStringList& AddSection(const std::string& Name);
    // Lines of the first section of that name, or null.
    THashedStringList* FindSection(const std::string& Name) const;

    // Section names, and each section's lines at the same index.
    THashedStringList FSections;
    std::vector<std::unique_ptr<THashedStringList>> FSectionLines;
};

} // namespace qor
