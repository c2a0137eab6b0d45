#pragma once
// TMemIniData: an INI store whose text lives in a memory block owned by the caller
// (block format and helpers in MemIniBlock.h).
//
// The caller hands the store its block pointer variable. The store parses the block once
// when created; from then on reads and writes work on the parsed copy only, until
// UpdateFile renders the whole text into a new block, releases the caller's old one and
// stores the new one's address into the caller's variable. The store never releases the
// caller's block otherwise, nor on destruction: the caller frees the last block itself
// (FreeMemIniBlock, or hold the variable in a TMemIniBlock).
//
// Parsing, for each line (split at CR LF, CR or LF): the line is trimmed (characters 32
// and below); empty lines and lines starting with ';' are skipped; "[name]" starts a
// section whose name is trimmed ("[]" gives an empty name, a lone '[' is no header);
// lines before the first section are dropped; "name = value" is stored as "name= value":
// blanks before the first '=' go, those after it stay part of the value; a line without
// '=' is kept trimmed. Sections and keys that repeat are kept apart, never merged.
//
// Look-ups ignore case (TextCompare.h) and take the first match in list order. A line's
// name is its text before the first '='; a line without '=' has none and no key finds it.
// Look-ups, replacing a value and appending a key take constant time on average, in
// sections of any size; parsing and rendering take time linear in the text.
//
// Comments, blank lines, lines before the first section and blanks around names are lost
// by a round trip through parsing and UpdateFile. Nothing here raises on missing sections
// or keys; allocation failures and file errors of SaveToFile propagate.

#include "framework/IniFiles.h"
#include "framework/StringList.h"
#include "inistore/MemIniBlock.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qor {

class TMemIniData : public TCustomIniFile {
public:
    // Parses the block that Buffer designates (none when null). Its size being unknown,
    // the text is read as the length field says: a negative length reads up to the first
    // zero byte, which must be inside the block. Buffer must outlive the store.
    explicit TMemIniData(std::uint8_t*& Buffer);
    // The same for a block of BufferSize bytes: nothing past them is ever read. A negative
    // length reads up to the first zero byte or the end of the block; a length larger than
    // the block is cut to it. Prefer this one whenever the size is known.
    TMemIniData(std::uint8_t*& Buffer, std::size_t BufferSize);
    // Clears the store; the caller's block stays as it is.
    ~TMemIniData() override;

    // Value of the first line named Ident in the first section named Section, from the
    // character after its first '='; Default when either is missing.
    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) override;
    // ValueExists and ReadString in one look-up.
    bool TryReadString(const std::string& Section, const std::string& Ident,
                       std::string& Value) override;
    // Stores the line Ident + "=" + Value (nothing trimmed) in the first section named
    // Section, which is appended when missing: it replaces the first line named Ident in
    // place, or is appended at the end of the section.
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value) override;
    // Clears Strings, then appends the name of every line of the section, in order (empty
    // for a line without '='); nothing when the section is missing.
    void ReadSection(const std::string& Section, TStrings& Strings) override;
    // Replaces Strings' lines by the section names, in order.
    void ReadSections(TStrings& Strings) override;
    // The framework's listing of sections below Section.
    void ReadSections(const std::string& Section, TStrings& Strings) override;
    // Clears Strings, then copies the section's lines as stored into it.
    void ReadSectionValues(const std::string& Section, TStrings& Strings) override;
    // Removes the first section of that name with its lines; nothing when missing.
    void EraseSection(const std::string& Section) override;
    // Removes the first line named Ident of the first section named Section, if any. The
    // lines after it move up, and the next look-up of one of them indexes them again once:
    // a cost linear in the lines after the deleted one.
    void DeleteKey(const std::string& Section, const std::string& Ident) override;
    // Renders the text (that of GetStrings, each line followed by CR LF) into a new block
    // of N + 5 bytes, releases the caller's current block (if any) and stores the new one
    // into the caller's variable. The caller's block is left as it was when this raises
    // (std::bad_alloc, or std::length_error for a text of more than 2^31 - 1 bytes).
    void UpdateFile() override;
    // True when a line of the section has the name Ident; the same answer as the base
    // class's, found through the section's name index instead of a copy of all its names.
    bool ValueExists(const std::string& Section, const std::string& Ident) override;

    // Removes every section and its lines.
    virtual void Clear();
    // Appends the text line by line to Strings, which it does not clear: for each section
    // "[name]", its lines as stored, then an empty line.
    virtual void GetStrings(TStrings& Strings) const;
    // Writes the lines of GetStrings to the file, each followed by CR LF. Raises
    // EFCreateError when the file cannot be written.
    virtual void SaveToFile(const std::string& FileName) const;

    // Appends an empty section named Name, even when one of that name exists, and returns
    // its line list, which the store owns.
    THashedStringList& AddSection(const std::string& Name);
    // Discards every change and parses the caller's current block again. Its size is known
    // when the block is the one the store was created over with a size, or the last one
    // that UpdateFile wrote; any other block is read as the constructor without a size does.
    void LoadValues();
    // The same for a block that the caller put into its variable and whose size it knows.
    void LoadValues(std::size_t BufferSize);
    // Replaces all content by parsing Strings as the lines of INI text.
    void SetStrings(const TStrings& Strings);
    // Whether section names compare with case; always false.
    bool CaseSensitive() const { return FSections.CaseSensitive(); }

    // The caller's block pointer variable.
    std::uint8_t** BufferRef() const { return FBufferRef; }

private:
    // Line list of the first section named Name, or null.
    THashedStringList* FindSection(const std::string& Name) const;
    // Replaces all content by parsing Text.
    void Parse(std::string_view Text);
    // Parses one source line into Section, the current section, which a header changes;
    // Line is a buffer for the stored text.
    void ParseLine(std::string_view Source, THashedStringList*& Section, std::string& Line);

    std::uint8_t** FBufferRef;
    // Section names, and at the same index each section's lines.
    THashedStringList FSections;
    std::vector<std::unique_ptr<THashedStringList>> FSectionLines;
    // The block whose size is known, and that size.
    const std::uint8_t* FSizedBlock = nullptr;
    std::size_t FSizedBlockSize = 0;
    // The section that FindSection found last, under the name it was asked for; it stays
    // the first of that name until a section is removed.
    mutable THashedStringList* FFoundLines = nullptr;
    mutable std::string FFoundName;
    // WriteString's line, kept between calls.
    std::string FLine;
};

} // namespace qor
