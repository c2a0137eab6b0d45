#pragma once
// The tokens of an ECU description file: /begin NAME and /end NAME, identifiers, strings,
// numbers, and any other character as a token of its own (so that embedded A2ML text,
// which the reader skips, never stops the lexer). Comments are dropped and /include
// "FILE" continues with the named file, found relative to the including one.

#include "a2l/A2lError.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace qor::a2l {

enum class TTokenKind { Begin, End, Identifier, String, Number, Other, Eof };

struct TToken {
    TTokenKind Kind = TTokenKind::Eof;
    // Begin, End: the block's name; String: the text between the quotes, escapes still in
    // it (Escaped tells); others: the token's characters.
    std::string_view Text;
    TPosition Pos;
    bool Escaped = false;
};

// The text of a string token with "" and \" (and \\, \n, \t) resolved.
std::string StringValue(const TToken& Token);

struct TLexerLimits {
    int IncludeDepth = 16; // files open inside each other
    int Files = 256;       // files read in all
};

class TA2lLexer {
public:
    // Lexes Text as the file FileName (includes are found relative to its folder).
    TA2lLexer(std::string Text, std::string FileName, TLexerLimits Limits = {});
    // Reads the file; a file that cannot be read raises EA2lError.
    static TA2lLexer FromFile(const std::string& Path, TLexerLimits Limits = {});

    TToken Next();
    const TToken& Peek();

    const std::string& FileName(int File) const { return FNames[static_cast<std::size_t>(File)]; }
    // Files read so far: the first one and every included one.
    const std::vector<std::string>& FileNames() const { return FNames; }
    [[noreturn]] void Fail(TPosition Pos, const std::string& What) const;
    std::string Where(TPosition Pos) const;
    // Bytes of every file read so far.
    std::size_t BytesRead() const { return FBytes; }

private:
    struct Source {
        int File;
        const char* P;
        const char* End;
        const char* LineStart;
        int Line;
        std::string Canonical;
    };

    TToken Scan();
    void SkipSpace();
    TPosition Here() const;
    std::string_view Word();
    void Include(TPosition At);
    void Push(std::string Text, std::string Name, std::string Canonical);

    TLexerLimits FLimits;
    std::deque<std::string> FTexts; // every file's text, alive as long as the lexer
    std::vector<std::string> FNames;
    std::vector<Source> FStack;
    TToken FPeeked;
    bool FHasPeeked = false;
    std::size_t FBytes = 0;
};

} // namespace qor::a2l
