#include "xcp/Description.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

namespace qor::xcp {
namespace {

std::optional<long long> Number(const std::string& Word) {
    long long v = 0;
    const char* first = Word.data();
    const char* last = Word.data() + Word.size();
    int base = 10;
    if (Word.size() > 2 && Word[0] == '0' && (Word[1] == 'x' || Word[1] == 'X')) {
        first += 2;
        base = 16;
    }
    auto [end, ec] = std::from_chars(first, last, v, base);
    if (ec != std::errc() || end != last || first == last)
        return std::nullopt;
    return v;
}

struct TypeInfo {
    int Width;
    bool Signed;
};

std::optional<TypeInfo> ElementType(const std::string& Word) {
    if (Word == "u8")
        return TypeInfo{1, false};
    if (Word == "s8")
        return TypeInfo{1, true};
    if (Word == "u16")
        return TypeInfo{2, false};
    if (Word == "s16")
        return TypeInfo{2, true};
    return std::nullopt;
}

class LineParser {
public:
    LineParser(std::vector<std::string> Words, int Line) : FWords(std::move(Words)), FLine(Line) {}

    std::string Fail(const std::string& What) const {
        return "line " + std::to_string(FLine) + ": " + What;
    }
    std::size_t Size() const { return FWords.size(); }
    const std::string& Word(std::size_t i) const { return FWords[i]; }

    // Word i as a number in [Low, High]; sets Error otherwise.
    std::optional<long long> Get(std::size_t i, long long Low, long long High, const char* What,
                                 std::string& Error) const {
        std::optional<long long> v = i < FWords.size() ? Number(FWords[i]) : std::nullopt;
        if (!v || *v < Low || *v > High) {
            Error = Fail(std::string(What) + " must be a number from " + std::to_string(Low) +
                         " to " + std::to_string(High));
            return std::nullopt;
        }
        return v;
    }

private:
    std::vector<std::string> FWords;
    int FLine;
};

// "<address>" or "<extension>:<address>".
bool ParseAddress(const LineParser& P, std::size_t i, ItemDescription& Item, std::string& Error) {
    const std::string& w = P.Word(i);
    const auto colon = w.find(':');
    std::optional<long long> ext = 0, addr;
    if (colon != std::string::npos) {
        ext = Number(w.substr(0, colon));
        addr = Number(w.substr(colon + 1));
    } else {
        addr = Number(w);
    }
    if (!ext || *ext < 0 || *ext > 255 || !addr || *addr < 0 || *addr > 0xFFFFFFFFLL) {
        Error = P.Fail("bad address " + w + " (expected [extension:]address)");
        return false;
    }
    Item.Address = static_cast<std::uint32_t>(*addr);
    Item.Extension = static_cast<std::uint8_t>(*ext);
    return true;
}

std::optional<std::string> ParseItem(const LineParser& P, Description& D) {
    const std::string& kind = P.Word(0);
    const std::size_t words = kind == "value" ? 5 : kind == "vector" ? 6 : kind == "map" ? 7 : 5;
    // A map may name its storage order after its columns.
    const bool ordered = kind == "map" && P.Size() == words + 1;
    if (P.Size() != words && !ordered)
        return P.Fail(kind + " expects " + std::to_string(words - 1) + " fields" +
                      (kind == "map" ? " and an optional order (row or col)" : ""));
    std::string error;
    ItemDescription item;
    auto code = P.Get(1, 0, 255, "serial code", error);
    if (!code)
        return error;
    item.Code = static_cast<int>(*code);
    item.Name = P.Word(2);
    if (!ParseAddress(P, 3, item, error))
        return error;
    if (kind == "packet") {
        item.Shape = ItemShape::Packet;
        auto length = P.Get(4, 1, 255, "packet length", error);
        if (!length)
            return error;
        item.Cols = static_cast<int>(*length);
    } else {
        std::optional<TypeInfo> type = ElementType(P.Word(4));
        if (!type)
            return P.Fail("unknown element type " + P.Word(4) + " (u8, s8, u16 or s16)");
        item.Width = type->Width;
        item.Signed = type->Signed;
        if (kind == "vector") {
            item.Shape = ItemShape::Vector;
            auto count = P.Get(5, 1, 255, "count", error);
            if (!count)
                return error;
            item.Cols = static_cast<int>(*count);
        } else if (kind == "map") {
            item.Shape = ItemShape::Map;
            auto rows = P.Get(5, 1, 255, "rows", error);
            auto cols = rows ? P.Get(6, 1, 255, "columns", error) : std::nullopt;
            if (!cols)
                return error;
            item.Rows = static_cast<int>(*rows);
            item.Cols = static_cast<int>(*cols);
            if (ordered) {
                if (P.Word(7) != "row" && P.Word(7) != "col")
                    return P.Fail("map order must be row or col, not " + P.Word(7));
                item.ColumnMajor = P.Word(7) == "col";
            }
        }
    }
    if (item.Address + static_cast<std::uint64_t>(item.Bytes()) - 1 > 0xFFFFFFFFull)
        return P.Fail("item " + item.Name + " leaves the address space");
    if (!D.Items.emplace(item.Code, item).second)
        return P.Fail("serial code " + std::to_string(item.Code) + " is used twice");
    return std::nullopt;
}

std::optional<std::string> ParseSetting(const LineParser& P, Description& D) {
    const std::string& key = P.Word(0);
    std::string error;
    if (key == "slave") {
        if (P.Size() != 4)
            return P.Fail("slave expects host, port and transport");
        auto port = P.Get(2, 1, 65535, "port", error);
        if (!port)
            return error;
        if (P.Word(3) != "udp" && P.Word(3) != "tcp")
            return P.Fail("transport must be udp or tcp");
        D.Link.Host = P.Word(1);
        D.Link.Port = static_cast<int>(*port);
        D.Link.Kind = P.Word(3) == "tcp" ? TransportKind::Tcp : TransportKind::Udp;
        return std::nullopt;
    }
    if (key == "byte_order") {
        if (P.Size() != 2 || (P.Word(1) != "msb_first" && P.Word(1) != "msb_last"))
            return P.Fail("byte_order expects msb_first or msb_last");
        D.DataOrder = P.Word(1) == "msb_first" ? ByteOrder::Motorola : ByteOrder::Intel;
        return std::nullopt;
    }
    if (P.Size() != 2)
        return P.Fail(key + " expects one number");
    if (key == "timeout") {
        auto v = P.Get(1, 1, 60000, "timeout", error);
        if (!v)
            return error;
        D.Link.Timeout = std::chrono::milliseconds(*v);
    } else if (key == "retries") {
        auto v = P.Get(1, 0, 10, "retries", error);
        if (!v)
            return error;
        D.Link.Retries = static_cast<int>(*v);
    } else if (key == "reconnect" || key == "probe") {
        auto v = P.Get(1, 0, 3600000, key.c_str(), error);
        if (!v)
            return error;
        (key == "probe" ? D.Probe : D.Reconnect) = std::chrono::milliseconds(*v);
    } else if (key == "address_extension") {
        auto v = P.Get(1, 0, 255, "address extension", error);
        if (!v)
            return error;
        D.AddressExtension = static_cast<std::uint8_t>(*v);
    }
    return std::nullopt;
}

} // namespace

DescriptionResult ParseDescription(const std::string& Text) {
    Description d;
    bool slaveGiven = false;
    std::istringstream in(Text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string s; words >> s;)
            w.push_back(s);
        if (w.empty())
            continue;
        LineParser p(std::move(w), number);
        const std::string& key = p.Word(0);
        std::optional<std::string> error;
        if (key == "value" || key == "vector" || key == "map" || key == "packet")
            error = ParseItem(p, d);
        else if (key == "slave" || key == "timeout" || key == "retries" || key == "reconnect" ||
                 key == "probe" || key == "address_extension" || key == "byte_order")
            error = ParseSetting(p, d);
        else
            error = p.Fail("unknown word " + key);
        if (error)
            return {std::nullopt, *error};
        slaveGiven = slaveGiven || key == "slave";
    }
    if (!slaveGiven)
        return {std::nullopt, "no slave line (slave <host> <port> udp|tcp)"};
    return {std::move(d), {}};
}

DescriptionResult LoadDescription(const std::string& Path) {
    std::ifstream file(Path);
    if (!file)
        return {std::nullopt, "cannot read " + Path};
    std::ostringstream text;
    text << file.rdbuf();
    DescriptionResult r = ParseDescription(text.str());
    if (!r.Value)
        r.Error = Path + ": " + r.Error;
    return r;
}

} // namespace qor::xcp
