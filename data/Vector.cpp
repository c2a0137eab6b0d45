#include "data/Vector.h"

#include "data/ArrayTransfer.h"
#include "framework/CriticalSection.h"
#include "framework/Properties.h"
#include "link/QorConnection.h"

#include <algorithm>

namespace qor {

TQorVector::TQorVector(TComponent* AOwner) : TQorSerialData(AOwner) {
    FColCount = 1;
    FRowCount = 1;
    FRowIndex = -1;
    FColIndex = -1;
    AllocateValues();
    FDataDescriptor |= ddArray;
}

TQorVector::~TQorVector() {
    FreeValues();
    DropSavedValues();
}

void TQorVector::Publish(TPublisher<TQorVector>& P) {
    using V = TQorVector;
    P.Integer("ArrayDimension", &V::ArrayDimension, &V::SetArrayDimension)
        .Enum("Type", &V::Type, &V::SetType, {"vtSingle", "vtMatrixRow", "vtMatrixCol"})
        .Integer("RowIndex", &V::RowIndex, &V::SetRowIndex)
        .Integer("ColIndex", &V::ColIndex, &V::SetColIndex)
        .Bool("ByAddress", &V::ByAddress, &V::SetByAddress)
        .Integer("Address", &V::Address, &V::SetAddress)
        .Bool("SingleElementAccess", &V::SingleElementAccess, &V::SetSingleElementAccess)
        .Component<TQorConnection>("Connection", &V::Connection, &V::SetConnection);
}

void TQorVector::SetArrayDimension(int Value) {
    // A count whose low 8 bits are 0 would leave an array without elements.
    if (Value <= 0 || Value == FColCount || (Value & 0xFF) == 0)
        return;
    FreeValues();
    FColCount = Value & 0xFF;
    AllocateValues();
    FDataDescriptor = (FDataDescriptor & ~ddValuesPerRowMask) |
                      (static_cast<std::uint32_t>(FColCount) << ddValuesPerRowShift);
    FDataValid = false;
}

TVectorType TQorVector::Type() const {
    if (FColIndex >= 0)
        return vtMatrixCol;
    return FRowIndex >= 0 ? vtMatrixRow : vtSingle;
}

void TQorVector::SetType(TVectorType Value) {
    switch (Value) {
    case vtSingle:
        FRowIndex = FColIndex = -1;
        break;
    case vtMatrixRow:
        FColIndex = -1;
        FRowIndex = std::max(FRowIndex, 0);
        break;
    case vtMatrixCol:
        FRowIndex = -1;
        FColIndex = std::max(FColIndex, 0);
        break;
    }
}

void TQorVector::SetRowIndex(int Value) {
    if (Value >= 0 && Type() == vtMatrixRow)
        FRowIndex = Value;
}

void TQorVector::SetColIndex(int Value) {
    if (Value >= 0 && Type() == vtMatrixCol)
        FColIndex = Value;
}

void TQorVector::SetDefaultValue(int Index, double Value) {
    if (Index >= 0 && Index < ArrayDimension())
        FDefaultValues[static_cast<std::size_t>(Index)] = Value;
}

void TQorVector::AllocateValues() {
    FreeValues();
    FRawValues.assign(static_cast<std::size_t>(FColCount), 0);
    FDefaultValues.assign(static_cast<std::size_t>(FColCount), 0.0);
    FValuesAllocated = true;
}

void TQorVector::FreeValues() {
    if (!FValuesAllocated)
        return;
    FRawValues.clear();
    FDefaultValues.clear();
    FValuesAllocated = false;
}

void TQorVector::SaveValues() {
    FSavedRawValues = FRawValues;
}

void TQorVector::DropSavedValues() {
    FSavedRawValues.reset();
}

void TQorVector::RestoreValues() {
    if (!FSavedRawValues)
        return;
    // A snapshot taken before a resize no longer fits; the shorter length is taken.
    std::copy_n(FSavedRawValues->begin(), std::min(FSavedRawValues->size(), FRawValues.size()),
                FRawValues.begin());
    DropSavedValues();
}

std::uint32_t TQorVector::ElementAddress(int Index) const {
    return static_cast<std::uint32_t>(FAddress + Index * DataLength());
}

bool TQorVector::ReadByMode(TSerInterface& Link) {
    const std::uint32_t dd = DataDescriptor();
    const int n = ArrayDimension();
    std::int32_t* raw = FRawValues.data();
    if (FByAddress || Type() == vtMatrixCol) {
        bool ok = true;
        for (int i = 0; i < n; ++i) {
            const bool done = FByAddress ? Link.ReadAtAddress(dd, ElementAddress(i), &raw[i])
                                         : Link.ReadElement(dd, &raw[i], i, FColIndex);
            ok = ok && done;
            if (Link.GetLastStatus() != 0)
                break;
        }
        return ok;
    }
    if (Type() == vtMatrixRow)
        return ReadValues(raw, FRawValues.size(), [&](std::int32_t* p) {
            return Link.ReadIndexed(dd & ~ddArray, p, FRowIndex);
        });
    return ReadValues(raw, FRawValues.size(),
                      [&](std::int32_t* p) { return Link.ReadData(dd, p); });
}

bool TQorVector::ReadFromEcu() {
    if (FDataValid)
        return true;
    TQorConnection* con = Connection();
    if (!con) {
        FDataValid = false;
        return false;
    }
    if (!con->LoadDll()) {
        FDataValid = false;
        DoError(false);
        return false;
    }
    return ReadThroughLink(*con, [this](TSerInterface& Link) { return ReadByMode(Link); });
}

bool TQorVector::WriteByMode(TSerInterface& Link, const std::vector<std::int32_t>& V) {
    const std::uint32_t dd = DataDescriptor();
    const int n = ArrayDimension();
    // Element loops write every element, whatever an earlier one answered.
    bool ok = true;
    const auto each = [&](auto Write) {
        for (int i = 0; i < n; ++i)
            ok = Write(i, V[static_cast<std::size_t>(i)]) && ok;
        return ok;
    };
    if (FByAddress)
        return each([&](int i, int v) { return Link.WriteAtAddress(dd, ElementAddress(i), v); });
    switch (Type()) {
    case vtMatrixCol:
        return each([&](int i, int v) { return Link.WriteElement(dd, i, FColIndex, v); });
    case vtMatrixRow:
        if (FSingleElementAccess)
            return each([&](int i, int v) { return Link.WriteElement(dd, FRowIndex, i, v); });
        return WriteValues(V.data(), V.size(),
                           [&](const std::int32_t* p) { return Link.WriteRow(dd, p, FRowIndex); });
    case vtSingle:
        break;
    }
    if (FSingleElementAccess)
        return each([&](int i, int v) { return Link.WriteIndexed(dd, i, v); });
    return WriteValues(V.data(), V.size(),
                       [&](const std::int32_t* p) { return Link.WriteData(dd, p); });
}

bool TQorVector::BlockWrite(std::vector<std::int32_t> V) {
    return WriteBlock([&](TSerInterface& Link) { return WriteByMode(Link, V); },
                      [&] { FRawValues = std::move(V); });
}

bool TQorVector::WriteToEcu() {
    return BlockWrite(FRawValues);
}

bool TQorVector::WriteRawElements(std::span<const std::int32_t> Values) {
    if (ReadOnly() || Values.size() != FRawValues.size())
        return false;
    std::vector<std::int32_t> v(Values.begin(), Values.end());
    if (!FullMask()) {
        // Only the masked bits are ours: the others come fresh from the ECU.
        if (!SilentReload())
            return false; // also when a handler of the re-read destroyed this object
        const int mask = DataMask();
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = (FRawValues[i] & ~mask) | (v[i] & mask);
    }
    return BlockWrite(std::move(v));
}

bool TQorVector::GetElementValue(int Index, double& Value) {
    if (Index < 0 || Index >= ArrayDimension()) {
        Value = 0.0;
        return false;
    }
    const auto i = static_cast<std::size_t>(Index);
    const std::int32_t kept = FRawValues[i];
    TComponentWatch self(this);
    const bool ok = ReadFromEcu();
    if (self.Destroyed()) { // by a handler of the read
        Value = 0.0;
        return false;
    }
    if (!ok)
        FRawValues[i] = kept;
    Value = EcuToUserIndex(FRawValues[i], Index);
    return ok && !self.Destroyed(); // a conversion handler may destroy it
}

bool TQorVector::ApplyDefaults(bool WriteToEcu) {
    // Every element is converted before anything changes, so that an element without a
    // value leaves the array as it was.
    std::vector<std::int32_t> v(FRawValues.size());
    TComponentWatch self(this); // conversions may run handlers that destroy the object
    for (std::size_t i = 0; i < v.size(); ++i) {
        const TToEcuResult r =
            ConvertUnmerged(FDefaultValues[i], static_cast<int>(i), FRawValues[i]);
        if (self.Destroyed())
            return false;
        if (r.Outcome == TToEcuOutcome::NoValue) {
            if (WriteToEcu)
                DoConversionError(r.Raw);
            return false;
        }
        v[i] = r.Raw;
    }
    if (!FullMask()) {
        // One re-read for the whole array: a re-read per element would overwrite the
        // elements already converted with the ECU's values.
        const bool reread = SilentReload();
        if (self.Destroyed())
            return false;
        if (!reread && WriteToEcu)
            return false; // writing would clear the ECU's bits around the field
        const int mask = DataMask();
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = (reread ? FRawValues[i] & ~mask : 0) | (v[i] & mask);
    }
    FRawValues = v;
    const bool ok = !WriteToEcu || (BlockWrite(std::move(v)) && !self.Destroyed());
    if (ok)
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

void TQorVector::DecodePacket(const std::uint8_t*) {}

} // namespace qor
