#include "data/PacketData.h"

#include "framework/CriticalSection.h"
#include "framework/Properties.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"

#include <algorithm>
#include <cstring>

namespace qor {

namespace {
constexpr int MinimumInterval = 20;
constexpr std::int32_t OwnReadRoom = 251; // room an on-demand read offers
} // namespace

TQorPacketData::TQorPacketData(TComponent* AOwner) : TQorSerialData(AOwner) {
    FColCount = 1;
    FRowCount = 1;
    FRowIndex = -1;
    FColIndex = -1;
    FDataDescriptor |= ddPacket;
    SetReadOnly(true);
}

TQorPacketData::~TQorPacketData() {
    Destroying();
    if (FRegistered && FDataRefresher)
        FDataRefresher->UnregisterClient(this, FDataDescriptor, -1);
    FRegistered = false;
}

void TQorPacketData::Publish(TPublisher<TQorPacketData>& P) {
    using D = TQorPacketData;
    P.Bool("ReadOnly", &D::ReadOnly, &D::SetReadOnly, true)
        .Integer("TimeInterval", &D::TimeInterval, &D::SetTimeInterval, 1000)
        .Integer("Offset", &D::Offset, &D::SetOffset)
        .Bool("Active", &D::Active, &D::SetActive)
        .Component<TDataRefresher>("DataRefresher", &D::DataRefresher, &D::SetDataRefresher);
}

bool TQorPacketData::CanRegister() const {
    return FDataRefresher && !ComponentState().Contains(csDesigning);
}

void TQorPacketData::SetActive(bool Value) {
    FActive = Value;
    if (!CanRegister())
        return;
    if (!FRegistered) {
        FDataRefresher->RegisterClient(this, FTimeInterval, FDataDescriptor, -1);
        FRegistered = true;
    }
    if (FActive)
        FDataRefresher->EnableClient(this, FDataDescriptor, -1);
    else
        FDataRefresher->DisableClient(this, FDataDescriptor, -1);
}

void TQorPacketData::SetTimeInterval(int Value) {
    if (Value < MinimumInterval)
        return;
    FTimeInterval = Value;
    if (FRegistered && CanRegister())
        FDataRefresher->RegisterClient(this, FTimeInterval, FDataDescriptor, -1);
}

void TQorPacketData::SetDataRefresher(TDataRefresher* Value) {
    if (FDataRefresher) {
        FDataRefresher->RemoveFreeNotification(this);
        if (FRegistered)
            FDataRefresher->UnregisterClient(this, FDataDescriptor, -1);
    }
    if (Value)
        Value->FreeNotification(this);
    FDataRefresher = Value;
    FRegistered = false;
    SetActive(FActive);
}

void TQorPacketData::DescriptorChanged(std::uint32_t OldDescriptor) {
    if (!FRegistered || !FDataRefresher)
        return;
    FDataRefresher->UnregisterClient(this, OldDescriptor, -1);
    FDataRefresher->RegisterClient(this, FTimeInterval, FDataDescriptor, -1);
    if (FActive)
        FDataRefresher->EnableClient(this, FDataDescriptor, -1);
    else
        FDataRefresher->DisableClient(this, FDataDescriptor, -1);
}

void TQorPacketData::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent != nullptr && AComponent == FDataRefresher) {
        // The refresher is going away with its registry: nothing to unregister.
        FDataRefresher = nullptr;
        FActive = false;
        FRegistered = false;
    }
}

void TQorPacketData::AllocateValues() {
    FRawValue = 0;
}

void TQorPacketData::FreeValues() {}

bool TQorPacketData::ValueWithin(std::int32_t Length) const {
    const int delivered = std::min<std::int32_t>(Length, PacketDataBytes);
    return FOffset >= 0 && FOffset <= delivered - DataLength();
}

void TQorPacketData::DecodePacket(const std::uint8_t* Data) {
    std::int32_t length;
    std::memcpy(&length, Data, sizeof length);
    if (!ValueWithin(length))
        return;
    // Taken before BeforeGetData: its handler may free the buffer's owner (the refresher).
    const std::uint8_t* at = Data + sizeof length + FOffset;
    const std::uint8_t low = at[0], high = DataLength() == 2 ? at[1] : 0;
    TComponentWatch self(this);
    DoBeforeGetData();
    if (self.Destroyed())
        return;
    if (DataLength() == 2) {
        const auto value = static_cast<std::uint16_t>(low | (high << 8));
        FRawValue = Signed() ? static_cast<std::int16_t>(value) : value;
    } else {
        FRawValue = Signed() ? static_cast<std::int8_t>(low) : low;
    }
    DoGetData();
}

bool TQorPacketData::ReadFromEcu() {
    FDataValid = false;
    TQorConnection* connection = FDataRefresher ? FDataRefresher->Connection() : nullptr;
    if (!connection || !connection->LoadDll() || !connection->SerInterface()->IsConnected())
        return false;
    std::int32_t buffer[1 + PacketDataBytes / sizeof(std::int32_t)];
    buffer[0] = OwnReadRoom;
    int status;
    {
        TCriticalSectionGuard lock(connection->LinkLock());
        TSerInterface* link = connection->SerInterface();
        FDataValid = link->ReadPacket(FDataDescriptor, reinterpret_cast<std::uint8_t*>(buffer + 1),
                                      &buffer[0]);
        status = link->GetLastStatus();
    }
    TComponentWatch self(this);
    if (FDataValid) {
        // A packet too short for this value brings no value: the read does not count.
        FDataValid = ValueWithin(buffer[0]);
        if (FDataValid)
            DecodePacket(reinterpret_cast<const std::uint8_t*>(buffer));
    } else {
        DoError(false);
    }
    if (self.Destroyed())
        return false;
    if (status != 0) {
        DoStatus(status);
        if (self.Destroyed())
            return false;
    }
    return FDataValid;
}

void TQorPacketData::DoError(bool Writing) {
    if (!FOnError)
        return;
    int code = -1;
    TQorConnection* connection = FDataRefresher ? FDataRefresher->Connection() : nullptr;
    if (connection && connection->LoadDll()) {
        TCriticalSectionGuard lock(connection->LinkLock());
        code = connection->SerInterface()->GetLastStatus();
    }
    FOnError(this, code, Writing);
}

void TQorPacketData::SaveValues() {}
void TQorPacketData::DropSavedValues() {}
void TQorPacketData::RestoreValues() {}
bool TQorPacketData::WriteToEcu() {
    return false;
}
bool TQorPacketData::SaveToIni(TCustomIniFile& /*Ini*/) {
    return false;
}
bool TQorPacketData::LoadFromIni(TCustomIniFile& /*Ini*/) {
    return false;
}
bool TQorPacketData::ApplyDefaults(bool /*WriteToEcu*/) {
    return false;
}
bool TQorPacketData::LoadCommandEntry(TCustomIniFile& /*Ini*/) {
    return false;
}
bool TQorPacketData::SaveCommandEntry(TCustomIniFile& /*Ini*/) {
    return false;
}
bool TQorPacketData::ReadCommandField(TCustomIniFile& /*Ini*/, int /*Index*/, int* /*Value*/) {
    return false;
}

} // namespace qor
