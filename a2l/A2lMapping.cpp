#include "a2l/A2lMapping.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

namespace qor::a2l {
namespace {

// How a raw value becomes a physical one, or why QorCal cannot do it.
struct TConversion {
    std::string Transformation = "ttFormula";
    std::array<double, 4> Coeffs{1, 0, 0, 1};
    std::vector<double> TableEcu, TableUser;
    std::vector<std::string> Texts;
    std::string Unit;
    std::string Format;
    std::string Failure;
};

bool StrictlyMonotonic(const std::vector<double>& V) {
    if (V.size() < 2)
        return false;
    const bool rising = V[1] > V[0];
    for (std::size_t i = 1; i < V.size(); ++i)
        if (rising ? !(V[i] > V[i - 1]) : !(V[i] < V[i - 1]))
            return false;
    return true;
}

// Shift: the raw value QorCal converts keeps the masked bits in place, where the file's
// conversion takes them shifted down to bit 0; the coefficients and table inputs are
// scaled by 2^Shift to make up for that.
TConversion Convert(const TModule& M, const std::string& Name, int Shift) {
    TConversion c;
    const double scale = std::ldexp(1.0, Shift);
    if (Name == "NO_COMPU_METHOD") {
        c.Coeffs = {1 / scale, 0, 0, 1};
        return c;
    }
    const TCompuMethod* m = M.FindCompuMethod(Name);
    if (!m) {
        c.Failure = "conversion " + Name + " is not defined";
        return c;
    }
    c.Format = m->Format;
    c.Unit = m->Unit;
    if (!m->RefUnit.empty())
        if (const TUnit* u = M.FindUnit(m->RefUnit))
            c.Unit = u->Display;
    const auto table = [&]() -> const TCompuTab* {
        const TCompuTab* t = M.FindCompuTab(m->CompuTabRef);
        if (!t)
            c.Failure = std::string(ConversionTypeName(m->Type)) + " conversion " + Name +
                        " names no table (COMPU_TAB_REF " + m->CompuTabRef + ")";
        return t;
    };
    switch (m->Type) {
    case TConversionType::Identical:
        c.Coeffs = {1 / scale, 0, 0, 1};
        break;
    case TConversionType::Linear:
        if (!m->CoeffsLinear) {
            c.Failure = "LINEAR conversion " + Name + " has no COEFFS_LINEAR";
            break;
        }
        // physical = a * raw + b
        c.Coeffs = {(*m->CoeffsLinear)[0] / scale, (*m->CoeffsLinear)[1], 0, 1};
        break;
    case TConversionType::RatFunc: {
        if (!m->Coeffs) {
            c.Failure = "RAT_FUNC conversion " + Name + " has no COEFFS";
            break;
        }
        // raw = (a p^2 + b p + c) / (d p^2 + e p + f) for the physical value p. Without the
        // quadratic terms, p = (c - f raw) / (e raw - b).
        const auto [a, b, cc, d, e, f] = *m->Coeffs;
        if (a != 0 || d != 0) {
            c.Failure = "RAT_FUNC conversion " + Name +
                        " has quadratic terms (a or d not 0); only (b p + c) / (e p + f) is held";
            break;
        }
        if (f * b - cc * e == 0) {
            c.Failure = "RAT_FUNC conversion " + Name + " does not depend on the physical value";
            break;
        }
        c.Coeffs = {-f / scale, cc, e / scale, -b};
        break;
    }
    case TConversionType::TabIntp: {
        const TCompuTab* t = table();
        if (!t)
            break;
        if (t->TabKind != TCompuTab::Kind::Numeric) {
            c.Failure = "TAB_INTP conversion " + Name + " names the verbal table " + t->Name;
            break;
        }
        if (!StrictlyMonotonic(t->In) || !StrictlyMonotonic(t->Out)) {
            c.Failure = "table " + t->Name + " of TAB_INTP conversion " + Name +
                        " is not strictly monotonic in both columns (needs 2 points or more)";
            break;
        }
        c.Transformation = "ttNonLinearTabled";
        c.Coeffs = {1 / scale, 0, 0, 1};
        c.TableEcu = t->In;
        c.TableUser = t->Out;
        break;
    }
    case TConversionType::TabNoIntp: {
        const TCompuTab* t = table();
        if (!t)
            break;
        if (t->TabKind != TCompuTab::Kind::Numeric || t->In.empty()) {
            c.Failure =
                "table " + t->Name + " of TAB_NOINTP conversion " + Name + " holds no number pairs";
            break;
        }
        c.Transformation = "ttTabled";
        for (double in : t->In)
            c.TableEcu.push_back(in * scale);
        c.TableUser = t->Out;
        break;
    }
    case TConversionType::TabVerb: {
        const TCompuTab* t = table();
        if (!t)
            break;
        if (t->TabKind == TCompuTab::Kind::Numeric || t->In.empty()) {
            c.Failure = "table " + t->Name + " of TAB_VERB conversion " + Name + " holds no texts";
            break;
        }
        if (t->TabKind == TCompuTab::Kind::VerbalRange)
            for (std::size_t i = 0; i < t->In.size(); ++i)
                if (t->In[i] != t->InMax[i]) {
                    c.Failure = "COMPU_VTAB_RANGE " + t->Name +
                                " gives one text to a range of values; a key combo box "
                                "needs one value per text";
                    return c;
                }
        // The user value is the text's index in the combo box.
        c.Transformation = "ttTabled";
        for (std::size_t i = 0; i < t->In.size(); ++i) {
            c.TableEcu.push_back(t->In[i] * scale);
            c.TableUser.push_back(static_cast<double>(i));
        }
        c.Texts = t->Texts;
        break;
    }
    case TConversionType::Form:
        c.Failure = "FORM conversion " + Name + " (a formula) is not held";
        break;
    }
    return c;
}

std::string Hex(std::uint64_t V) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[V & 0xF]);
        V >>= 4;
    } while (V);
    return "0x" + s;
}

class TMapper {
public:
    TMapper(const TModule& Module, TMapping& Out) : M(Module), R(Out) {
        FNames = {"Connection", "Refresher"};
    }

    void Run() {
        for (const TAxisPts& a : M.AxisPts)
            MapAxisPts(a);
        for (const TCharacteristic& c : M.Characteristics)
            MapCharacteristic(c);
        for (const TMeasurement& m : M.Measurements)
            MapMeasurement(m);
        AssignCodes();
    }

private:
    void NotHeld(const std::string& Block, const std::string& Name, const std::string& Why) {
        R.NotHeld.push_back({Block, Name, Why});
    }

    std::string ComponentName(const std::string& A2lName) {
        std::string n;
        for (char ch : A2lName)
            n += (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_') ? ch : '_';
        if (n.empty() || std::isdigit(static_cast<unsigned char>(n[0])))
            n.insert(n.begin(), '_');
        std::string unique = n;
        for (int i = 2; !FNames.insert(unique).second; ++i)
            unique = n + "_" + std::to_string(i);
        return unique;
    }

    // Width and sign of an element type QorCal holds, or why not.
    bool ElementType(TDataType T, THeldItem& Item, std::string& Why) {
        switch (T) {
        case TDataType::UByte:
            Item.Width = 1;
            Item.Signed = false;
            return true;
        case TDataType::SByte:
            Item.Width = 1;
            Item.Signed = true;
            return true;
        case TDataType::UWord:
            Item.Width = 2;
            Item.Signed = false;
            return true;
        case TDataType::SWord:
            Item.Width = 2;
            Item.Signed = true;
            return true;
        case TDataType::Float16:
        case TDataType::Float32:
        case TDataType::Float64:
            Why = std::string("element type ") + DataTypeName(T) + " is a floating-point type";
            return false;
        default:
            Why = std::string("element type ") + DataTypeName(T) + " is wider than 2 bytes";
            return false;
        }
    }

    // An item's own byte order must be the module's: the description has one for all.
    bool SameByteOrder(const std::optional<TByteOrder>& Own, std::string& Why) {
        if (!Own || Own == M.ModCommon.ByteOrder)
            return true;
        Why = M.ModCommon.ByteOrder
                  ? "its BYTE_ORDER differs from the module's (one byte order per ECU is held)"
                  : "it names a BYTE_ORDER but the module does not (its values would take the "
                    "XCP slave's)";
        return false;
    }

    bool Extension(int Ext, THeldItem& Item, std::string& Why) {
        if (Ext < 0 || Ext > 255) {
            Why = "address extension " + std::to_string(Ext) + " is outside 0 .. 255";
            return false;
        }
        Item.Extension = Ext;
        return true;
    }

    int Alignment(TDataType T) const {
        const TModCommon& c = M.ModCommon;
        switch (DataTypeSize(T)) {
        case 1:
            return c.AlignmentByte;
        case 2:
            return c.AlignmentWord;
        case 4:
            return T == TDataType::Float32 ? c.AlignmentFloat32 : c.AlignmentLong;
        default:
            return T == TDataType::Float64 ? c.AlignmentFloat64 : c.AlignmentInt64;
        }
    }

    // Offsets of the entries of a record: each after those with a lower position, aligned
    // to its type. Counts: points of the X and Y axes and number of values.
    struct TOffsets {
        std::uint32_t Fnc = 0, AxisX = 0, AxisY = 0;
    };
    bool Offsets(const TRecordLayout& L, int PointsX, int PointsY, int Values, TOffsets& Out,
                 std::string& Why) {
        if (!L.OtherEntries.empty()) {
            Why = "record layout " + L.Name + " holds " + L.OtherEntries.front() +
                  ", which QorCal cannot place";
            return false;
        }
        if ((L.NoAxisPtsX || L.NoAxisPtsY) && !L.StaticLayout) {
            Why = "record layout " + L.Name +
                  " keeps the number of axis points in the ECU without STATIC_RECORD_LAYOUT, "
                  "so where its values lie depends on the ECU";
            return false;
        }
        struct TEntry {
            int Position;
            TDataType Type;
            int Count;
            std::uint32_t* Offset;
        };
        std::vector<TEntry> entries;
        std::uint32_t ignored = 0;
        if (L.NoAxisPtsX)
            entries.push_back({L.NoAxisPtsX->Position, L.NoAxisPtsX->Type, 1, &ignored});
        if (L.NoAxisPtsY)
            entries.push_back({L.NoAxisPtsY->Position, L.NoAxisPtsY->Type, 1, &ignored});
        if (L.AxisPtsX)
            entries.push_back({L.AxisPtsX->Position, L.AxisPtsX->Type, PointsX, &Out.AxisX});
        if (L.AxisPtsY)
            entries.push_back({L.AxisPtsY->Position, L.AxisPtsY->Type, PointsY, &Out.AxisY});
        if (L.FncValues)
            entries.push_back({L.FncValues->Position, L.FncValues->Type, Values, &Out.Fnc});
        std::sort(entries.begin(), entries.end(),
                  [](const TEntry& a, const TEntry& b) { return a.Position < b.Position; });
        std::uint64_t at = 0;
        for (const TEntry& e : entries) {
            const int align = std::max(1, Alignment(e.Type));
            at = (at + static_cast<std::uint64_t>(align) - 1) / static_cast<std::uint64_t>(align) *
                 static_cast<std::uint64_t>(align);
            *e.Offset = static_cast<std::uint32_t>(at);
            at += static_cast<std::uint64_t>(e.Count) *
                  static_cast<std::uint64_t>(DataTypeSize(e.Type));
        }
        return true;
    }

    bool Place(THeldItem& Item, std::uint64_t Address, std::string& Why) {
        const std::uint64_t bytes = static_cast<std::uint64_t>(Item.Rows) *
                                    static_cast<std::uint64_t>(Item.Cols) *
                                    static_cast<std::uint64_t>(Item.Width);
        if (Address + bytes - 1 > 0xFFFFFFFFull) {
            Why = "it leaves the 32-bit address space";
            return false;
        }
        Item.Address = static_cast<std::uint32_t>(Address);
        return true;
    }

    // Conversion, unit, precision and limits of an item.
    template <class T>
    bool Describe(THeldItem& Item, const T& Source, const std::string& ConversionName,
                  std::optional<std::uint64_t> BitMask, std::string& Why) {
        const int full = Item.Width == 2 ? 0xFFFF : 0xFF;
        int shift = 0;
        Item.DataMask = full;
        if (BitMask) {
            const std::uint64_t mask = *BitMask;
            if (mask == 0 || (mask & ~static_cast<std::uint64_t>(full)) != 0) {
                Why = "BIT_MASK " + Hex(mask) + " does not fit the element type";
                return false;
            }
            shift = std::countr_zero(mask);
            if (((mask >> shift) & ((mask >> shift) + 1)) != 0) {
                Why = "BIT_MASK " + Hex(mask) + " is not one run of bits";
                return false;
            }
            if (Item.Signed && static_cast<int>(mask) != full) {
                Why = "a signed bit field (BIT_MASK " + Hex(mask) + ") is not held";
                return false;
            }
            Item.DataMask = static_cast<int>(mask);
        }
        TConversion c = Convert(M, ConversionName, shift);
        if (!c.Failure.empty()) {
            Why = c.Failure;
            return false;
        }
        Item.Transformation = c.Transformation;
        Item.Coeffs = c.Coeffs;
        Item.TableEcu = std::move(c.TableEcu);
        Item.TableUser = std::move(c.TableUser);
        Item.Texts = std::move(c.Texts);
        Item.Unit = Source.PhysUnit.empty() ? c.Unit : Source.PhysUnit;
        const std::string& format = Source.Format.empty() ? c.Format : Source.Format;
        if (Item.Texts.empty()) {
            Item.Precision = PrecisionOfFormat(format);
            // The extended limits are the outer bounds a value may take; the plain ones
            // only those a calibration normally keeps to.
            TLimits l = Source.Limits;
            if constexpr (requires { Source.ExtendedLimits; })
                l = Source.ExtendedLimits.value_or(Source.Limits);
            Item.ValueMin = std::min(l.Lower, l.Upper);
            Item.ValueMax = std::max(l.Lower, l.Upper);
        } else {
            Item.DisableLimits = true; // the user value is an index into the texts
        }
        return true;
    }

    void MapAxisPts(const TAxisPts& A) {
        THeldItem item;
        item.Block = "AXIS_PTS";
        item.A2lName = A.Name;
        item.ClassName = "TQorVector";
        item.Shape = TItemShape::Vector;
        item.ReadOnly = A.ReadOnly;
        std::string why;
        const TRecordLayout* layout = M.FindRecordLayout(A.Deposit);
        if (!layout) {
            NotHeld("AXIS_PTS", A.Name, "record layout " + A.Deposit + " is not defined");
            return;
        }
        if (!layout->AxisPtsX) {
            NotHeld("AXIS_PTS", A.Name, "record layout " + A.Deposit + " has no AXIS_PTS_X");
            return;
        }
        if (!layout->AxisPtsX->Increasing) {
            NotHeld("AXIS_PTS", A.Name, "INDEX_DECR (points stored last first) is not held");
            return;
        }
        TOffsets at;
        if (A.MaxAxisPoints < 1 || A.MaxAxisPoints > 255) {
            NotHeld("AXIS_PTS", A.Name,
                    std::to_string(A.MaxAxisPoints) + " axis points (1 .. 255 are held)");
            return;
        }
        item.Cols = A.MaxAxisPoints;
        if (!ElementType(layout->AxisPtsX->Type, item, why) || !SameByteOrder(A.ByteOrder, why) ||
            !Extension(A.AddressExtension, item, why) ||
            !Offsets(*layout, A.MaxAxisPoints, 0, 0, at, why) ||
            !Place(item, static_cast<std::uint64_t>(A.Address) + at.AxisX, why) ||
            !Describe(item, A, A.Conversion, std::nullopt, why)) {
            NotHeld("AXIS_PTS", A.Name, why);
            return;
        }
        if (layout->NoAxisPtsX)
            R.Notes.push_back("AXIS_PTS " + A.Name + ": all " + std::to_string(A.MaxAxisPoints) +
                              " points are shown, whatever number the ECU keeps in use");
        item.Component = ComponentName(A.Name);
        FAxisPts[A.Name] = item.Component;
        Keep(std::move(item));
    }

    // The axis component of AXIS_DESCR number Index of C, or "" (with a note) when there
    // is none that QorCal can hold.
    std::string MapAxis(const TCharacteristic& C, std::size_t Index, const TRecordLayout& L,
                        const TOffsets& At, int Points, const std::string& Owner) {
        const TAxisDescr& a = C.Axes[Index];
        const std::string axisName = C.Name + (Index == 0 ? "_X" : "_Y");
        const std::string where = "CHARACTERISTIC " + C.Name + ": axis " + (Index == 0 ? "X" : "Y");
        // Only a curve or a map gives its axes their number of points; an axis of any other
        // kind of characteristic has none that could be held.
        if (Points < 1 || Points > 255) {
            R.Notes.push_back(where + " is not shown: " + std::to_string(Points) +
                              " points (1 .. 255 are held)");
            return {};
        }
        THeldItem item;
        item.Block = "AXIS_DESCR";
        item.A2lName = axisName;
        item.ClassName = "TQorVector";
        item.Shape = TItemShape::Vector;
        item.Cols = Points;
        item.ReadOnly = a.ReadOnly;
        std::string why;
        switch (a.Attribute) {
        case TAxisAttribute::Com: {
            auto it = FAxisPts.find(a.AxisPtsRef);
            if (it != FAxisPts.end())
                return it->second;
            R.Notes.push_back(where + " (COM_AXIS " + a.AxisPtsRef +
                              ") is shown without values: its AXIS_PTS is not held");
            return {};
        }
        case TAxisAttribute::Std: {
            const std::optional<TAxisPtsEntry>& e = Index == 0 ? L.AxisPtsX : L.AxisPtsY;
            if (!e) {
                why = "record layout " + L.Name + " has no AXIS_PTS_" + (Index == 0 ? "X" : "Y");
            } else if (!e->Increasing) {
                why = "INDEX_DECR (points stored last first) is not held";
            } else if (ElementType(e->Type, item, why) && SameByteOrder(a.ByteOrder, why) &&
                       Extension(C.AddressExtension, item, why) &&
                       Place(item,
                             static_cast<std::uint64_t>(C.Address) +
                                 (Index == 0 ? At.AxisX : At.AxisY),
                             why) &&
                       Describe(item, a, a.Conversion, std::nullopt, why)) {
                item.Component = ComponentName(axisName);
                std::string name = item.Component;
                Keep(std::move(item));
                return name;
            }
            R.Notes.push_back(where + " (STD_AXIS) is shown without values: " + why);
            return {};
        }
        case TAxisAttribute::Fix: {
            item.Fixed = true;
            item.Width = 2;
            item.DataMask = 0xFFFF;
            item.ReadOnly = true;
            item.Unit = a.PhysUnit;
            if (a.FixPar) {
                item.Coeffs = {std::ldexp(1.0, a.FixPar->Shift), a.FixPar->Offset, 0, 1};
            } else if (a.FixParDist) {
                item.Coeffs = {a.FixParDist->Distance, a.FixParDist->Offset, 0, 1};
            } else if (!a.FixParList.empty()) {
                item.Transformation = "ttTabled";
                item.TableUser = a.FixParList;
                for (std::size_t i = 0; i < a.FixParList.size(); ++i)
                    item.TableEcu.push_back(static_cast<double>(i));
            } else {
                R.Notes.push_back(where + " (FIX_AXIS) has no FIX_AXIS_PAR*: shown without values");
                return {};
            }
            for (int i = 0; i < Points; ++i)
                item.Defaults.push_back(item.Transformation == "ttTabled"
                                            ? (static_cast<std::size_t>(i) < a.FixParList.size()
                                                   ? a.FixParList[static_cast<std::size_t>(i)]
                                                   : a.FixParList.back())
                                            : item.Coeffs[0] * i + item.Coeffs[1]);
            item.Component = ComponentName(axisName);
            std::string name = item.Component;
            FFixed.emplace(Owner, std::move(item));
            return name;
        }
        case TAxisAttribute::Res:
        case TAxisAttribute::Curve:
            R.Notes.push_back(where + " (RES_AXIS or CURVE_AXIS) is shown without values");
            return {};
        }
        return {};
    }

    static int AxisPoints(const TAxisDescr& A) {
        if (A.Attribute == TAxisAttribute::Fix) {
            if (A.FixPar)
                return A.FixPar->Count;
            if (A.FixParDist)
                return A.FixParDist->Count;
            if (!A.FixParList.empty())
                return static_cast<int>(A.FixParList.size());
        }
        return A.MaxAxisPoints;
    }

    void MapCharacteristic(const TCharacteristic& C) {
        const auto refuse = [&](const std::string& Why) { NotHeld("CHARACTERISTIC", C.Name, Why); };
        if (C.Type == TCharacteristicType::Other)
            return refuse("type " + C.TypeName + " is not held (VALUE, CURVE, MAP, VAL_BLK are)");
        const TRecordLayout* layout = M.FindRecordLayout(C.Deposit);
        if (!layout)
            return refuse("record layout " + C.Deposit + " is not defined");
        if (!layout->FncValues)
            return refuse("record layout " + C.Deposit + " has no FNC_VALUES");
        const TFncValues& fnc = *layout->FncValues;
        if (fnc.Addressing != "DIRECT")
            return refuse("FNC_VALUES addressing " + fnc.Addressing + " is not held (DIRECT is)");
        THeldItem item;
        item.Block = "CHARACTERISTIC";
        item.A2lName = C.Name;
        item.ReadOnly = C.ReadOnly;
        int pointsX = 0, pointsY = 0;
        switch (C.Type) {
        case TCharacteristicType::Value:
            item.ClassName = "TQorNumber";
            item.Shape = TItemShape::Value;
            break;
        case TCharacteristicType::ValBlk: {
            std::vector<int> dims;
            for (int d : C.MatrixDim)
                if (d > 1)
                    dims.push_back(d);
            if (C.MatrixDim.empty() && C.Number)
                dims.push_back(*C.Number);
            if (dims.empty())
                dims.push_back(1);
            if (dims.size() > 2)
                return refuse("a VAL_BLK of three dimensions is not held");
            item.Cols = dims[0];
            if (dims.size() == 2) {
                item.Rows = dims[1];
                item.ClassName = "TQorMatrix";
                item.Shape = TItemShape::Map;
            } else {
                item.ClassName = "TQorVector";
                item.Shape = TItemShape::Vector;
            }
            break;
        }
        case TCharacteristicType::Curve:
            if (C.Axes.size() != 1)
                return refuse("a CURVE needs one AXIS_DESCR, it has " +
                              std::to_string(C.Axes.size()));
            item.ClassName = "TQorVector";
            item.Shape = TItemShape::Vector;
            pointsX = AxisPoints(C.Axes[0]);
            item.Cols = pointsX;
            break;
        case TCharacteristicType::Map:
            if (C.Axes.size() != 2)
                return refuse("a MAP needs two AXIS_DESCR, it has " +
                              std::to_string(C.Axes.size()));
            item.ClassName = "TQorMatrix";
            item.Shape = TItemShape::Map;
            pointsX = AxisPoints(C.Axes[0]);
            pointsY = AxisPoints(C.Axes[1]);
            // Columns run along the X axis, rows along the Y axis.
            item.Cols = pointsX;
            item.Rows = pointsY;
            break;
        case TCharacteristicType::Other:
            break;
        }
        if (item.Rows < 1 || item.Rows > 255 || item.Cols < 1 || item.Cols > 255)
            return refuse(std::to_string(item.Rows) + " x " + std::to_string(item.Cols) +
                          " values (1 .. 255 rows and columns are held)");
        if (fnc.IndexMode != TIndexMode::RowDir && fnc.IndexMode != TIndexMode::ColumnDir)
            return refuse("FNC_VALUES index mode ALTERNATE_* is not held");
        // ROW_DIR: the values of one row lie together; COLUMN_DIR: those of one column.
        item.ColumnMajor = item.Shape == TItemShape::Map && fnc.IndexMode == TIndexMode::ColumnDir;
        std::string why;
        TOffsets at;
        if (!ElementType(fnc.Type, item, why) || !SameByteOrder(C.ByteOrder, why) ||
            !Extension(C.AddressExtension, item, why) ||
            !Offsets(*layout, pointsX, pointsY, item.Rows * item.Cols, at, why) ||
            !Place(item, static_cast<std::uint64_t>(C.Address) + at.Fnc, why) ||
            !Describe(item, C, C.Conversion, C.BitMask, why))
            return refuse(why);
        item.Component = ComponentName(C.Name);
        if (!C.Axes.empty()) {
            item.ColRef = MapAxis(C, 0, *layout, at, pointsX, item.Component);
            item.ColInput = C.Axes[0].InputQuantity;
        }
        if (C.Axes.size() > 1) {
            item.RowRef = MapAxis(C, 1, *layout, at, pointsY, item.Component);
            item.RowInput = C.Axes[1].InputQuantity;
        }
        Keep(std::move(item));
    }

    void MapMeasurement(const TMeasurement& Me) {
        const auto refuse = [&](const std::string& Why) { NotHeld("MEASUREMENT", Me.Name, Why); };
        THeldItem item;
        item.Block = "MEASUREMENT";
        item.A2lName = Me.Name;
        item.ClassName = "TQorPacketData";
        item.Shape = TItemShape::Packet;
        item.ReadOnly = true;
        std::string why;
        if (!Me.Address)
            return refuse("it has no ECU_ADDRESS");
        if (Me.ArraySize > 1 ||
            std::any_of(Me.MatrixDim.begin(), Me.MatrixDim.end(), [](int d) { return d > 1; }))
            return refuse("a measurement of more than one value is not held");
        if (!ElementType(Me.Type, item, why) || !Extension(Me.AddressExtension, item, why))
            return refuse(why);
        const std::optional<TByteOrder> order = Me.ByteOrder ? Me.ByteOrder : M.ModCommon.ByteOrder;
        if (item.Width == 2 && order == TByteOrder::MsbFirst)
            return refuse("packet data decodes 2-byte values least significant byte first; "
                          "this one is MSB_FIRST");
        if (!Place(item, *Me.Address, why) || !Describe(item, Me, Me.Conversion, Me.BitMask, why))
            return refuse(why);
        item.Cols = item.Width; // the packet's bytes
        item.Component = ComponentName(Me.Name);
        Keep(std::move(item));
    }

    // Serial codes 1 .. 255 go by component name, so that they do not depend on the order
    // of the file. Only the first 255 names are kept as they come; an item pushed out
    // takes its fixed axes along.
    void Keep(THeldItem Item) {
        FCoded.emplace(Item.Component, std::move(Item));
        if (FCoded.size() <= 255)
            return;
        auto last = std::prev(FCoded.end());
        NotHeld(last->second.Block, last->second.A2lName,
                "no serial code left (an item description holds 255 items)");
        FFixed.erase(last->first);
        FCoded.erase(last);
    }

    void AssignCodes() {
        std::set<std::string> present;
        int code = 0;
        for (auto& [name, item] : FCoded) {
            item.Code = ++code;
            present.insert(name);
            R.Items.push_back(std::move(item));
        }
        for (auto& [owner, item] : FFixed) {
            present.insert(item.Component);
            R.Items.push_back(std::move(item));
        }
        for (THeldItem& i : R.Items) { // axes that were pushed out
            if (!i.RowRef.empty() && !present.count(i.RowRef))
                i.RowRef.clear();
            if (!i.ColRef.empty() && !present.count(i.ColRef))
                i.ColRef.clear();
        }
    }

    const TModule& M;
    TMapping& R;
    std::set<std::string> FNames;
    std::map<std::string, std::string> FAxisPts;  // AXIS_PTS name -> component
    std::map<std::string, THeldItem> FCoded;      // by component name
    std::multimap<std::string, THeldItem> FFixed; // fixed axes by their map's component
};

} // namespace

double PrecisionOfFormat(const std::string& Format) {
    const auto dot = Format.find('.');
    if (Format.empty() || Format[0] != '%')
        return 0;
    if (dot == std::string::npos)
        return 1;
    int decimals = 0;
    for (std::size_t i = dot + 1;
         i < Format.size() && std::isdigit(static_cast<unsigned char>(Format[i])); ++i)
        decimals = std::min(15, decimals * 10 + (Format[i] - '0'));
    return decimals == 0 ? 1.0 : std::pow(10.0, -decimals);
}

const THeldItem* TMapping::Find(const std::string& A2lName) const {
    for (const THeldItem& i : Items)
        if (i.A2lName == A2lName)
            return &i;
    return nullptr;
}

TMapping MapProject(const TProject& Project, const TMapOptions& Options) {
    TMapping r;
    r.SourceName = Project.Files.empty() ? std::string() : Project.Files.front();
    const TModule* module = nullptr;
    for (const TModule& m : Project.Modules)
        if (Options.ModuleName.empty() || m.Name == Options.ModuleName) {
            module = &m;
            break;
        }
    if (!module) {
        r.NotHeld.push_back(
            {"MODULE", Options.ModuleName,
             Options.ModuleName.empty() ? "the project has no module" : "there is no such module"});
        return r;
    }
    r.ModuleName = module->Name;
    r.FormName = "Calibration";
    r.DllName = Options.DllName;
    r.RefreshInterval = Options.RefreshInterval;
    r.ByteOrder = module->ModCommon.ByteOrder;
    // The transport: the options, else the file's first XCP one on Ethernet, else the
    // simulator's slave on the loopback.
    r.Host = "127.0.0.1";
    if (!module->Transports.empty()) {
        const TXcpTransport& t = module->Transports.front();
        r.Port = t.Port;
        r.Tcp = t.Tcp;
        if (!t.Address.empty())
            r.Host = t.Address;
        else if (!t.HostName.empty())
            r.Host = t.HostName;
    } else {
        r.Notes.push_back("no XCP_ON_UDP_IP or XCP_ON_TCP_IP in the file: 127.0.0.1:5555 over "
                          "UDP unless given");
    }
    if (!Options.Host.empty())
        r.Host = Options.Host;
    if (Options.Port > 0)
        r.Port = Options.Port;
    if (Options.Tcp)
        r.Tcp = *Options.Tcp;
    TMapper(*module, r).Run();
    return r;
}

} // namespace qor::a2l
