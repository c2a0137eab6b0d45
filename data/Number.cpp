#include "data/Number.h"

#include "data/ArrayTransfer.h"
#include "framework/CriticalSection.h"
#include "framework/Properties.h"
#include "link/QorConnection.h"

#include <algorithm>

namespace qor {

TQorNumber::TQorNumber(TComponent* AOwner) : TQorSerialData(AOwner) {
    FColCount = 1;
    FRowCount = 1;
    FRowIndex = -1;
    FColIndex = -1;
    AllocateValues();
}

void TQorNumber::Publish(TPublisher<TQorNumber>& P) {
    using N = TQorNumber;
    P.Enum("Type", &N::Type, &N::SetType, {"ntSingle", "ntVectorElement", "ntMatrixElement"})
        .Integer("RowIndex", &N::RowIndex, &N::SetRowIndex)
        .Integer("ColIndex", &N::ColIndex, &N::SetColIndex)
        .Bool("ByAddress", &N::ByAddress, &N::SetByAddress)
        .Integer("Address", &N::Address, &N::SetAddress)
        .Float("DefaultValue", &N::DefaultValue, &N::SetDefaultValue)
        .Component<TQorConnection>("Connection", &N::Connection, &N::SetConnection);
}

TNumberType TQorNumber::Type() const {
    if (FRowIndex < 0)
        return ntSingle;
    return FColIndex < 0 ? ntVectorElement : ntMatrixElement;
}

void TQorNumber::SetType(TNumberType Value) {
    switch (Value) {
    case ntSingle:
        FRowIndex = FColIndex = -1;
        break;
    case ntVectorElement:
        FColIndex = -1;
        FRowIndex = std::max(FRowIndex, 0);
        break;
    case ntMatrixElement:
        FRowIndex = std::max(FRowIndex, 0);
        FColIndex = std::max(FColIndex, 0);
        break;
    }
}

void TQorNumber::SetRowIndex(int Value) {
    if (Value < 0)
        FRowIndex = FColIndex = -1;
    else
        FRowIndex = Value;
}

void TQorNumber::SetColIndex(int Value) {
    if (Value < 0)
        FColIndex = -1;
    else if (FRowIndex >= 0)
        FColIndex = Value;
}

void TQorNumber::AllocateValues() {
    FRawValue = 0;
    FDefaultValue = 0.0;
}

void TQorNumber::FreeValues() {}

void TQorNumber::SaveValues() {
    FSavedRawValue = FRawValue;
}

void TQorNumber::DropSavedValues() {}

void TQorNumber::RestoreValues() {
    FRawValue = FSavedRawValue;
}

bool TQorNumber::Read(TSerInterface& Link) {
    const std::uint32_t dd = DataDescriptor();
    // A library may answer with more than the one value asked for (a vector element of a
    // map item gets a whole row): it reads into room for the largest answer, and the
    // number keeps the first value.
    return ReadValues(&FRawValue, 1, [&](std::int32_t* Dest) {
        if (FByAddress)
            return Link.ReadAtAddress(dd, static_cast<std::uint32_t>(FAddress), Dest);
        if (FRowIndex < 0)
            return Link.ReadData(dd, Dest);
        if (FColIndex < 0)
            return Link.ReadIndexed(dd, Dest, FRowIndex);
        return Link.ReadElement(dd, Dest, FRowIndex, FColIndex);
    });
}

bool TQorNumber::Write(TSerInterface& Link, int Raw) {
    const std::uint32_t dd = DataDescriptor();
    if (FByAddress)
        return Link.WriteAtAddress(dd, static_cast<std::uint32_t>(FAddress), Raw);
    if (FRowIndex < 0)
        return Link.WriteValue(dd, Raw);
    if (FColIndex < 0)
        return Link.WriteIndexed(dd, FRowIndex, Raw);
    return Link.WriteElement(dd, FRowIndex, FColIndex, Raw);
}

bool TQorNumber::ReadFromEcu() {
    if (FDataValid)
        return true;
    FDataValid = false;
    TQorConnection* con = Connection();
    // Without a library there is nothing to read; the next call tries again.
    if (!con || !con->LoadDll())
        return true;
    return ReadThroughLink(*con, [this](TSerInterface& Link) { return Read(Link); });
}

bool TQorNumber::WriteEcuValue(int Raw) {
    FDataValid = false;
    TQorConnection* con = Connection();
    if (!con || !con->LoadDll()) {
        FRawValue = Raw;
        TComponentWatch self(this);
        DoError(true);
        return !self.Destroyed();
    }
    {
        TCriticalSectionGuard lock(con->LinkLock());
        FDataValid = Write(*con->SerInterface(), Raw);
    }
    const bool written = FDataValid;
    TComponentWatch self(this);
    if (written) {
        FRawValue = Raw;
        DoSetData();
    } else {
        DoError(true);
    }
    return written && !self.Destroyed();
}

bool TQorNumber::TryReadUserValue(double& Value) {
    SaveValues();
    TComponentWatch self(this);
    const bool ok = ReadFromEcu();
    if (self.Destroyed()) { // by a handler of the read
        Value = 0.0;
        return false;
    }
    if (!ok)
        RestoreValues();
    Value = EcuToUser(FRawValue);
    return ok && !self.Destroyed(); // a conversion handler may destroy it
}

double TQorNumber::GetUserValue() {
    double value = 0.0;
    TryReadUserValue(value);
    return value;
}

bool TQorNumber::SetUserValue(double Value) {
    if (ReadOnly()) {
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
        return false;
    }
    TComponentWatch self(this);
    const double prev = GetUserValue();
    if (self.Destroyed() || !DoBeforeSetData(&Value, prev, -1, -1) || self.Destroyed())
        return false;
    const TToEcuResult converted = ConvertToEcu(Value, std::nullopt, &FRawValue);
    if (self.Destroyed())
        return false;
    switch (converted.Outcome) {
    case TToEcuOutcome::NoValue:
        DoConversionError(converted.Raw);
        return false;
    case TToEcuOutcome::ReadBackFailed:
        // Writing now would clear the ECU's bits around the field.
        return false;
    case TToEcuOutcome::Converted:
        break;
    }
    return WriteEcuValue(converted.Raw);
}

bool TQorNumber::WriteRaw(int Raw) {
    double scratch = 0.0;
    TComponentWatch self(this);
    if (!DoBeforeSetData(&scratch, 0.0, -1, -1) || self.Destroyed())
        return false;
    if (!FullMask()) {
        if (!SilentReload())
            return false; // also when a handler of the re-read destroyed this object
        Raw = (FRawValue & ~DataMask()) | (Raw & DataMask());
    }
    return WriteEcuValue(Raw);
}

bool TQorNumber::SetEcuValue(int Raw) {
    return !ReadOnly() && WriteRaw(Raw);
}

bool TQorNumber::WriteToEcu() {
    return WriteRaw(FRawValue);
}

bool TQorNumber::ApplyDefaults(bool WriteToEcu) {
    TComponentWatch self(this);
    const TToEcuResult converted = ConvertToEcu(FDefaultValue, std::nullopt, &FRawValue);
    if (self.Destroyed())
        return false;
    if (converted.Outcome == TToEcuOutcome::NoValue) {
        if (WriteToEcu)
            DoConversionError(converted.Raw);
        return false;
    }
    if (WriteToEcu && converted.Outcome == TToEcuOutcome::ReadBackFailed)
        return false;
    FRawValue = converted.Raw;
    bool ok = true;
    if (WriteToEcu)
        ok = WriteEcuValue(converted.Raw) && !self.Destroyed();
    if (ok)
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

void TQorNumber::DecodePacket(const std::uint8_t* Data) {
    // Taken before BeforeGetData: its handler may free the buffer's owner.
    const std::uint8_t low = Data[0], high = DataLength() == 2 ? Data[1] : 0;
    TComponentWatch self(this);
    DoBeforeGetData();
    if (self.Destroyed())
        return;
    if (DataLength() == 2) {
        const auto word = static_cast<std::uint16_t>(low | (high << 8));
        FRawValue = Signed() ? static_cast<std::int16_t>(word) : word;
    } else {
        FRawValue = Signed() ? static_cast<std::int8_t>(low) : low;
    }
    DoGetData();
}

} // namespace qor
