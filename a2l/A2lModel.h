#pragma once
// What the reader keeps of an ECU description: the project, its modules and, in each
// module, the blocks that describe calibration parameters, measurements and the XCP
// transport. Every item keeps the place where it was defined, for messages.

#include "a2l/A2lError.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qor::a2l {

enum class TDataType {
    UByte,
    SByte,
    UWord,
    SWord,
    ULong,
    SLong,
    UInt64,
    Int64,
    Float16,
    Float32,
    Float64
};
const char* DataTypeName(TDataType Type);
int DataTypeSize(TDataType Type); // bytes

// MsbFirst: the most significant byte at the lowest address (big endian).
enum class TByteOrder { MsbLast, MsbFirst };

struct TLimits {
    double Lower = 0;
    double Upper = 0;
};

struct TFixAxisPar { // values Offset + i * 2^Shift
    double Offset = 0;
    int Shift = 0;
    int Count = 0;
};
struct TFixAxisParDist { // values Offset + i * Distance
    double Offset = 0;
    double Distance = 0;
    int Count = 0;
};

enum class TAxisAttribute { Std, Fix, Com, Res, Curve };

struct TAxisDescr {
    TAxisAttribute Attribute = TAxisAttribute::Std;
    std::string InputQuantity;
    std::string Conversion;
    int MaxAxisPoints = 0;
    TLimits Limits;
    std::string AxisPtsRef;
    std::optional<TFixAxisPar> FixPar;
    std::optional<TFixAxisParDist> FixParDist;
    std::vector<double> FixParList;
    std::optional<TLimits> ExtendedLimits;
    std::string Format;
    std::string PhysUnit;
    bool ReadOnly = false;
    std::optional<TByteOrder> ByteOrder;
    TPosition Pos;
};

enum class TCharacteristicType { Value, Curve, Map, ValBlk, Other };

struct TCharacteristic {
    std::string Name;
    std::string LongId;
    TCharacteristicType Type = TCharacteristicType::Value;
    std::string TypeName; // as written (ASCII, CUBOID, ...)
    std::uint32_t Address = 0;
    std::string Deposit; // RECORD_LAYOUT
    double MaxDiff = 0;
    std::string Conversion; // COMPU_METHOD or NO_COMPU_METHOD
    TLimits Limits;
    int AddressExtension = 0;
    std::optional<std::uint64_t> BitMask;
    std::optional<TLimits> ExtendedLimits;
    std::string Format;
    std::string PhysUnit;
    bool ReadOnly = false;
    std::vector<int> MatrixDim;
    std::optional<int> Number;
    std::optional<TByteOrder> ByteOrder;
    std::vector<TAxisDescr> Axes;
    TPosition Pos;
};

struct TAxisPts {
    std::string Name;
    std::string LongId;
    std::uint32_t Address = 0;
    std::string InputQuantity;
    std::string Deposit;
    double MaxDiff = 0;
    std::string Conversion;
    int MaxAxisPoints = 0;
    TLimits Limits;
    int AddressExtension = 0;
    std::optional<TLimits> ExtendedLimits;
    std::string Format;
    std::string PhysUnit;
    bool ReadOnly = false;
    std::optional<TByteOrder> ByteOrder;
    TPosition Pos;
};

enum class TIndexMode { RowDir, ColumnDir, AlternateCurves, AlternateWithX, AlternateWithY };

struct TFncValues {
    int Position = 1;
    TDataType Type = TDataType::UByte;
    TIndexMode IndexMode = TIndexMode::RowDir;
    std::string Addressing; // DIRECT, PBYTE, ...
};
struct TAxisPtsEntry {
    int Position = 1;
    TDataType Type = TDataType::UByte;
    bool Increasing = true; // INDEX_INCR; INDEX_DECR stores the last point first
    std::string Addressing;
};
struct TNoAxisPtsEntry {
    int Position = 1;
    TDataType Type = TDataType::UByte;
};

struct TRecordLayout {
    std::string Name;
    std::optional<TFncValues> FncValues;
    std::optional<TAxisPtsEntry> AxisPtsX, AxisPtsY;
    std::optional<TNoAxisPtsEntry> NoAxisPtsX, NoAxisPtsY;
    // Other entries (RIP_ADDR_*, SRC_ADDR_*, SHIFT_OP_*, ...): their keywords, so that a
    // mapping can refuse layouts it does not understand.
    std::vector<std::string> OtherEntries;
    // STATIC_RECORD_LAYOUT: room for the most axis points, whatever number the ECU holds.
    bool StaticLayout = false;
    TPosition Pos;
};

enum class TConversionType { Identical, Linear, RatFunc, TabIntp, TabNoIntp, TabVerb, Form };
const char* ConversionTypeName(TConversionType Type);

struct TCompuMethod {
    std::string Name;
    std::string LongId;
    TConversionType Type = TConversionType::Identical;
    std::string Format;
    std::string Unit;
    std::optional<std::array<double, 6>> Coeffs;       // RAT_FUNC a .. f
    std::optional<std::array<double, 2>> CoeffsLinear; // LINEAR a, b
    std::string CompuTabRef;
    std::string Formula;
    std::string FormulaInv;
    std::string RefUnit;
    TPosition Pos;
};

struct TCompuTab { // COMPU_TAB (numbers), COMPU_VTAB (texts) and COMPU_VTAB_RANGE
    enum class Kind { Numeric, Verbal, VerbalRange };
    Kind TabKind = Kind::Numeric;
    std::string Name;
    std::string LongId;
    TConversionType Type = TConversionType::TabIntp;
    std::vector<double> In;         // inputs; range tables: lower ends
    std::vector<double> InMax;      // range tables: upper ends
    std::vector<double> Out;        // numeric tables
    std::vector<std::string> Texts; // verbal tables
    std::string DefaultValue;
    std::optional<double> DefaultNumeric;
    TPosition Pos;
};

struct TUnit {
    std::string Name;
    std::string LongId;
    std::string Display;
    std::string Type;
    TPosition Pos;
};

struct TMeasurement {
    std::string Name;
    std::string LongId;
    TDataType Type = TDataType::UByte;
    std::string Conversion;
    int Resolution = 0;
    double Accuracy = 0;
    TLimits Limits;
    std::optional<std::uint32_t> Address;
    int AddressExtension = 0;
    std::optional<std::uint64_t> BitMask;
    std::string Format;
    std::string PhysUnit;
    std::optional<TByteOrder> ByteOrder;
    int ArraySize = 0;
    std::vector<int> MatrixDim;
    bool ReadWrite = false;
    TPosition Pos;
};

struct TModCommon {
    std::string Comment;
    std::optional<TByteOrder> ByteOrder;
    int AlignmentByte = 1, AlignmentWord = 2, AlignmentLong = 4, AlignmentInt64 = 8,
        AlignmentFloat32 = 4, AlignmentFloat64 = 8;
};

struct TMemorySegment {
    std::string Name;
    std::string LongId;
    std::string PrgType;
    std::string MemoryType;
    std::string Attribute;
    std::uint32_t Address = 0;
    std::uint32_t Size = 0;
};

struct TModPar {
    std::string Comment;
    std::string Epk;
    std::vector<std::uint32_t> AddrEpk;
    std::vector<TMemorySegment> MemorySegments;
};

struct TXcpTransport {
    bool Tcp = false;
    int Version = 0;
    int Port = 0;
    std::string Address;  // ADDRESS "a.b.c.d"
    std::string HostName; // HOST_NAME "name"
};

struct TModule {
    std::string Name;
    std::string LongId;
    TModCommon ModCommon;
    TModPar ModPar;
    // The lists that grow with the file are deques: no copy of the whole list as it grows.
    std::deque<TCharacteristic> Characteristics;
    std::deque<TAxisPts> AxisPts;
    std::vector<TRecordLayout> RecordLayouts;
    std::vector<TCompuMethod> CompuMethods;
    std::vector<TCompuTab> CompuTabs;
    std::vector<TUnit> Units;
    std::deque<TMeasurement> Measurements;
    std::vector<TXcpTransport> Transports;

    // By name; null when there is none.
    const TCharacteristic* FindCharacteristic(const std::string& Name) const;
    const TAxisPts* FindAxisPts(const std::string& Name) const;
    const TRecordLayout* FindRecordLayout(const std::string& Name) const;
    const TCompuMethod* FindCompuMethod(const std::string& Name) const;
    const TCompuTab* FindCompuTab(const std::string& Name) const;
    const TUnit* FindUnit(const std::string& Name) const;
    const TMeasurement* FindMeasurement(const std::string& Name) const;

    // Fills the name indexes; the reader calls it when the module is complete. False when a
    // name is defined twice among items of one kind (Duplicate and Where tell which).
    bool Index(std::string& Duplicate, TPosition& Where);

private:
    using NameIndex = std::unordered_map<std::string, std::size_t>;
    NameIndex FCharacteristics, FAxisPts, FRecordLayouts, FCompuMethods, FCompuTabs, FUnits,
        FMeasurements;
};

struct TProject {
    std::string Name;
    std::string LongId;
    int VersionMajor = 1; // ASAP2_VERSION
    int VersionMinor = 71;
    std::vector<TModule> Modules;
    std::vector<std::string> Files; // the file read first, then every included one
};

} // namespace qor::a2l
