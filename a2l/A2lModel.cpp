#include "a2l/A2lModel.h"

namespace qor::a2l {

const char* DataTypeName(TDataType Type) {
    switch (Type) {
    case TDataType::UByte:
        return "UBYTE";
    case TDataType::SByte:
        return "SBYTE";
    case TDataType::UWord:
        return "UWORD";
    case TDataType::SWord:
        return "SWORD";
    case TDataType::ULong:
        return "ULONG";
    case TDataType::SLong:
        return "SLONG";
    case TDataType::UInt64:
        return "A_UINT64";
    case TDataType::Int64:
        return "A_INT64";
    case TDataType::Float16:
        return "FLOAT16_IEEE";
    case TDataType::Float32:
        return "FLOAT32_IEEE";
    case TDataType::Float64:
        return "FLOAT64_IEEE";
    }
    return "?";
}

int DataTypeSize(TDataType Type) {
    switch (Type) {
    case TDataType::UByte:
    case TDataType::SByte:
        return 1;
    case TDataType::UWord:
    case TDataType::SWord:
    case TDataType::Float16:
        return 2;
    case TDataType::ULong:
    case TDataType::SLong:
    case TDataType::Float32:
        return 4;
    case TDataType::UInt64:
    case TDataType::Int64:
    case TDataType::Float64:
        return 8;
    }
    return 1;
}

const char* ConversionTypeName(TConversionType Type) {
    switch (Type) {
    case TConversionType::Identical:
        return "IDENTICAL";
    case TConversionType::Linear:
        return "LINEAR";
    case TConversionType::RatFunc:
        return "RAT_FUNC";
    case TConversionType::TabIntp:
        return "TAB_INTP";
    case TConversionType::TabNoIntp:
        return "TAB_NOINTP";
    case TConversionType::TabVerb:
        return "TAB_VERB";
    case TConversionType::Form:
        return "FORM";
    }
    return "?";
}

namespace {

template <class List>
const typename List::value_type* FindIn(const List& Items,
                                        const std::unordered_map<std::string, std::size_t>& Index,
                                        const std::string& Name) {
    auto it = Index.find(Name);
    return it == Index.end() ? nullptr : &Items[it->second];
}

template <class List>
bool Fill(const List& Items, std::unordered_map<std::string, std::size_t>& Index, const char* Kind,
          std::string& Duplicate, TPosition& Where) {
    Index.clear();
    Index.reserve(Items.size());
    for (std::size_t i = 0; i < Items.size(); ++i)
        if (!Index.emplace(Items[i].Name, i).second) {
            Duplicate = std::string(Kind) + " " + Items[i].Name;
            Where = Items[i].Pos;
            return false;
        }
    return true;
}

} // namespace

const TCharacteristic* TModule::FindCharacteristic(const std::string& Name) const {
    return FindIn(Characteristics, FCharacteristics, Name);
}
const TAxisPts* TModule::FindAxisPts(const std::string& Name) const {
    return FindIn(AxisPts, FAxisPts, Name);
}
const TRecordLayout* TModule::FindRecordLayout(const std::string& Name) const {
    return FindIn(RecordLayouts, FRecordLayouts, Name);
}
const TCompuMethod* TModule::FindCompuMethod(const std::string& Name) const {
    return FindIn(CompuMethods, FCompuMethods, Name);
}
const TCompuTab* TModule::FindCompuTab(const std::string& Name) const {
    return FindIn(CompuTabs, FCompuTabs, Name);
}
const TUnit* TModule::FindUnit(const std::string& Name) const {
    return FindIn(Units, FUnits, Name);
}
const TMeasurement* TModule::FindMeasurement(const std::string& Name) const {
    return FindIn(Measurements, FMeasurements, Name);
}

bool TModule::Index(std::string& Duplicate, TPosition& Where) {
    return Fill(Characteristics, FCharacteristics, "CHARACTERISTIC", Duplicate, Where) &&
           Fill(AxisPts, FAxisPts, "AXIS_PTS", Duplicate, Where) &&
           Fill(RecordLayouts, FRecordLayouts, "RECORD_LAYOUT", Duplicate, Where) &&
           Fill(CompuMethods, FCompuMethods, "COMPU_METHOD", Duplicate, Where) &&
           Fill(CompuTabs, FCompuTabs, "conversion table", Duplicate, Where) &&
           Fill(Units, FUnits, "UNIT", Duplicate, Where) &&
           Fill(Measurements, FMeasurements, "MEASUREMENT", Duplicate, Where);
}

} // namespace qor::a2l
