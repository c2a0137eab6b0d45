#pragma once
// The live value that the ECU sends inside a packet. Packet components with the same
// descriptor (SerialCode, DataLength, Signed) share one packet and differ in Offset. A
// packet component registers with a data refresher, whose pass reads the packet every
// TimeInterval milliseconds and hands the bytes to DecodePacket. Read-only: never written,
// no INI persistence, defaults or snapshot.

#include "data/SerialData.h"

#include <cstdint>

namespace qor {

class TDataRefresher;

class TQorPacketData : public TQorSerialData {
public:
    using inherited = TQorSerialData;

    explicit TQorPacketData(TComponent* AOwner);
    // Unregisters from the refresher.
    ~TQorPacketData() override;

    // Published: the base class's properties (ReadOnly defaults to True here), then
    // TimeInterval, Offset, Active, DataRefresher.
    static void Publish(TPublisher<TQorPacketData>& P);

    // Milliseconds between refreshes; below 20 is ignored. A registered component
    // registers again with the new interval, which restarts its timing.
    int TimeInterval() const { return FTimeInterval; }
    void SetTimeInterval(int Value);
    // Byte position of the value among the packet's data bytes.
    int Offset() const { return FOffset; }
    void SetOffset(int Value) { FOffset = Value; }
    // The refresher delivers only while set. The first activation with a refresher
    // registers; deactivation only disables (the registration stays).
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    // Moves the registration to the new refresher (none in design mode).
    TDataRefresher* DataRefresher() const { return FDataRefresher; }
    void SetDataRefresher(TDataRefresher* Value);

    // The last raw value taken out of a packet; clients convert it with EcuToUser.
    std::int32_t RawValue() const { return FRawValue; }
    bool Registered() const { return FRegistered; }

    void AllocateValues() override;
    void FreeValues() override;
    // Reads the packet at once through the refresher's connection (never from the cache).
    // False without an event when there is no refresher, connection, library or link;
    // false with OnError when the read fails; false without an event when the value lies
    // outside the bytes delivered. A nonzero status word goes to the clients.
    bool ReadFromEcu() override;
    // The status word of the refresher's connection (-1 without a loaded library).
    void DoError(bool Writing) override;
    void SaveValues() override;
    void DropSavedValues() override;
    void RestoreValues() override;
    bool WriteToEcu() override;
    bool SaveToIni(TCustomIniFile& Ini) override;
    bool LoadFromIni(TCustomIniFile& Ini) override;
    // Data: int32 count of delivered bytes, then the data bytes. Takes the 1- or 2-byte
    // little-endian value at Offset (sign- or zero-extended), between BeforeGetData and
    // OnGetData / WM_DATA_CHANGED. A value not wholly inside the delivered bytes (and the
    // 252-byte data area) is not read: RawValue stays and no event fires.
    void DecodePacket(const std::uint8_t* Data) override;
    bool ApplyDefaults(bool WriteToEcu) override;
    bool LoadCommandEntry(TCustomIniFile& Ini) override;
    bool SaveCommandEntry(TCustomIniFile& Ini) override;
    bool ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) override;

    // Bytes of the data area that follows the length in a packet buffer.
    static constexpr int PacketDataBytes = 252;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // A registered component follows a change of its descriptor: the registration moves
    // to the new key with the same interval and enabled state.
    void DescriptorChanged(std::uint32_t OldDescriptor) override;

private:
    // True when the value at Offset lies within Length delivered bytes.
    bool ValueWithin(std::int32_t Length) const;
    bool CanRegister() const;

    std::int32_t FRawValue = 0;
    int FTimeInterval = 1000;
    int FOffset = 0;
    bool FActive = false;
    TDataRefresher* FDataRefresher = nullptr;
    bool FRegistered = false;
};

} // namespace qor
