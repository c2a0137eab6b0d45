#include "a2l/A2lReader.h"

#include <charconv>

namespace qor::a2l {
namespace {

using K = TTokenKind;

std::optional<long long> IntegerOf(std::string_view T) {
    bool negative = false;
    if (!T.empty() && (T[0] == '-' || T[0] == '+')) {
        negative = T[0] == '-';
        T.remove_prefix(1);
    }
    int base = 10;
    if (T.size() > 2 && T[0] == '0' && (T[1] == 'x' || T[1] == 'X')) {
        T.remove_prefix(2);
        base = 16;
    }
    unsigned long long v = 0;
    auto [end, ec] = std::from_chars(T.data(), T.data() + T.size(), v, base);
    if (T.empty() || ec != std::errc() || end != T.data() + T.size() || v > 0x7FFFFFFFFFFFFFFFull)
        return std::nullopt;
    const long long s = static_cast<long long>(v);
    return negative ? -s : s;
}

std::optional<double> FloatOf(std::string_view T) {
    if (auto i = IntegerOf(T); i && T.find_first_of("xX") != std::string_view::npos)
        return static_cast<double>(*i);
    if (!T.empty() && T[0] == '+')
        T.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(T.data(), T.data() + T.size(), v);
    if (T.empty() || ec != std::errc() || end != T.data() + T.size())
        return std::nullopt;
    return v;
}

std::optional<TDataType> DataTypeOf(std::string_view T) {
    static const std::pair<std::string_view, TDataType> names[] = {
        {"UBYTE", TDataType::UByte},          {"SBYTE", TDataType::SByte},
        {"UWORD", TDataType::UWord},          {"SWORD", TDataType::SWord},
        {"ULONG", TDataType::ULong},          {"SLONG", TDataType::SLong},
        {"A_UINT64", TDataType::UInt64},      {"A_INT64", TDataType::Int64},
        {"FLOAT16_IEEE", TDataType::Float16}, {"FLOAT32_IEEE", TDataType::Float32},
        {"FLOAT64_IEEE", TDataType::Float64}};
    for (const auto& [name, type] : names)
        if (T == name)
            return type;
    return std::nullopt;
}

std::optional<TByteOrder> ByteOrderOf(std::string_view T) {
    if (T == "MSB_FIRST" || T == "BIG_ENDIAN" || T == "MSB_FIRST_MSW_LAST")
        return TByteOrder::MsbFirst;
    if (T == "MSB_LAST" || T == "LITTLE_ENDIAN" || T == "MSB_LAST_MSW_FIRST")
        return TByteOrder::MsbLast;
    return std::nullopt;
}

std::string Quote(const TToken& T) {
    switch (T.Kind) {
    case K::Begin:
        return "/begin " + std::string(T.Text);
    case K::End:
        return "/end " + std::string(T.Text);
    case K::Eof:
        return "the end of the file";
    case K::String:
        return "\"" + std::string(T.Text) + "\"";
    default:
        return "'" + std::string(T.Text) + "'";
    }
}

class TParser {
public:
    TParser(TA2lLexer& Lexer, const TReaderLimits& Limits) : L(Lexer), FLimits(Limits) {}

    TProject Run() {
        TProject project;
        bool haveProject = false;
        for (;;) {
            TToken t = L.Next();
            if (t.Kind == K::Eof)
                break;
            if (t.Kind == K::Identifier && t.Text == "ASAP2_VERSION") {
                const TToken at = t;
                project.VersionMajor = static_cast<int>(Int("version number", at, 0, 99));
                project.VersionMinor = static_cast<int>(Int("upgrade number", at, 0, 999));
                if (project.VersionMajor != 1 || project.VersionMinor < 50 ||
                    project.VersionMinor > 79)
                    L.Fail(at.Pos, "ASAP2 version " + std::to_string(project.VersionMajor) + "." +
                                       std::to_string(project.VersionMinor) +
                                       " is not read (1.50 to 1.7x are)");
            } else if (t.Kind == K::Begin) {
                Enter(t);
                if (t.Text == "PROJECT" && !haveProject) {
                    ParseProject(t, project);
                    haveProject = true;
                } else {
                    Skip(t);
                }
                Leave();
            } else if (t.Kind == K::End) {
                L.Fail(t.Pos, "/end " + std::string(t.Text) + " without a /begin");
            }
        }
        if (!haveProject)
            L.Fail(L.Peek().Pos, "no /begin PROJECT in the file");
        return project;
    }

private:
    // ---- arguments

    [[noreturn]] void FailOpen(const TToken& Open, TPosition At) {
        L.Fail(At, "the file ends inside /begin " + std::string(Open.Text) + " (opened at " +
                       L.Where(Open.Pos) + ")");
    }

    TToken Arg(const char* What, const TToken& Block) {
        TToken t = L.Next();
        if (t.Kind == K::Eof)
            FailOpen(Block, t.Pos);
        if (t.Kind == K::Begin || t.Kind == K::End)
            L.Fail(t.Pos, "missing " + std::string(What) + " of " + std::string(Block.Text) +
                              " (found " + Quote(t) + ")");
        return t;
    }
    std::string Ident(const char* What, const TToken& Block) {
        TToken t = Arg(What, Block);
        if (t.Kind != K::Identifier)
            L.Fail(t.Pos, std::string(What) + " of " + std::string(Block.Text) +
                              " must be a name, not " + Quote(t));
        return std::string(t.Text);
    }
    std::string Str(const char* What, const TToken& Block) {
        TToken t = Arg(What, Block);
        if (t.Kind != K::String)
            L.Fail(t.Pos, std::string(What) + " of " + std::string(Block.Text) +
                              " must be a string in quotes, not " + Quote(t));
        return StringValue(t);
    }
    double Float(const char* What, const TToken& Block) {
        TToken t = Arg(What, Block);
        std::optional<double> v = t.Kind == K::Number ? FloatOf(t.Text) : std::nullopt;
        if (!v)
            L.Fail(t.Pos, std::string(What) + " of " + std::string(Block.Text) + ": bad number " +
                              Quote(t));
        return *v;
    }
    long long Int(const char* What, const TToken& Block, long long Low, long long High) {
        TToken t = Arg(What, Block);
        std::optional<long long> v = t.Kind == K::Number ? IntegerOf(t.Text) : std::nullopt;
        if (!v)
            L.Fail(t.Pos, std::string(What) + " of " + std::string(Block.Text) + ": bad number " +
                              Quote(t) + " (an integer is expected)");
        if (*v < Low || *v > High)
            L.Fail(t.Pos, std::string(What) + " of " + std::string(Block.Text) + ": " +
                              std::string(t.Text) + " is outside " + std::to_string(Low) + " .. " +
                              std::to_string(High));
        return *v;
    }
    std::uint32_t Address(const char* What, const TToken& Block) {
        return static_cast<std::uint32_t>(Int(What, Block, 0, 0xFFFFFFFFLL));
    }
    std::uint64_t Mask(const TToken& Keyword) {
        TToken t = Arg("mask", Keyword);
        unsigned long long v = 0;
        std::string_view s = t.Text;
        int base = 10;
        if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            s.remove_prefix(2);
            base = 16;
        }
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
        if (t.Kind != K::Number || s.empty() || ec != std::errc() || end != s.data() + s.size())
            L.Fail(t.Pos, "BIT_MASK: bad number " + Quote(t));
        return v;
    }
    std::size_t Count(const char* What, const TToken& Block) {
        return static_cast<std::size_t>(
            Int(What, Block, 0, static_cast<long long>(FLimits.ListItems)));
    }
    TDataType DataType(const TToken& Block) {
        TToken t = Arg("data type", Block);
        std::optional<TDataType> d = t.Kind == K::Identifier ? DataTypeOf(t.Text) : std::nullopt;
        if (!d)
            L.Fail(t.Pos, "unknown data type " + Quote(t) + " in " + std::string(Block.Text));
        return *d;
    }
    TByteOrder ByteOrder(const TToken& Keyword) {
        TToken t = Arg("byte order", Keyword);
        std::optional<TByteOrder> b = t.Kind == K::Identifier ? ByteOrderOf(t.Text) : std::nullopt;
        if (!b)
            L.Fail(t.Pos, "unknown byte order " + Quote(t));
        return *b;
    }
    TLimits Limits(const TToken& Keyword) {
        TLimits l;
        l.Lower = Float("lower limit", Keyword);
        l.Upper = Float("upper limit", Keyword);
        return l;
    }
    std::vector<int> Dims(const TToken& Keyword) {
        std::vector<int> d;
        while (d.size() < 3 && L.Peek().Kind == K::Number)
            d.push_back(static_cast<int>(Int("dimension", Keyword, 0, 65535)));
        if (d.empty())
            Int("dimension", Keyword, 0, 65535); // reports what stands there instead
        return d;
    }
    template <class List> void Add(List& Items, typename List::value_type Item, const TToken& At) {
        if (Items.size() >= FLimits.Items)
            L.Fail(At.Pos, "more than " + std::to_string(FLimits.Items) + " " +
                               std::string(At.Text) + " blocks");
        Items.push_back(std::move(Item));
    }

    // ---- blocks

    void Enter(const TToken& Open) {
        if (++FDepth > FLimits.Depth)
            L.Fail(Open.Pos, "blocks nested deeper than " + std::to_string(FLimits.Depth));
    }
    void Leave() { --FDepth; }

    // The rest of a block after its fixed arguments: OnItem gets every keyword and every
    // nested /begin; it returns false for what it does not know. Unknown nested blocks are
    // skipped whole; the arguments of unknown keywords are passed over.
    template <class F> void Body(const TToken& Open, F&& OnItem) {
        for (;;) {
            TToken t = L.Next();
            switch (t.Kind) {
            case K::End:
                if (t.Text != Open.Text)
                    Mismatch(Open, t);
                return;
            case K::Eof:
                FailOpen(Open, t.Pos);
            case K::Begin:
                Enter(t);
                if (!OnItem(t))
                    Skip(t);
                Leave();
                break;
            case K::Identifier:
                OnItem(t);
                break;
            default:
                break;
            }
        }
    }

    [[noreturn]] void Mismatch(const TToken& Open, const TToken& End) {
        L.Fail(End.Pos, "/end " + std::string(End.Text) + " does not close /begin " +
                            std::string(Open.Text) + " (opened at " + L.Where(Open.Pos) + ")");
    }

    void Skip(const TToken& Open) {
        std::vector<TToken> open{Open};
        while (!open.empty()) {
            TToken t = L.Next();
            if (t.Kind == K::Eof)
                FailOpen(open.back(), t.Pos);
            if (t.Kind == K::Begin) {
                if (FDepth + static_cast<int>(open.size()) > FLimits.Depth)
                    L.Fail(t.Pos, "blocks nested deeper than " + std::to_string(FLimits.Depth));
                open.push_back(t);
            } else if (t.Kind == K::End) {
                if (t.Text != open.back().Text)
                    Mismatch(open.back(), t);
                open.pop_back();
            }
        }
    }

    void ParseProject(const TToken& Open, TProject& P) {
        P.Name = Ident("name", Open);
        P.LongId = Str("long identifier", Open);
        Body(Open, [&](const TToken& t) {
            if (t.Kind == K::Begin && t.Text == "MODULE") {
                TModule m;
                ParseModule(t, m);
                Add(P.Modules, std::move(m), t);
                return true;
            }
            return false;
        });
    }

    void ParseModule(const TToken& Open, TModule& M) {
        M.Name = Ident("name", Open);
        M.LongId = Str("long identifier", Open);
        Body(Open, [&](const TToken& t) {
            if (t.Kind != K::Begin)
                return false;
            const std::string_view b = t.Text;
            if (b == "MOD_COMMON")
                ParseModCommon(t, M.ModCommon);
            else if (b == "MOD_PAR")
                ParseModPar(t, M.ModPar);
            else if (b == "CHARACTERISTIC")
                Add(M.Characteristics, ParseCharacteristic(t), t);
            else if (b == "AXIS_PTS")
                Add(M.AxisPts, ParseAxisPts(t), t);
            else if (b == "RECORD_LAYOUT")
                Add(M.RecordLayouts, ParseRecordLayout(t), t);
            else if (b == "COMPU_METHOD")
                Add(M.CompuMethods, ParseCompuMethod(t), t);
            else if (b == "COMPU_TAB" || b == "COMPU_VTAB" || b == "COMPU_VTAB_RANGE")
                Add(M.CompuTabs, ParseCompuTab(t), t);
            else if (b == "UNIT")
                Add(M.Units, ParseUnit(t), t);
            else if (b == "MEASUREMENT")
                Add(M.Measurements, ParseMeasurement(t), t);
            else if (b == "IF_DATA")
                ParseIfData(t, M.Transports);
            else
                return false;
            return true;
        });
        std::string duplicate;
        TPosition where;
        if (!M.Index(duplicate, where))
            L.Fail(where, duplicate + " is defined twice in module " + M.Name);
    }

    void ParseModCommon(const TToken& Open, TModCommon& C) {
        C.Comment = Str("comment", Open);
        Body(Open, [&](const TToken& t) {
            const std::string_view k = t.Text;
            if (t.Kind != K::Identifier)
                return false;
            if (k == "BYTE_ORDER")
                C.ByteOrder = ByteOrder(t);
            else if (k == "ALIGNMENT_BYTE")
                C.AlignmentByte = static_cast<int>(Int("alignment", t, 1, 8));
            else if (k == "ALIGNMENT_WORD")
                C.AlignmentWord = static_cast<int>(Int("alignment", t, 1, 8));
            else if (k == "ALIGNMENT_LONG")
                C.AlignmentLong = static_cast<int>(Int("alignment", t, 1, 8));
            else if (k == "ALIGNMENT_INT64")
                C.AlignmentInt64 = static_cast<int>(Int("alignment", t, 1, 8));
            else if (k == "ALIGNMENT_FLOAT32_IEEE")
                C.AlignmentFloat32 = static_cast<int>(Int("alignment", t, 1, 8));
            else if (k == "ALIGNMENT_FLOAT64_IEEE")
                C.AlignmentFloat64 = static_cast<int>(Int("alignment", t, 1, 8));
            else
                return false;
            return true;
        });
    }

    void ParseModPar(const TToken& Open, TModPar& P) {
        P.Comment = Str("comment", Open);
        Body(Open, [&](const TToken& t) {
            const std::string_view k = t.Text;
            if (t.Kind == K::Begin && k == "MEMORY_SEGMENT") {
                TMemorySegment s;
                s.Name = Ident("name", t);
                s.LongId = Str("long identifier", t);
                s.PrgType = Ident("program type", t);
                s.MemoryType = Ident("memory type", t);
                s.Attribute = Ident("attribute", t);
                s.Address = Address("address", t);
                s.Size = Address("size", t);
                for (int i = 0; i < 5; ++i)
                    Int("offset", t, -0x80000000LL, 0xFFFFFFFFLL);
                Body(t, [](const TToken&) { return false; });
                Add(P.MemorySegments, std::move(s), t);
                return true;
            }
            if (t.Kind != K::Identifier)
                return false;
            if (k == "EPK")
                P.Epk = Str("EPK", t);
            else if (k == "ADDR_EPK")
                Add(P.AddrEpk, Address("address", t), t);
            else
                return false;
            return true;
        });
    }

    // Keywords that characteristics, axis descriptions and axis points share.
    template <class T> bool CommonKeyword(const TToken& t, T& Item) {
        const std::string_view k = t.Text;
        if (k == "EXTENDED_LIMITS")
            Item.ExtendedLimits = Limits(t);
        else if (k == "FORMAT")
            Item.Format = Str("format", t);
        else if (k == "PHYS_UNIT")
            Item.PhysUnit = Str("unit", t);
        else if (k == "READ_ONLY")
            Item.ReadOnly = true;
        else if (k == "BYTE_ORDER")
            Item.ByteOrder = ByteOrder(t);
        else
            return false;
        return true;
    }

    TCharacteristic ParseCharacteristic(const TToken& Open) {
        TCharacteristic c;
        c.Pos = Open.Pos;
        c.Name = Ident("name", Open);
        c.LongId = Str("long identifier", Open);
        c.TypeName = Ident("type", Open);
        const std::string_view type = c.TypeName;
        c.Type = type == "VALUE"     ? TCharacteristicType::Value
                 : type == "CURVE"   ? TCharacteristicType::Curve
                 : type == "MAP"     ? TCharacteristicType::Map
                 : type == "VAL_BLK" ? TCharacteristicType::ValBlk
                                     : TCharacteristicType::Other;
        c.Address = Address("address", Open);
        c.Deposit = Ident("record layout", Open);
        c.MaxDiff = Float("maximum difference", Open);
        c.Conversion = Ident("conversion", Open);
        c.Limits.Lower = Float("lower limit", Open);
        c.Limits.Upper = Float("upper limit", Open);
        Body(Open, [&](const TToken& t) {
            const std::string_view k = t.Text;
            if (t.Kind == K::Begin) {
                if (k != "AXIS_DESCR")
                    return false;
                if (c.Axes.size() >= 5)
                    L.Fail(t.Pos, "more than 5 AXIS_DESCR in " + c.Name);
                c.Axes.push_back(ParseAxisDescr(t));
                return true;
            }
            if (CommonKeyword(t, c))
                return true;
            if (k == "ECU_ADDRESS_EXTENSION")
                c.AddressExtension = static_cast<int>(Int("extension", t, -32768, 65535));
            else if (k == "BIT_MASK")
                c.BitMask = Mask(t);
            else if (k == "MATRIX_DIM")
                c.MatrixDim = Dims(t);
            else if (k == "NUMBER")
                c.Number = static_cast<int>(Int("number", t, 0, 0x7FFFFFFF));
            else
                return false;
            return true;
        });
        return c;
    }

    TAxisDescr ParseAxisDescr(const TToken& Open) {
        TAxisDescr a;
        a.Pos = Open.Pos;
        const TToken attr = Arg("attribute", Open);
        const std::string_view at = attr.Text;
        if (at == "STD_AXIS")
            a.Attribute = TAxisAttribute::Std;
        else if (at == "FIX_AXIS")
            a.Attribute = TAxisAttribute::Fix;
        else if (at == "COM_AXIS")
            a.Attribute = TAxisAttribute::Com;
        else if (at == "RES_AXIS")
            a.Attribute = TAxisAttribute::Res;
        else if (at == "CURVE_AXIS")
            a.Attribute = TAxisAttribute::Curve;
        else
            L.Fail(attr.Pos, "unknown axis attribute " + Quote(attr));
        a.InputQuantity = Ident("input quantity", Open);
        a.Conversion = Ident("conversion", Open);
        a.MaxAxisPoints = static_cast<int>(Int("maximum axis points", Open, 0, 65535));
        a.Limits.Lower = Float("lower limit", Open);
        a.Limits.Upper = Float("upper limit", Open);
        Body(Open, [&](const TToken& t) {
            const std::string_view k = t.Text;
            if (t.Kind == K::Begin) {
                if (k != "FIX_AXIS_PAR_LIST")
                    return false;
                for (;;) {
                    const TToken& next = L.Peek();
                    if (next.Kind != K::Number)
                        break;
                    if (a.FixParList.size() >= FLimits.ListItems)
                        L.Fail(next.Pos, "FIX_AXIS_PAR_LIST longer than " +
                                             std::to_string(FLimits.ListItems));
                    a.FixParList.push_back(Float("axis value", t));
                }
                Body(t, [](const TToken&) { return false; });
                return true;
            }
            if (CommonKeyword(t, a))
                return true;
            if (k == "AXIS_PTS_REF") {
                a.AxisPtsRef = Ident("axis points", t);
            } else if (k == "FIX_AXIS_PAR") {
                TFixAxisPar p;
                p.Offset = Float("offset", t);
                p.Shift = static_cast<int>(Int("shift", t, -64, 64));
                p.Count = static_cast<int>(Count("number of axis points", t));
                a.FixPar = p;
            } else if (k == "FIX_AXIS_PAR_DIST") {
                TFixAxisParDist p;
                p.Offset = Float("offset", t);
                p.Distance = Float("distance", t);
                p.Count = static_cast<int>(Count("number of axis points", t));
                a.FixParDist = p;
            } else {
                return false;
            }
            return true;
        });
        return a;
    }

    TAxisPts ParseAxisPts(const TToken& Open) {
        TAxisPts a;
        a.Pos = Open.Pos;
        a.Name = Ident("name", Open);
        a.LongId = Str("long identifier", Open);
        a.Address = Address("address", Open);
        a.InputQuantity = Ident("input quantity", Open);
        a.Deposit = Ident("record layout", Open);
        a.MaxDiff = Float("maximum difference", Open);
        a.Conversion = Ident("conversion", Open);
        a.MaxAxisPoints = static_cast<int>(Int("maximum axis points", Open, 0, 65535));
        a.Limits.Lower = Float("lower limit", Open);
        a.Limits.Upper = Float("upper limit", Open);
        Body(Open, [&](const TToken& t) {
            if (t.Kind != K::Identifier)
                return false;
            if (CommonKeyword(t, a))
                return true;
            if (t.Text == "ECU_ADDRESS_EXTENSION") {
                a.AddressExtension = static_cast<int>(Int("extension", t, -32768, 65535));
                return true;
            }
            return false;
        });
        return a;
    }

    TRecordLayout ParseRecordLayout(const TToken& Open) {
        TRecordLayout r;
        r.Pos = Open.Pos;
        r.Name = Ident("name", Open);
        Body(Open, [&](const TToken& t) {
            if (t.Kind != K::Identifier)
                return false;
            const std::string_view k = t.Text;
            if (k == "FNC_VALUES") {
                TFncValues f;
                f.Position = static_cast<int>(Int("position", t, 1, 65535));
                f.Type = DataType(t);
                const TToken mode = Arg("index mode", t);
                const std::string_view m = mode.Text;
                if (m == "ROW_DIR")
                    f.IndexMode = TIndexMode::RowDir;
                else if (m == "COLUMN_DIR")
                    f.IndexMode = TIndexMode::ColumnDir;
                else if (m == "ALTERNATE_CURVES")
                    f.IndexMode = TIndexMode::AlternateCurves;
                else if (m == "ALTERNATE_WITH_X")
                    f.IndexMode = TIndexMode::AlternateWithX;
                else if (m == "ALTERNATE_WITH_Y")
                    f.IndexMode = TIndexMode::AlternateWithY;
                else
                    L.Fail(mode.Pos, "unknown index mode " + Quote(mode));
                f.Addressing = Ident("addressing", t);
                r.FncValues = f;
            } else if (k == "AXIS_PTS_X" || k == "AXIS_PTS_Y") {
                TAxisPtsEntry e;
                e.Position = static_cast<int>(Int("position", t, 1, 65535));
                e.Type = DataType(t);
                const std::string incr = Ident("index order", t);
                if (incr != "INDEX_INCR" && incr != "INDEX_DECR")
                    L.Fail(t.Pos, "unknown index order " + incr + " of " + std::string(k));
                e.Increasing = incr == "INDEX_INCR";
                e.Addressing = Ident("addressing", t);
                (k == "AXIS_PTS_X" ? r.AxisPtsX : r.AxisPtsY) = e;
            } else if (k == "NO_AXIS_PTS_X" || k == "NO_AXIS_PTS_Y") {
                TNoAxisPtsEntry e;
                e.Position = static_cast<int>(Int("position", t, 1, 65535));
                e.Type = DataType(t);
                (k == "NO_AXIS_PTS_X" ? r.NoAxisPtsX : r.NoAxisPtsY) = e;
            } else if (k == "STATIC_RECORD_LAYOUT") {
                r.StaticLayout = true;
            } else if (k.starts_with("ALIGNMENT_")) {
                Int("alignment", t, 1, 8);
            } else if (L.Peek().Kind == K::Number) {
                // Another entry with a position (AXIS_PTS_Z, SRC_ADDR_X, RESERVED, ...).
                if (r.OtherEntries.size() < 64)
                    r.OtherEntries.emplace_back(k);
                return false;
            } else {
                return false;
            }
            return true;
        });
        return r;
    }

    TCompuMethod ParseCompuMethod(const TToken& Open) {
        TCompuMethod c;
        c.Pos = Open.Pos;
        c.Name = Ident("name", Open);
        c.LongId = Str("long identifier", Open);
        const TToken type = Arg("conversion type", Open);
        static const std::pair<std::string_view, TConversionType> kinds[] = {
            {"IDENTICAL", TConversionType::Identical},
            {"LINEAR", TConversionType::Linear},
            {"RAT_FUNC", TConversionType::RatFunc},
            {"TAB_INTP", TConversionType::TabIntp},
            {"TAB_NOINTP", TConversionType::TabNoIntp},
            {"TAB_VERB", TConversionType::TabVerb},
            {"FORM", TConversionType::Form}};
        bool known = false;
        for (const auto& [name, kind] : kinds)
            if (type.Text == name) {
                c.Type = kind;
                known = true;
            }
        if (!known)
            L.Fail(type.Pos, "unknown conversion type " + Quote(type));
        c.Format = Str("format", Open);
        c.Unit = Str("unit", Open);
        Body(Open, [&](const TToken& t) {
            const std::string_view k = t.Text;
            if (t.Kind == K::Begin) {
                if (k != "FORMULA")
                    return false;
                c.Formula = Str("formula", t);
                Body(t, [&](const TToken& f) {
                    if (f.Kind == K::Identifier && f.Text == "FORMULA_INV") {
                        c.FormulaInv = Str("inverse formula", f);
                        return true;
                    }
                    return false;
                });
                return true;
            }
            if (k == "COEFFS") {
                std::array<double, 6> v{};
                for (double& x : v)
                    x = Float("coefficient", t);
                c.Coeffs = v;
            } else if (k == "COEFFS_LINEAR") {
                std::array<double, 2> v{};
                for (double& x : v)
                    x = Float("coefficient", t);
                c.CoeffsLinear = v;
            } else if (k == "COMPU_TAB_REF") {
                c.CompuTabRef = Ident("table", t);
            } else if (k == "REF_UNIT") {
                c.RefUnit = Ident("unit", t);
            } else {
                return false;
            }
            return true;
        });
        return c;
    }

    TCompuTab ParseCompuTab(const TToken& Open) {
        TCompuTab c;
        c.Pos = Open.Pos;
        c.TabKind = Open.Text == "COMPU_TAB"    ? TCompuTab::Kind::Numeric
                    : Open.Text == "COMPU_VTAB" ? TCompuTab::Kind::Verbal
                                                : TCompuTab::Kind::VerbalRange;
        c.Name = Ident("name", Open);
        c.LongId = Str("long identifier", Open);
        if (c.TabKind != TCompuTab::Kind::VerbalRange) {
            const std::string type = Ident("conversion type", Open);
            if (type == "TAB_INTP")
                c.Type = TConversionType::TabIntp;
            else if (type == "TAB_NOINTP")
                c.Type = TConversionType::TabNoIntp;
            else if (type == "TAB_VERB")
                c.Type = TConversionType::TabVerb;
            else
                L.Fail(Open.Pos, "unknown table kind " + type + " of " + c.Name);
        } else {
            c.Type = TConversionType::TabVerb;
        }
        const std::size_t n = Count("number of entries", Open);
        c.In.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            c.In.push_back(Float("input value", Open));
            switch (c.TabKind) {
            case TCompuTab::Kind::Numeric:
                c.Out.push_back(Float("output value", Open));
                break;
            case TCompuTab::Kind::Verbal:
                c.Texts.push_back(Str("text", Open));
                break;
            case TCompuTab::Kind::VerbalRange:
                c.InMax.push_back(Float("upper input value", Open));
                c.Texts.push_back(Str("text", Open));
                break;
            }
        }
        Body(Open, [&](const TToken& t) {
            if (t.Kind == K::Identifier && t.Text == "DEFAULT_VALUE") {
                c.DefaultValue = Str("default value", t);
                return true;
            }
            if (t.Kind == K::Identifier && t.Text == "DEFAULT_VALUE_NUMERIC") {
                c.DefaultNumeric = Float("default value", t);
                return true;
            }
            return false;
        });
        return c;
    }

    TUnit ParseUnit(const TToken& Open) {
        TUnit u;
        u.Pos = Open.Pos;
        u.Name = Ident("name", Open);
        u.LongId = Str("long identifier", Open);
        u.Display = Str("display", Open);
        u.Type = Ident("type", Open);
        Body(Open, [](const TToken&) { return false; });
        return u;
    }

    TMeasurement ParseMeasurement(const TToken& Open) {
        TMeasurement m;
        m.Pos = Open.Pos;
        m.Name = Ident("name", Open);
        m.LongId = Str("long identifier", Open);
        m.Type = DataType(Open);
        m.Conversion = Ident("conversion", Open);
        m.Resolution = static_cast<int>(Int("resolution", Open, 0, 0x7FFFFFFF));
        m.Accuracy = Float("accuracy", Open);
        m.Limits.Lower = Float("lower limit", Open);
        m.Limits.Upper = Float("upper limit", Open);
        Body(Open, [&](const TToken& t) {
            if (t.Kind != K::Identifier)
                return false;
            const std::string_view k = t.Text;
            if (k == "ECU_ADDRESS")
                m.Address = Address("address", t);
            else if (k == "ECU_ADDRESS_EXTENSION")
                m.AddressExtension = static_cast<int>(Int("extension", t, -32768, 65535));
            else if (k == "BIT_MASK")
                m.BitMask = Mask(t);
            else if (k == "FORMAT")
                m.Format = Str("format", t);
            else if (k == "PHYS_UNIT")
                m.PhysUnit = Str("unit", t);
            else if (k == "BYTE_ORDER")
                m.ByteOrder = ByteOrder(t);
            else if (k == "ARRAY_SIZE")
                m.ArraySize = static_cast<int>(Int("array size", t, 0, 0x7FFFFFFF));
            else if (k == "MATRIX_DIM")
                m.MatrixDim = Dims(t);
            else if (k == "READ_WRITE")
                m.ReadWrite = true;
            else
                return false;
            return true;
        });
        return m;
    }

    void ParseIfData(const TToken& Open, std::vector<TXcpTransport>& Transports) {
        const TToken protocol = L.Peek();
        if (protocol.Kind != K::Identifier ||
            (protocol.Text != "XCP" && protocol.Text != "XCPplus")) {
            Skip(Open);
            return;
        }
        L.Next();
        Body(Open, [&](const TToken& t) {
            if (t.Kind != K::Begin || (t.Text != "XCP_ON_UDP_IP" && t.Text != "XCP_ON_TCP_IP"))
                return false;
            TXcpTransport x;
            x.Tcp = t.Text == "XCP_ON_TCP_IP";
            x.Version = static_cast<int>(Int("version", t, 0, 0xFFFF));
            x.Port = static_cast<int>(Int("port", t, 0, 65535));
            Body(t, [&](const TToken& k) {
                if (k.Kind == K::Identifier && k.Text == "ADDRESS")
                    x.Address = Str("address", k);
                else if (k.Kind == K::Identifier && k.Text == "HOST_NAME")
                    x.HostName = Str("host name", k);
                else
                    return false;
                return true;
            });
            Add(Transports, std::move(x), t);
            return true;
        });
    }

    TA2lLexer& L;
    TReaderLimits FLimits;
    int FDepth = 0;
};

TProject Finish(TA2lLexer& Lexer, const TReaderLimits& Limits) {
    TParser parser(Lexer, Limits);
    TProject p = parser.Run();
    p.Files = Lexer.FileNames();
    return p;
}

} // namespace

TProject ReadA2l(const std::string& Path, const TReaderLimits& Limits) {
    TA2lLexer lexer = TA2lLexer::FromFile(Path, Limits.Lexer);
    return Finish(lexer, Limits);
}

TProject ReadA2lText(std::string Text, const std::string& FileName, const TReaderLimits& Limits) {
    TA2lLexer lexer(std::move(Text), FileName, Limits.Lexer);
    return Finish(lexer, Limits);
}

TReadResult TryReadA2l(const std::string& Path, const TReaderLimits& Limits) {
    try {
        return {ReadA2l(Path, Limits), {}};
    } catch (const EA2lError& e) {
        return {std::nullopt, e.what()};
    }
}

TReadResult TryReadA2lText(std::string Text, const std::string& FileName,
                           const TReaderLimits& Limits) {
    try {
        return {ReadA2lText(std::move(Text), FileName, Limits), {}};
    } catch (const EA2lError& e) {
        return {std::nullopt, e.what()};
    }
}

} // namespace qor::a2l
