#include "data/SerialData.h"

#include "data/EditHistory.h"
#include "data/PacketData.h"
#include "data/Transformations.h"
#include "framework/Control.h"
#include "framework/CriticalSection.h"
#include "framework/Properties.h"
#include "link/QorConnection.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace qor {

namespace {

constexpr std::uint32_t DescriptorTwoBytes = 0x200;
constexpr std::uint32_t DescriptorSigned = 0x400;

// One run of 1 bits (or none): 0x0F, 0xF0, 0x3C and 0 are; 0x05 and 0x81 are not.
bool IsContiguous(unsigned Mask) {
    if (Mask == 0)
        return true;
    unsigned run = Mask >> std::countr_zero(Mask);
    return (run & (run + 1)) == 0;
}

} // namespace

TQorSerialData::TQorSerialData(TComponent* AOwner) : TComponent(AOwner) {}

TQorSerialData::~TQorSerialData() {
    Destroying();
    FTableEcu.clear();
    FTableUser.clear();
    FTableLoaded = false;
    if (FConnection)
        FConnection->RemoveFreeNotification(this);
    for (TBaseTransformation* t : FTransformations)
        if (t)
            t->RemoveFreeNotification(this);
    for (TQorSerialData*& source : FExtCoeff) {
        if (source)
            source->RemoveClient(this);
        source = nullptr;
    }
    FClients.clear();
    FClientPaths.clear();
}

void TQorSerialData::Publish(TPublisher<TQorSerialData>& P) {
    using S = TQorSerialData;
    // DataMask's stream default is one that no mask takes, so every mask is written: a
    // mask of 0 left out would read back as the 255 of a new object.
    P.Integer("DataLength", &S::DataLength, &S::SetDataLength, 1)
        .Integer("DataMask", &S::DataMask, &S::SetDataMask, -1)
        .Integer("SerialCode", &S::SerialCode, &S::SetSerialCode)
        .Bool("Signed", &S::Signed, &S::SetSigned)
        .Enum("Transformation", &S::Transformation, &S::SetTransformation,
              {"ttNone", "ttFormula", "ttTabled", "ttNonLinearTabled", "ttCustom"})
        .String("MeasureUnit", &S::MeasureUnit, &S::SetMeasureUnit)
        .Float("Precision", &S::Precision, &S::SetPrecision)
        .Float("ValueMin", &S::ValueMin, &S::SetValueMin)
        .Float("ValueMax", &S::ValueMax, &S::SetValueMax)
        .Bool("DisableLimits", &S::DisableLimits, &S::SetDisableLimits)
        .Integer("DataGroup", &S::DataGroup, &S::SetDataGroup)
        .Bool("OldReadFileMode", &S::OldReadFileMode, &S::SetOldReadFileMode)
        .Component<TQorSerialData>("ExtCoeffA", &S::ExtCoeffA, &S::SetExtCoeffA)
        .Component<TQorSerialData>("ExtCoeffB", &S::ExtCoeffB, &S::SetExtCoeffB)
        .Component<TQorSerialData>("ExtCoeffC", &S::ExtCoeffC, &S::SetExtCoeffC)
        .Component<TQorSerialData>("ExtCoeffD", &S::ExtCoeffD, &S::SetExtCoeffD)
        .Component<TBaseTransformation>("TransformationA", &S::TransformationA,
                                        &S::SetTransformationA)
        .Component<TBaseTransformation>("TransformationB", &S::TransformationB,
                                        &S::SetTransformationB)
        .Component<TBaseTransformation>("TransformationC", &S::TransformationC,
                                        &S::SetTransformationC)
        .Component<TBaseTransformation>("TransformationD", &S::TransformationD,
                                        &S::SetTransformationD)
        .String("FileSection", &S::FileSection, &S::SetFileSection)
        .String("FileKeyName", &S::FileKeyName, &S::SetFileKeyName)
        .Bool("StoreUserValue", &S::StoreUserValue, &S::SetStoreUserValue, true)
        .Bool("ReadOnly", &S::ReadOnly, &S::SetReadOnly);
}

void TQorSerialData::SetDataLength(int Value) {
    if (Value == FDataLength || (Value != 1 && Value != 2))
        return;
    AllocateValues();
    const std::uint32_t old = FDataDescriptor;
    FDataLength = Value;
    FDataMask = Value == 2 ? 0xFFFF : 0xFF;
    if (Value == 2)
        FDataDescriptor |= DescriptorTwoBytes;
    else
        FDataDescriptor &= ~DescriptorTwoBytes;
    FDataValid = false;
    if (FDataDescriptor != old)
        DescriptorChanged(old);
}

void TQorSerialData::SetDataMask(int Value) {
    const unsigned width = FDataLength == 2 ? 0xFFFFu : 0xFFu;
    const unsigned mask = static_cast<unsigned>(Value) & width;
    if (static_cast<int>(mask) == FDataMask || !IsContiguous(mask))
        return;
    AllocateValues();
    FDataMask = static_cast<int>(mask);
    FDataValid = false;
}

void TQorSerialData::SetSerialCode(int Value) {
    if (Value < 0)
        return;
    const std::uint32_t old = FDataDescriptor;
    FSerialCode = Value & 0xFF;
    FDataDescriptor = (FDataDescriptor & ~0xFFu) | static_cast<std::uint32_t>(FSerialCode);
    if (FDataDescriptor != old)
        DescriptorChanged(old);
}

void TQorSerialData::SetSigned(bool Value) {
    const std::uint32_t old = FDataDescriptor;
    FSigned = Value;
    if (Value)
        FDataDescriptor |= DescriptorSigned;
    else
        FDataDescriptor &= ~DescriptorSigned;
    if (FDataDescriptor != old)
        DescriptorChanged(old);
}

void TQorSerialData::DescriptorChanged(std::uint32_t /*OldDescriptor*/) {}

void TQorSerialData::SetTransformation(TransformationType Value) {
    if (Value < ttNone || Value > ttCustom)
        return;
    FTransformation = Value;
}

void TQorSerialData::SetPrecision(double Value) {
    if (std::isnan(Value) || Value < 0)
        return;
    FPrecision = Value;
}

void TQorSerialData::SetValueMin(double Value) {
    if (ComponentState().Contains(csLoading) || Value <= FValueMax)
        FValueMin = Value;
}

void TQorSerialData::SetValueMax(double Value) {
    if (ComponentState().Contains(csLoading) || Value >= FValueMin)
        FValueMax = Value;
}

bool TQorSerialData::DependsOn(const TQorSerialData* Source) const {
    for (const TQorSerialData* c : FExtCoeff)
        if (c && (c == Source || c->DependsOn(Source)))
            return true;
    return false;
}

void TQorSerialData::SetExtCoeff(int Index, TQorSerialData* Value) {
    if (Value && (!dynamic_cast<TQorNumber*>(Value) || Value == this))
        return;
    // Taking a coefficient from an object that already takes one from this object would
    // make messages and coefficient fetches go round without end.
    if (Value && Value->DependsOn(this))
        return;
    TQorSerialData*& slot = FExtCoeff[Index];
    if (slot)
        slot->RemoveClient(this);
    slot = Value;
    if (Value)
        Value->AddClient(this);
}

void TQorSerialData::SetTransformationOf(int Index, TBaseTransformation* Value) {
    TBaseTransformation* old = FTransformations[Index];
    FTransformations[Index] = Value;
    if (old != Value)
        Forget(old);
    if (!Value)
        return;
    Value->FreeNotification(this);
    // A form being read does not touch the ECU; Loaded starts from the defaults.
    if (!ComponentState().Contains(csLoading))
        ReloadFromEcu();
}

void TQorSerialData::SetConnection(TQorConnection* Value) {
    TQorConnection* old = FConnection;
    FConnection = Value;
    if (old != Value)
        Forget(old);
    if (Value)
        Value->FreeNotification(this);
}

bool TQorSerialData::RefersTo(const TComponent* C) const {
    if (C == FConnection)
        return true;
    for (const TBaseTransformation* t : FTransformations)
        if (t == C)
            return true;
    for (const TQorSerialData* s : FExtCoeff)
        if (s == C)
            return true;
    return std::find(FClients.begin(), FClients.end(), C) != FClients.end();
}

void TQorSerialData::Forget(TComponent* Old) {
    // The same component may stand in another reference that still needs the notice.
    if (Old && !RefersTo(Old))
        Old->RemoveFreeNotification(this);
}

bool TQorSerialData::RelaysTo(const TQorSerialData* Client, const TQorSerialData* Target) const {
    if (Client == Target)
        return true;
    for (TComponent* c : Client->FClients)
        if (auto* data = dynamic_cast<const TQorSerialData*>(c))
            if (RelaysTo(data, Target))
                return true;
    return false;
}

void TQorSerialData::AddClient(TComponent* Client) {
    if (!Client || std::find(FClients.begin(), FClients.end(), Client) != FClients.end())
        return;
    if (auto* data = dynamic_cast<TQorSerialData*>(Client); data && RelaysTo(data, this))
        return;
    FreeNotification(Client);
    TClientPath path;
    if (auto* control = dynamic_cast<TControl*>(Client)) {
        path.Control = control;
        path.History = dynamic_cast<TQorEditHistory*>(control);
    } else
        path.Data = dynamic_cast<TQorSerialData*>(Client);
    // Both lists grow or neither does.
    FClientPaths.push_back(path);
    try {
        FClients.push_back(Client);
    } catch (...) {
        FClientPaths.pop_back();
        throw;
    }
}

void TQorSerialData::RemoveClient(TComponent* Client) {
    auto it = std::find(FClients.begin(), FClients.end(), Client);
    if (it != FClients.end()) {
        FClientPaths.erase(FClientPaths.begin() + (it - FClients.begin()));
        FClients.erase(it);
    }
}

void TQorSerialData::NotifyClients(unsigned Message, WPARAM WParam, LPARAM LParam) {
    if (!FNotifyEnabled)
        return;
    TComponentWatch self(this);
    ++FNotifyDepth;
    struct TDepthGuard {
        TComponentWatch& Self;
        int& Depth;
        ~TDepthGuard() {
            if (!Self.Destroyed())
                --Depth;
        }
    } depth{self, FNotifyDepth};
    // A client may add or remove clients, destroy itself or destroy this object: the list
    // is read afresh at every step, and a client that left is not stepped over.
    for (std::size_t i = 0; i < FClients.size();) {
        TComponent* client = FClients[i];
        // Read before the call only: the call may change the list.
        if (const TClientPath& path = FClientPaths[i]; path.History && Message == WM_DATA_CHANGED)
            path.History->DataChanged(reinterpret_cast<const TQorSerialData*>(WParam));
        else if (path.Control)
            path.Control->Perform(Message, WParam, LParam);
        else if (path.Data)
            path.Data->NotifyClients(Message, WParam, LParam);
        if (self.Destroyed())
            return;
        if (i < FClients.size() && FClients[i] == client)
            ++i;
        else
            i = NextClientAfter(client, i);
    }
}

void TQorSerialData::NotifyCellChanged(int Row, int Col) {
    TComponentWatch self(this);
    const TChangedCell heldCell = FCellHint;
    const int heldDepth = FCellHintDepth;
    FCellHint = {Row, Col};
    FCellHintDepth = FNotifyDepth + 1;
    NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    if (self.Destroyed())
        return;
    FCellHint = heldCell;
    FCellHintDepth = heldDepth;
}

std::size_t TQorSerialData::NextClientAfter(const TComponent* Client, std::size_t Was) const {
    // The client moved (clients before it left) or is gone (the next one took its place).
    const auto it = std::find(FClients.begin(), FClients.end(), Client);
    if (it != FClients.end())
        return static_cast<std::size_t>(it - FClients.begin()) + 1;
    return std::min(Was, FClients.size());
}

void TQorSerialData::Loaded() {
    inherited::Loaded();
    ApplyDefaults(false);
}

void TQorSerialData::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FConnection)
        FConnection = nullptr;
    for (TBaseTransformation*& t : FTransformations)
        if (t == AComponent)
            t = nullptr;
    for (TQorSerialData*& s : FExtCoeff)
        if (s == AComponent)
            s = nullptr;
    // A client that goes without removing itself must not stay on the list.
    RemoveClient(AComponent);
}

void TQorSerialData::DoError(bool Writing) {
    if (!FOnError)
        return;
    int code = -1;
    if (FConnection && FConnection->LoadDll()) {
        TCriticalSectionGuard lock(FConnection->LinkLock());
        code = FConnection->SerInterface()->GetLastStatus();
    }
    FOnError(this, code, Writing);
}

void TQorSerialData::DoGetData() {
    TComponentWatch self(this);
    if (FOnGetData)
        FOnGetData(this);
    if (self.Destroyed())
        return;
    const int held = std::exchange(FReadDepth, FNotifyDepth + 1);
    NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    if (!self.Destroyed())
        FReadDepth = held;
}

void TQorSerialData::DoSetData() {
    TComponentWatch self(this);
    // Taken before the handler runs: a write it makes sets (and takes) its own.
    const std::optional<TChangedCell> cell = std::exchange(FPendingCell, std::nullopt);
    if (FOnSetData)
        FOnSetData(this);
    if (self.Destroyed())
        return;
    if (cell)
        NotifyCellChanged(cell->Row, cell->Col);
    else
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
}

void TQorSerialData::DoBeforeGetData() {
    if (FBeforeGetData)
        FBeforeGetData(this);
}

bool TQorSerialData::DoBeforeSetData(double* newValue, double prevValue, int RowIndex,
                                     int ColIndex) {
    bool abort = false;
    if (FBeforeSetData)
        FBeforeSetData(this, newValue, prevValue, RowIndex, ColIndex, abort);
    return !abort;
}

void TQorSerialData::DoStatus(int Status) {
    NotifyClients(WM_DATA_STATUS, reinterpret_cast<WPARAM>(this), Status);
}

int TQorSerialData::DoConvertToEcu(double UserValue) {
    int converted = 0;
    if (FOnConvertToEcu)
        FOnConvertToEcu(this, UserValue, converted);
    return converted;
}

int TQorSerialData::DoConvertToEcuIndex(double UserValue, int Index, int Current) {
    int converted = Current;
    if (FOnConvertToEcuIndex)
        FOnConvertToEcuIndex(this, UserValue, converted, Index);
    return converted;
}

double TQorSerialData::DoConvertToUser(int EcuValue) {
    double converted = 0.0;
    if (FOnConvertToUser)
        FOnConvertToUser(this, EcuValue, converted);
    return converted;
}

double TQorSerialData::DoConvertToUserIndex(int EcuValue, int Index) {
    double converted = 0.0;
    if (FOnConvertToUserIndex)
        FOnConvertToUserIndex(this, EcuValue, converted, Index);
    return converted;
}

bool TQorSerialData::ReadThroughLink(TQorConnection& Link,
                                     const std::function<bool(TSerInterface&)>& Transfer) {
    TComponentWatch self(this);
    DoBeforeGetData();
    if (self.Destroyed())
        return false;
    // The handler may have let go of the connection or destroyed it: then nothing is read.
    TQorConnection* con = LinkStillThere(&Link);
    if (!con) {
        FDataValid = false;
        DoError(false);
        return false;
    }
    int status = 0;
    TSerInterface* link = con->SerInterface();
    if (link->IsConnected()) {
        TCriticalSectionGuard lock(con->LinkLock());
        FDataValid = Transfer(*link);
        status = link->GetLastStatus();
    } else {
        FDataValid = true;
    }
    const bool valid = FDataValid;
    if (valid)
        DoGetData();
    else
        DoError(false);
    if (self.Destroyed())
        return false;
    if (status != 0) {
        DoStatus(status);
        if (self.Destroyed())
            return false;
        if (status & stDataUsable)
            FDataValid = true;
    }
    return FDataValid;
}

TQorConnection* TQorSerialData::LinkStillThere(const TQorConnection* Expected) const {
    // A destroyed connection has cleared FConnection through free notification.
    TQorConnection* con = Connection();
    return con && con == Expected && con->DllLoaded() ? con : nullptr;
}

bool TQorSerialData::WriteBlock(const std::function<bool(TSerInterface&)>& Transfer,
                                const std::function<void()>& Keep) {
    TComponentWatch self(this);
    TQorConnection* con = Connection();
    if (!con || !con->LoadDll()) {
        // Nothing reaches the ECU, but the new values stay in memory.
        FDataValid = false;
        Keep();
        DoError(true);
        return !self.Destroyed();
    }
    double scratch = 0.0;
    if (!DoBeforeSetData(&scratch, 0.0, -1, -1) || self.Destroyed())
        return false;
    if (!LinkStillThere(con)) {
        FDataValid = false;
        DoError(true);
        return false;
    }
    {
        TCriticalSectionGuard lock(con->LinkLock());
        FDataValid = Transfer(*con->SerInterface());
    }
    const bool written = FDataValid;
    if (written) {
        Keep();
        DoSetData();
    } else {
        DoError(true);
    }
    return written && !self.Destroyed();
}

bool TQorSerialData::ReloadFromEcu() {
    FDataValid = false;
    return ReadFromEcu();
}

void RegisterDataClasses() {
    RegisterLinkClasses();
    RegisterClass<TBaseTransformation>("TBaseTransformation");
    RegisterClass<TQorSerialData>("TQorSerialData");
    RegisterClass<TQorNumber>("TQorNumber");
    RegisterClass<TQorPacketData>("TQorPacketData");
    RegisterClass<TQorVector>("TQorVector");
    RegisterClass<TQorMatrix>("TQorMatrix");
    RegisterClass<TQorEditHistory>("TQorEditHistory");
}

} // namespace qor
