// Reader of the simulator's image files (format in ecusim/README.md). Strict: the first
// thing that does not fit stops the reading with an error that names the line.

#include "ecusim/SimImage.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

namespace qor::ecusim {
namespace {

class ParseError {
public:
    ParseError(int Line, std::string Message) : Line(Line), Message(std::move(Message)) {}
    int Line;
    std::string Message;
};

std::vector<std::string> Tokens(const std::string& Line) {
    std::string text = Line.substr(0, Line.find('#'));
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string t; in >> t;)
        out.push_back(t);
    return out;
}

bool ParseNumber(const std::string& Token, long long& Value) {
    std::string_view s = Token;
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return false;
    unsigned long long v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size() || v > 0xFFFFFFFFull)
        return false;
    Value = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
    return true;
}

bool IsName(const std::string& s) {
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_'))
        return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return false;
    return true;
}

class Parser {
public:
    SimImage Run(const std::string& Text) {
        std::istringstream in(Text);
        std::string line;
        while (std::getline(in, line)) {
            ++FLine;
            std::vector<std::string> tokens = Tokens(line);
            if (tokens.empty())
                continue;
            if (FPending && !IsKeyword(tokens[0])) {
                TakeValues(tokens, 0);
                continue;
            }
            if (FPending)
                throw ParseError(FLine, "item " + FItem.Name + " expects " +
                                            std::to_string(FItem.Elements()) + " values, got " +
                                            std::to_string(FValues.size()));
            Statement(tokens);
        }
        if (FPending)
            throw ParseError(FLine, "item " + FItem.Name + " expects " +
                                        std::to_string(FItem.Elements()) + " values, got " +
                                        std::to_string(FValues.size()) + " at the end of the file");
        return std::move(FImage);
    }

private:
    static bool IsKeyword(const std::string& t) {
        return t == "value" || t == "vector" || t == "map" || t == "packet" || t == "bytes";
    }

    long long Number(const std::string& Token, const char* What, long long Min, long long Max) {
        long long v = 0;
        if (!ParseNumber(Token, v))
            throw ParseError(FLine, std::string(What) + " '" + Token + "' is not a number");
        if (v < Min || v > Max)
            throw ParseError(FLine, std::string(What) + " " + Token + " is outside " +
                                        std::to_string(Min) + " .. " + std::to_string(Max));
        return v;
    }

    void Expect(const std::vector<std::string>& t, std::size_t Count, const char* Form) {
        if (t.size() < Count)
            throw ParseError(FLine, "expected: " + std::string(Form));
    }

    void Header(const std::vector<std::string>& t, ItemKind Kind) {
        FItem = SimItem{};
        FItem.Kind = Kind;
        FItem.Code = static_cast<int>(Number(t[1], "serial code", 0, 255));
        if (!IsName(t[2]))
            throw ParseError(FLine, "'" + t[2] + "' is not a name");
        FItem.Name = t[2];
        FItem.Address =
            static_cast<std::uint32_t>(Number(t[3], "address", 0, SimImage::MemorySize - 1));
    }

    void Type(const std::string& Token) {
        if (Token == "u8" || Token == "s8" || Token == "u16" || Token == "s16") {
            FItem.Signed = Token[0] == 's';
            FItem.Width = Token.size() == 2 ? 1 : 2;
            return;
        }
        throw ParseError(FLine, "type '" + Token + "' is not one of u8 s8 u16 s16");
    }

    void Statement(const std::vector<std::string>& t) {
        const std::string& kw = t[0];
        std::size_t first = 0;
        if (kw == "bytes") {
            Expect(t, 3, "bytes <address> <byte>...");
            auto address =
                static_cast<std::uint32_t>(Number(t[1], "address", 0, SimImage::MemorySize - 1));
            if (!FImage.InMemory(address, static_cast<std::uint32_t>(t.size() - 2)))
                throw ParseError(FLine, "bytes leave the memory");
            for (std::size_t i = 2; i < t.size(); ++i)
                FImage.Memory()[address + i - 2] =
                    static_cast<std::uint8_t>(Number(t[i], "byte", -128, 255));
            return;
        }
        if (kw == "value") {
            Expect(t, 5, "value <code> <name> <address> <type> <value>");
            Header(t, ItemKind::Value);
            Type(t[4]);
            first = 5;
        } else if (kw == "vector") {
            Expect(t, 6, "vector <code> <name> <address> <type> <count> <values>...");
            Header(t, ItemKind::Vector);
            Type(t[4]);
            FItem.Cols = static_cast<int>(Number(t[5], "count", 1, 255));
            first = 6;
        } else if (kw == "map") {
            Expect(t, 7, "map <code> <name> <address> <type> <rows> <cols> <values>...");
            Header(t, ItemKind::Map);
            Type(t[4]);
            FItem.Rows = static_cast<int>(Number(t[5], "rows", 1, 255));
            FItem.Cols = static_cast<int>(Number(t[6], "columns", 1, 255));
            first = 7;
        } else if (kw == "packet") {
            Expect(t, 5, "packet <code> <name> <address> <length> <bytes>... | live");
            Header(t, ItemKind::Packet);
            if (t[4] == "live") {
                if (t.size() > 5)
                    throw ParseError(FLine, "a live packet takes no bytes");
                FItem.Cols = 5;
                FItem.Live = true;
                Place();
                FImage.StepLive();
                return;
            }
            FItem.Cols = static_cast<int>(Number(t[4], "length", 1, 252));
            first = 5;
        } else {
            throw ParseError(FLine, "unknown statement '" + kw + "'");
        }
        Place();
        FPending = true;
        FValues.clear();
        TakeValues(t, first);
    }

    void Place() {
        if (auto error = FImage.Add(FItem))
            throw ParseError(FLine, *error);
    }

    void TakeValues(const std::vector<std::string>& t, std::size_t First) {
        long long min = FItem.Signed ? -(1ll << (8 * FItem.Width - 1)) : 0;
        long long max =
            FItem.Signed ? (1ll << (8 * FItem.Width - 1)) - 1 : (1ll << (8 * FItem.Width)) - 1;
        for (std::size_t i = First; i < t.size(); ++i) {
            if (static_cast<int>(FValues.size()) == FItem.Elements())
                throw ParseError(FLine, "item " + FItem.Name + " takes only " +
                                            std::to_string(FItem.Elements()) + " values");
            FValues.push_back(static_cast<std::int32_t>(Number(t[i], "value", min, max)));
        }
        if (static_cast<int>(FValues.size()) == FItem.Elements()) {
            const SimItem& placed = *FImage.Find(FItem.Code);
            for (int i = 0; i < placed.Elements(); ++i)
                FImage.Set(placed, i, FValues[static_cast<std::size_t>(i)]);
            FPending = false;
        }
    }

    SimImage FImage;
    SimItem FItem;
    std::vector<std::int32_t> FValues;
    bool FPending = false;
    int FLine = 0;
};

} // namespace

ParseResult ParseImage(const std::string& Text) {
    try {
        return {Parser().Run(Text), {}};
    } catch (const ParseError& e) {
        return {std::nullopt, "line " + std::to_string(e.Line) + ": " + e.Message};
    }
}

ParseResult LoadImageFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        return {std::nullopt, Path + ": cannot be opened"};
    std::ostringstream text;
    text << in.rdbuf();
    ParseResult result = ParseImage(text.str());
    if (!result.Image)
        result.Error = Path + ": " + result.Error;
    return result;
}

} // namespace qor::ecusim
