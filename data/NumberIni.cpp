// INI values and command entries of TQorNumber.

#include "data/IniPersistence.h"
#include "data/Number.h"
#include "framework/IniFiles.h"

#include <algorithm>

namespace qor {

std::string TQorNumber::IniKey() const {
    switch (Type()) {
    case ntSingle:
        break;
    case ntVectorElement:
        return FileKeyName() + std::to_string(FRowIndex);
    case ntMatrixElement:
        return FileKeyName() + std::to_string(FRowIndex) + "_" + std::to_string(FColIndex);
    }
    return FileKeyName();
}

bool TQorNumber::SaveToIni(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // conversions may run handlers that destroy the object
    if (StoreUserValue()) {
        const double value = EcuToUser(FRawValue);
        if (self.Destroyed())
            return false;
        Ini.WriteString(FileSection(), IniKey(), UserValueText(value));
    } else
        Ini.WriteInteger(FileSection(), IniKey(), FRawValue);
    return true;
}

bool TQorNumber::StoreUserValueOnly(double Value) {
    // The mask merge re-reads into RawValue; whatever that leaves is undone on failure.
    const int held = FRawValue;
    TComponentWatch self(this);
    const TToEcuResult converted = ConvertToEcu(Value, std::nullopt, &FRawValue);
    if (self.Destroyed())
        return false;
    if (converted.Outcome != TToEcuOutcome::Converted) {
        // An error result or half-known bits never become the held value.
        FRawValue = held;
        return false;
    }
    FRawValue = converted.Raw;
    NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return true;
}

bool TQorNumber::LoadFromIni(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // handlers of the writes may destroy the object
    const std::string key = IniKey();
    if (!Ini.ValueExists(FileSection(), key))
        return false;
    bool ok = false;
    if (StoreUserValue()) {
        double value = 0.0;
        if (!TryParseUserFloat(Ini.ReadString(FileSection(), key, ""), value))
            return false;
        if (OldReadFileMode())
            return StoreUserValueOnly(value);
        ok = SetUserValue(value);
    } else {
        int raw = 0;
        if (!ReadIniInteger(Ini, FileSection(), key, raw))
            return false;
        if (OldReadFileMode()) {
            FRawValue = raw;
            NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
            return true;
        }
        ok = SetEcuValue(raw);
    }
    if (!ok && !self.Destroyed())
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

bool TQorNumber::SaveCommandEntry(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    static constexpr std::uint32_t codes[] = {CommandNumberSingle, CommandNumberVectorElement,
                                              CommandNumberMatrixElement};
    std::string line;
    AppendHexField(line, codes[Type()]);
    AppendHexField(line, DataDescriptor());
    AppendHexField(line, static_cast<std::uint32_t>(DataMask()));
    AppendHexField(line, static_cast<std::uint32_t>(std::max(FColIndex, 1)));
    AppendHexField(line, static_cast<std::uint32_t>(std::max(FRowIndex, 1)));
    AppendHexField(line, static_cast<std::uint32_t>(FRawValue));
    Ini.WriteString(FileSection(), FileKeyName(), line);
    return true;
}

bool TQorNumber::LoadCommandEntry(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // handlers of the writes may destroy the object
    if (!Ini.ValueExists(FileSection(), FileKeyName()))
        return false;
    const std::string line = Ini.ReadString(FileSection(), FileKeyName(), "F0 0 0 0 0 0");
    Ini.DeleteKey(FileSection(), FileKeyName()); // consumed, whatever happens next
    std::string_view field = line;
    for (int i = 0; i < 5; ++i)
        field = AfterFirstBlank(field);
    const bool ok = SetEcuValue(CommandHexValue(field));
    if (!ok && !self.Destroyed())
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

bool TQorNumber::ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) {
    return ReadCommandFieldOf(*this, Ini, Index, Value);
}

} // namespace qor
