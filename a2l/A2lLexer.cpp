#include "a2l/A2lLexer.h"

#include <filesystem>
#include <fstream>

namespace qor::a2l {
namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || IsDigit(c) || c == '.' || c == '[' || c == ']';
}
bool IsNumberChar(char c) {
    return IsIdentStart(c) || IsDigit(c) || c == '.';
}

// Into a string of the file's size: a growing buffer would need up to twice the room.
bool ReadWholeFile(const std::string& Path, std::string& Text) {
    std::ifstream in(Path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    Text.assign(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    in.read(Text.data(), size);
    Text.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

std::string CanonicalName(const std::string& Path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(Path, ec);
    return ec ? Path : p.string();
}

} // namespace

std::string StringValue(const TToken& Token) {
    if (!Token.Escaped)
        return std::string(Token.Text);
    std::string out;
    out.reserve(Token.Text.size());
    const std::string_view t = Token.Text;
    for (std::size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if ((c == '\\' || c == '"') && i + 1 < t.size()) {
            const char n = t[++i];
            if (c == '\\')
                c = n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
        }
        out += c;
    }
    return out;
}

TA2lLexer::TA2lLexer(std::string Text, std::string FileName, TLexerLimits Limits)
    : FLimits(Limits) {
    std::string canonical = CanonicalName(FileName);
    Push(std::move(Text), std::move(FileName), std::move(canonical));
}

TA2lLexer TA2lLexer::FromFile(const std::string& Path, TLexerLimits Limits) {
    std::string text;
    if (!ReadWholeFile(Path, text))
        throw EA2lError(Path, TPosition{0, 1, 1}, "cannot read the file");
    return TA2lLexer(std::move(text), Path, Limits);
}

void TA2lLexer::Push(std::string Text, std::string Name, std::string Canonical) {
    FBytes += Text.size();
    FTexts.push_back(std::move(Text));
    FNames.push_back(std::move(Name));
    const std::string& t = FTexts.back();
    FStack.push_back(Source{static_cast<int>(FNames.size() - 1), t.data(), t.data() + t.size(),
                            t.data(), 1, std::move(Canonical)});
}

std::string TA2lLexer::Where(TPosition Pos) const {
    return FileName(Pos.File) + ":" + std::to_string(Pos.Line) + ":" + std::to_string(Pos.Column);
}

void TA2lLexer::Fail(TPosition Pos, const std::string& What) const {
    throw EA2lError(FileName(Pos.File), Pos, What);
}

TPosition TA2lLexer::Here() const {
    const Source& s = FStack.back();
    return TPosition{s.File, s.Line, static_cast<int>(s.P - s.LineStart) + 1};
}

const TToken& TA2lLexer::Peek() {
    if (!FHasPeeked) {
        FPeeked = Scan();
        FHasPeeked = true;
    }
    return FPeeked;
}

TToken TA2lLexer::Next() {
    if (FHasPeeked) {
        FHasPeeked = false;
        return FPeeked;
    }
    return Scan();
}

// White space and comments, across the end of included files.
void TA2lLexer::SkipSpace() {
    for (;;) {
        Source& s = FStack.back();
        while (s.P < s.End) {
            const char c = *s.P;
            if (c == '\n') {
                ++s.P;
                ++s.Line;
                s.LineStart = s.P;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++s.P;
            } else if (c == '/' && s.P + 1 < s.End && s.P[1] == '*') {
                const TPosition start = Here();
                s.P += 2;
                for (;;) {
                    if (s.P >= s.End)
                        Fail(start, "comment not closed before the end of the file");
                    if (*s.P == '*' && s.P + 1 < s.End && s.P[1] == '/') {
                        s.P += 2;
                        break;
                    }
                    if (*s.P == '\n') {
                        ++s.Line;
                        s.LineStart = s.P + 1;
                    }
                    ++s.P;
                }
            } else if (c == '/' && s.P + 1 < s.End && s.P[1] == '/') {
                while (s.P < s.End && *s.P != '\n')
                    ++s.P;
            } else {
                return;
            }
        }
        if (FStack.size() == 1)
            return;
        FStack.pop_back(); // an included file ends: go on in the one that included it
    }
}

std::string_view TA2lLexer::Word() {
    Source& s = FStack.back();
    const char* start = s.P;
    while (s.P < s.End && IsIdentChar(*s.P))
        ++s.P;
    return std::string_view(start, static_cast<std::size_t>(s.P - start));
}

TToken TA2lLexer::Scan() {
    for (;;) {
        SkipSpace();
        Source& s = FStack.back();
        TToken t;
        t.Pos = Here();
        if (s.P >= s.End) {
            t.Kind = TTokenKind::Eof;
            return t;
        }
        const char c = *s.P;
        if (c == '"') {
            ++s.P;
            const char* start = s.P;
            for (;;) {
                if (s.P >= s.End)
                    Fail(t.Pos, "string not closed before the end of the file");
                const char d = *s.P;
                if (d == '\\' && s.P + 1 < s.End) {
                    t.Escaped = true;
                    s.P += 2;
                    continue;
                }
                if (d == '"') {
                    if (s.P + 1 < s.End && s.P[1] == '"') {
                        t.Escaped = true;
                        s.P += 2;
                        continue;
                    }
                    break;
                }
                if (d == '\n') {
                    ++s.Line;
                    s.LineStart = s.P + 1;
                }
                ++s.P;
            }
            t.Kind = TTokenKind::String;
            t.Text = std::string_view(start, static_cast<std::size_t>(s.P - start));
            ++s.P;
            return t;
        }
        if (c == '/' && s.P + 1 < s.End && IsIdentStart(s.P[1])) {
            ++s.P;
            const std::string_view directive = Word();
            if (directive == "begin" || directive == "end") {
                SkipSpace();
                Source& now = FStack.back();
                if (&now != &s || s.P >= s.End || !IsIdentStart(*s.P))
                    Fail(t.Pos, "/" + std::string(directive) + " without a block name");
                t.Kind = directive == "begin" ? TTokenKind::Begin : TTokenKind::End;
                t.Text = Word();
                return t;
            }
            if (directive == "include") {
                Include(t.Pos);
                continue;
            }
            t.Kind = TTokenKind::Other;
            t.Text = std::string_view(s.P - directive.size() - 1, directive.size() + 1);
            return t;
        }
        if (IsIdentStart(c)) {
            t.Kind = TTokenKind::Identifier;
            t.Text = Word();
            return t;
        }
        const bool signedNumber =
            (c == '-' || c == '+') && s.P + 1 < s.End && (IsDigit(s.P[1]) || s.P[1] == '.');
        if (IsDigit(c) || signedNumber || (c == '.' && s.P + 1 < s.End && IsDigit(s.P[1]))) {
            const char* start = s.P;
            ++s.P;
            while (s.P < s.End) {
                const char d = *s.P;
                if (IsNumberChar(d)) {
                    ++s.P;
                } else if ((d == '-' || d == '+') && (s.P[-1] == 'e' || s.P[-1] == 'E') &&
                           !(start[signedNumber] == '0' && s.P - start > 1 + signedNumber &&
                             (start[signedNumber + 1] == 'x' || start[signedNumber + 1] == 'X'))) {
                    ++s.P;
                } else {
                    break;
                }
            }
            t.Kind = TTokenKind::Number;
            t.Text = std::string_view(start, static_cast<std::size_t>(s.P - start));
            return t;
        }
        t.Kind = TTokenKind::Other;
        t.Text = std::string_view(s.P, 1);
        ++s.P;
        return t;
    }
}

void TA2lLexer::Include(TPosition At) {
    const TToken name = Scan();
    if (name.Kind != TTokenKind::String && name.Kind != TTokenKind::Identifier)
        Fail(At, "/include without a file name");
    const std::string file = StringValue(name);
    std::filesystem::path path(file);
    if (path.is_relative())
        path = std::filesystem::path(FileName(FStack.back().File)).parent_path() / path;
    const std::string canonical = CanonicalName(path.string());
    for (const Source& open : FStack)
        if (open.Canonical == canonical)
            Fail(At,
                 "/include \"" + file + "\" includes itself (through " + FileName(open.File) + ")");
    if (static_cast<int>(FStack.size()) >= FLimits.IncludeDepth)
        Fail(At, "/include nested deeper than " + std::to_string(FLimits.IncludeDepth) + " files");
    if (static_cast<int>(FNames.size()) >= FLimits.Files)
        Fail(At, "more than " + std::to_string(FLimits.Files) + " files included");
    std::string text;
    if (!ReadWholeFile(path.string(), text))
        Fail(At, "cannot read the included file " + path.string());
    Push(std::move(text), path.string(), canonical);
}

} // namespace qor::a2l
