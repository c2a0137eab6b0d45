// INI values and command entries of TQorVector.

#include "data/ArrayIni.h"
#include "data/Vector.h"

#include <utility>

namespace qor {

namespace {

// Key of element I: Name + I, Name + RowIndex + "_" + I for a map row, Name + I + "_" +
// ColIndex for a map column (the keys of the map's cells).
std::string ElementKey(const TQorVector& V, int I) {
    switch (V.Type()) {
    case vtSingle:
        break;
    case vtMatrixRow:
        return V.FileKeyName() + std::to_string(V.RowIndex()) + "_" + std::to_string(I);
    case vtMatrixCol:
        return V.FileKeyName() + std::to_string(I) + "_" + std::to_string(V.ColIndex());
    }
    return V.FileKeyName() + std::to_string(I);
}

} // namespace

bool TQorVector::SaveToIni(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // conversions may run handlers that destroy the object
    for (int i = 0; i < ArrayDimension(); ++i) {
        const std::int32_t raw = FRawValues[static_cast<std::size_t>(i)];
        if (StoreUserValue()) {
            const double value = EcuToUserIndex(raw, i);
            if (self.Destroyed())
                return false;
            Ini.WriteString(FileSection(), ElementKey(*this, i), UserValueText(value));
        } else
            Ini.WriteInteger(FileSection(), ElementKey(*this, i), raw);
    }
    return true;
}

bool TQorVector::LoadFromIni(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // handlers of the writes may destroy the object
    std::vector<std::int32_t> slots = FRawValues;
    int error = 0;
    const bool converted = ReadIniSlots(
        Ini, FileSection(), StoreUserValue(), slots, [this](int i) { return ElementKey(*this, i); },
        [this, &error, &self](int i, double value, std::int32_t& slot) {
            const TToEcuResult r = ConvertUnmerged(value, i, slot);
            if (self.Destroyed())
                return false;
            if (r.Outcome == TToEcuOutcome::NoValue) {
                error = r.Raw;
                return false;
            }
            slot = r.Raw;
            return true;
        });
    if (self.Destroyed())
        return false;
    if (!converted) {
        // An error result is neither stored nor written; the whole load is refused.
        if (!OldReadFileMode())
            DoConversionError(error);
        return false;
    }
    if (OldReadFileMode()) {
        if (!FullMask()) {
            // One silent re-read gives the bits around the field of every element.
            const std::vector<std::int32_t> held = FRawValues;
            if (!SilentReload()) {
                if (self.Destroyed())
                    return false;
                FRawValues = held;
                return false;
            }
            MergeUnderMask(slots, FRawValues, DataMask());
        }
        FRawValues = std::move(slots);
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
        return true;
    }
    // WriteRawElements merges under a partial mask itself.
    const bool ok = WriteRawElements(slots);
    if (!ok && !self.Destroyed())
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

bool TQorVector::SaveCommandEntry(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    static constexpr std::uint32_t codes[] = {CommandVectorSingle, CommandVectorMatrixRow,
                                              CommandVectorMatrixCol};
    std::string line;
    line.reserve(16 + FRawValues.size() * 3);
    AppendHexField(line, codes[Type()]);
    AppendHexField(line, DataDescriptor());
    AppendHexField(line, static_cast<std::uint32_t>(DataMask()));
    AppendHexField(line, static_cast<std::uint32_t>(ArrayDimension()));
    AppendHexField(line, 1);
    for (const std::int32_t raw : FRawValues)
        AppendHexField(line, static_cast<std::uint32_t>(raw));
    Ini.WriteString(FileSection(), FileKeyName(), line);
    return true;
}

bool TQorVector::LoadCommandEntry(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // handlers of the writes may destroy the object
    if (!Ini.ValueExists(FileSection(), FileKeyName()))
        return false;
    const std::string line = Ini.ReadString(FileSection(), FileKeyName(), "");
    Ini.DeleteKey(FileSection(), FileKeyName()); // consumed, whatever happens next
    // Missing values stay 0, surplus ones are ignored.
    std::vector<std::int32_t> values(FRawValues.size(), 0);
    TCommandValues fields(line);
    for (std::size_t i = 0; i < values.size() && !fields.AtEnd(); ++i)
        values[i] = fields.Next();
    const bool ok = WriteRawElements(values);
    if (!ok && !self.Destroyed())
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

bool TQorVector::ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) {
    return ReadCommandFieldOf(*this, Ini, Index, Value);
}

} // namespace qor
