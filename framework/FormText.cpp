#include "framework/FormText.h"

#include "framework/SysUtils.h"
#include "framework/TextCompare.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace qor {

namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return HexDigitValue(c) >= 0;
}

// Nesting of objects, lists and collections, counted together. Real forms nest a few
// levels; the limit keeps the recursive parser (and the tree's destruction) far from the
// end of the stack in every build type.
constexpr int MaxNesting = 200;

class TFormParser {
public:
    explicit TFormParser(std::string_view Text) : FText(Text) {}

    TFormNode ParseRoot() {
        SkipBlanks();
        TFormNode root = ParseObject();
        SkipBlanks();
        if (!AtEnd())
            Fail("text after the end of the object");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& Message) const {
        throw EReadError(Message, FLine, FColumn);
    }
    [[noreturn]] void FailAt(const std::string& Message, int Line, int Column) const {
        throw EReadError(Message, Line, Column);
    }

    // Held while one level of nesting is parsed.
    class TNestingLevel {
    public:
        explicit TNestingLevel(TFormParser& Parser) : FParser(Parser) {
            if (++FParser.FDepth > MaxNesting)
                FParser.Fail("nested more than " + std::to_string(MaxNesting) + " levels deep");
        }
        ~TNestingLevel() { --FParser.FDepth; }
        TNestingLevel(const TNestingLevel&) = delete;
        TNestingLevel& operator=(const TNestingLevel&) = delete;

    private:
        TFormParser& FParser;
    };

    bool AtEnd() const { return FPos >= FText.size(); }
    char Peek(std::size_t Ahead = 0) const {
        return FPos + Ahead < FText.size() ? FText[FPos + Ahead] : '\0';
    }
    void Advance() {
        if (FText[FPos] == '\n') {
            ++FLine;
            FColumn = 1;
        } else {
            ++FColumn;
        }
        ++FPos;
    }
    void SkipBlanks() {
        while (!AtEnd() && static_cast<unsigned char>(Peek()) <= ' ')
            Advance();
    }
    void Expect(char c) {
        SkipBlanks();
        if (Peek() != c)
            Fail(std::string("'") + c + "' expected");
        Advance();
    }

    std::string ReadIdent(bool AllowDots) {
        SkipBlanks();
        if (!IsIdentStart(Peek()))
            Fail("identifier expected");
        std::string s;
        for (;;) {
            while (IsIdentChar(Peek())) {
                s += Peek();
                Advance();
            }
            if (AllowDots && Peek() == '.' && IsIdentStart(Peek(1))) {
                s += '.';
                Advance();
                continue;
            }
            return s;
        }
    }

    // Looks at the next word without consuming it.
    std::string PeekWord() {
        SkipBlanks();
        std::size_t p = FPos;
        std::string s;
        while (p < FText.size() && IsIdentChar(FText[p]))
            s += FText[p++];
        return s;
    }

    TFormNode ParseObject() {
        const TNestingLevel level(*this);
        TFormNode node;
        node.Line = FLine;
        node.Column = FColumn;
        std::string kind = ReadIdent(false);
        if (!SameText(kind, "object") && !SameText(kind, "inherited") && !SameText(kind, "inline"))
            Fail("'object' expected");
        node.Kind = SameText(kind, "object")   ? "object"
                    : SameText(kind, "inline") ? "inline"
                                               : "inherited";
        std::string first = ReadIdent(false);
        SkipBlanks();
        if (Peek() == ':') {
            Advance();
            node.Name = first;
            node.ClassName = ReadIdent(false);
        } else {
            node.ClassName = first;
        }
        SkipBlanks();
        if (Peek() == '[') { // position index of an inherited child: read and ignore
            Advance();
            ParseNumber();
            Expect(']');
        }
        for (;;) {
            std::string word = PeekWord();
            if (word.empty())
                Fail(AtEnd() ? "'end' expected before the end of the text" : "property expected");
            if (SameText(word, "end")) {
                ReadIdent(false);
                return node;
            }
            if (SameText(word, "object") || SameText(word, "inherited") ||
                SameText(word, "inline")) {
                node.Children.push_back(ParseObject());
                continue;
            }
            TFormProperty prop;
            prop.Line = FLine;
            prop.Column = FColumn;
            prop.Name = ReadIdent(true);
            Expect('=');
            prop.Value = ParseValue();
            node.Properties.push_back(std::move(prop));
        }
    }

    TValue ParseValue() {
        SkipBlanks();
        const char c = Peek();
        if (c == '\'' || c == '#')
            return ParseString();
        if (c == '-' || c == '+' || c == '$' || IsDigit(c))
            return ParseNumber();
        if (c == '[')
            return ParseSet();
        if (c == '(')
            return ParseList();
        if (c == '{')
            return ParseBinary();
        if (c == '<')
            return ParseCollection();
        if (IsIdentStart(c)) {
            std::string ident = ReadIdent(true);
            if (SameText(ident, "True"))
                return TValue(true);
            if (SameText(ident, "False"))
                return TValue(false);
            if (SameText(ident, "nil"))
                return TValue(TNil{});
            return TValue(TIdent{ident});
        }
        if (AtEnd())
            Fail("value expected before the end of the text");
        Fail(std::string("unexpected character '") + c + "'");
    }

    TValue ParseNumber() {
        SkipBlanks();
        const int line = FLine, column = FColumn;
        bool negative = false;
        if (Peek() == '-' || Peek() == '+') {
            negative = Peek() == '-';
            Advance();
            if (IsIdentStart(Peek())) { // -Inf
                std::string ident = ReadIdent(false);
                if (!SameText(ident, "Inf"))
                    FailAt("number expected", line, column);
                return TValue(TIdent{negative ? "-Inf" : "Inf"});
            }
        }
        if (Peek() == '$') {
            Advance();
            if (!IsHexDigit(Peek()))
                Fail("hexadecimal digits expected");
            std::uint64_t v = 0;
            while (IsHexDigit(Peek())) {
                if (v > (std::numeric_limits<std::uint64_t>::max() >> 4))
                    FailAt("hexadecimal number too large", line, column);
                v = (v << 4) | static_cast<std::uint64_t>(HexDigitValue(Peek()));
                Advance();
            }
            // $FFFFFFFF reads as a 32-bit pattern the way the format writes unsigned values;
            // a 64-bit pattern keeps its bits. Negated, the magnitude must fit.
            constexpr std::uint64_t MinMagnitude = std::uint64_t{1} << 63;
            if (!negative)
                return TValue(static_cast<std::int64_t>(v));
            if (v > MinMagnitude)
                FailAt("hexadecimal number too large", line, column);
            return TValue(v == MinMagnitude ? std::numeric_limits<std::int64_t>::min()
                                            : -static_cast<std::int64_t>(v));
        }
        std::string digits;
        bool isFloat = false;
        while (IsDigit(Peek()) || Peek() == '.' || Peek() == 'E' || Peek() == 'e' ||
               ((Peek() == '-' || Peek() == '+') && !digits.empty() &&
                (digits.back() == 'E' || digits.back() == 'e'))) {
            if (!IsDigit(Peek()))
                isFloat = true;
            digits += Peek();
            Advance();
        }
        if (digits.empty() || !IsDigit(digits[0]))
            FailAt("number expected", line, column);
        if (negative)
            digits.insert(digits.begin(), '-');
        const char* begin = digits.data();
        const char* end = begin + digits.size();
        if (isFloat) {
            double d = 0;
            auto [p, ec] = std::from_chars(begin, end, d);
            if (ec != std::errc() || p != end)
                FailAt("malformed number '" + digits + "'", line, column);
            return TValue(d);
        }
        std::int64_t i = 0;
        auto [p, ec] = std::from_chars(begin, end, i);
        if (ec != std::errc() || p != end)
            FailAt("integer out of range '" + digits + "'", line, column);
        return TValue(i);
    }

    TValue ParseString() {
        std::string s;
        for (;;) {
            SkipBlanks();
            if (Peek() != '\'' && Peek() != '#')
                Fail("string expected");
            while (Peek() == '\'' || Peek() == '#') {
                if (Peek() == '#') {
                    Advance();
                    const int line = FLine, column = FColumn;
                    if (!IsDigit(Peek()))
                        Fail("character code expected after '#'");
                    int code = 0;
                    while (IsDigit(Peek())) {
                        code = code * 10 + (Peek() - '0');
                        if (code > 255)
                            FailAt("character code above 255", line, column);
                        Advance();
                    }
                    s += static_cast<char>(code);
                    continue;
                }
                Advance(); // opening quote
                for (;;) {
                    if (AtEnd() || Peek() == '\n' || Peek() == '\r')
                        Fail("unterminated string");
                    if (Peek() == '\'') {
                        if (Peek(1) == '\'') {
                            s += '\'';
                            Advance();
                            Advance();
                            continue;
                        }
                        Advance();
                        break;
                    }
                    s += Peek();
                    Advance();
                }
            }
            SkipBlanks();
            if (Peek() != '+')
                return TValue(std::move(s));
            Advance();
        }
    }

    TValue ParseSet() {
        Expect('[');
        TSetValue set;
        SkipBlanks();
        if (Peek() == ']') {
            Advance();
            return TValue(std::move(set));
        }
        for (;;) {
            set.Items.push_back(ReadIdent(false));
            SkipBlanks();
            if (Peek() == ',') {
                Advance();
                continue;
            }
            Expect(']');
            return TValue(std::move(set));
        }
    }

    TValue ParseList() {
        const TNestingLevel level(*this);
        Expect('(');
        TValueList list;
        for (;;) {
            SkipBlanks();
            if (Peek() == ')') {
                Advance();
                return TValue(std::move(list));
            }
            if (AtEnd())
                Fail("')' expected before the end of the text");
            list.push_back(ParseValue());
        }
    }

    TValue ParseBinary() {
        Expect('{');
        TBinaryValue bin;
        int pending = -1;
        for (;;) {
            SkipBlanks();
            if (Peek() == '}') {
                if (pending >= 0)
                    Fail("odd number of hexadecimal digits");
                Advance();
                return TValue(std::move(bin));
            }
            if (!IsHexDigit(Peek()))
                Fail("hexadecimal digit expected");
            const int v = HexDigitValue(Peek());
            Advance();
            if (pending < 0) {
                pending = v;
            } else {
                bin.Bytes.push_back(static_cast<std::uint8_t>(pending * 16 + v));
                pending = -1;
            }
        }
    }

    TValue ParseCollection() {
        const TNestingLevel level(*this);
        Expect('<');
        TCollectionValue coll;
        for (;;) {
            std::string word = PeekWord();
            if (word.empty()) {
                Expect('>');
                return TValue(std::move(coll));
            }
            if (!SameText(word, "item"))
                Fail("'item' expected");
            ReadIdent(false);
            TCollectionItemValue item;
            for (;;) {
                std::string w = PeekWord();
                if (SameText(w, "end")) {
                    ReadIdent(false);
                    break;
                }
                item.Names.push_back(ReadIdent(true));
                Expect('=');
                item.Values.push_back(ParseValue());
            }
            coll.Items.push_back(std::move(item));
        }
    }

    std::string_view FText;
    std::size_t FPos = 0;
    int FLine = 1;
    int FColumn = 1;
    int FDepth = 0;
};

std::string QuoteString(const std::string& s) {
    if (s.empty())
        return "''";
    std::string out;
    bool inQuotes = false;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < ' ') {
            if (inQuotes) {
                out += '\'';
                inQuotes = false;
            }
            out += '#' + std::to_string(u);
            continue;
        }
        if (!inQuotes) {
            out += '\'';
            inQuotes = true;
        }
        out += c;
        if (c == '\'')
            out += '\'';
    }
    if (inQuotes)
        out += '\'';
    return out;
}

void RenderValue(std::string& out, const TValue& v, const std::string& indent);

void RenderList(std::string& out, const TValueList& list, const std::string& indent) {
    constexpr std::size_t PerLine = 8;
    out += '(';
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0)
            out += (i % PerLine == 0) ? "\n" + indent + "  " : " ";
        RenderValue(out, list[i], indent + "  ");
    }
    out += ')';
}

void RenderValue(std::string& out, const TValue& v, const std::string& indent) {
    if (v.Is<TNil>()) {
        out += "nil";
    } else if (v.Is<std::int64_t>()) {
        out += std::to_string(v.As<std::int64_t>());
    } else if (v.Is<double>()) {
        out += FormFloatText(v.As<double>());
    } else if (v.Is<std::string>()) {
        out += QuoteString(v.As<std::string>());
    } else if (v.Is<bool>()) {
        out += v.As<bool>() ? "True" : "False";
    } else if (v.Is<TIdent>()) {
        out += v.As<TIdent>().Name;
    } else if (v.Is<TSetValue>()) {
        out += '[';
        const auto& items = v.As<TSetValue>().Items;
        for (std::size_t i = 0; i < items.size(); ++i)
            out += (i ? ", " : "") + items[i];
        out += ']';
    } else if (v.Is<TBinaryValue>()) {
        static const char* hex = "0123456789ABCDEF";
        out += '{';
        for (std::uint8_t b : v.As<TBinaryValue>().Bytes) {
            out += hex[b >> 4];
            out += hex[b & 15];
        }
        out += '}';
    } else if (v.Is<TValueList>()) {
        RenderList(out, v.As<TValueList>(), indent);
    } else if (v.Is<TCollectionValue>()) {
        out += '<';
        for (const TCollectionItemValue& item : v.As<TCollectionValue>().Items) {
            out += "\n" + indent + "  item";
            for (std::size_t i = 0; i < item.Names.size(); ++i) {
                out += "\n" + indent + "    " + item.Names[i] + " = ";
                RenderValue(out, item.Values[i], indent + "    ");
            }
            out += "\n" + indent + "  end";
        }
        out += '>';
    }
}

void RenderNode(std::string& out, const TFormNode& node, const std::string& indent) {
    out += indent + node.Kind + ' ';
    if (!node.Name.empty())
        out += node.Name + ": ";
    out += node.ClassName + "\n";
    const std::string inner = indent + "  ";
    for (const TFormProperty& p : node.Properties) {
        out += inner + p.Name + " = ";
        RenderValue(out, p.Value, inner);
        out += '\n';
    }
    for (const TFormNode& child : node.Children)
        RenderNode(out, child, inner);
    out += indent + "end\n";
}

} // namespace

TFormNode ParseFormText(std::string_view Text) {
    return TFormParser(Text).ParseRoot();
}

std::string RenderFormText(const TFormNode& Root) {
    std::string out;
    RenderNode(out, Root, "");
    return out;
}

std::string FormValueText(const TValue& Value) {
    std::string out;
    RenderValue(out, Value, "");
    return out;
}

std::string FormFloatText(double Value) {
    if (std::isnan(Value))
        return "NaN";
    if (std::isinf(Value))
        return Value > 0 ? "Inf" : "-Inf";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, Value);
    std::string s(buf, ec == std::errc() ? end : buf);
    bool hasPoint = false, hasExp = false;
    for (char& c : s) {
        if (c == '.')
            hasPoint = true;
        if (c == 'e') {
            c = 'E';
            hasExp = true;
        }
    }
    if (!hasPoint && !hasExp)
        s += ".0";
    return s;
}

} // namespace qor
