#pragma once
// TQorNumber: one raw ECU value (a scalar, an element of an ECU vector or map, or a value
// at a byte address), cached, converted, and written back through the connection.
// Applications include data/SerialData.h, which brings this header along.

#include "data/SerialData.h"

#include <cstdint>
#include <string>

namespace qor {

template <class C> class TPublisher;

// What a number stands for; derived from its indexes.
enum TNumberType { ntSingle, ntVectorElement, ntMatrixElement };

class TQorNumber : public TQorSerialData {
public:
    using inherited = TQorSerialData;

    explicit TQorNumber(TComponent* AOwner);

    // Published after the base's: Type, RowIndex, ColIndex, ByAddress, Address,
    // DefaultValue, Connection. Type comes first so that a form restores an index 0
    // (not written, being the stream default) through the Type setter.
    static void Publish(TPublisher<TQorNumber>& P);

    // ntSingle while RowIndex < 0, ntVectorElement while ColIndex < 0, else
    // ntMatrixElement. Setting it sets or raises the indexes to fit (-1 or at least 0);
    // non-negative indexes stay.
    TNumberType Type() const;
    void SetType(TNumberType Value);
    // A negative row makes both indexes -1.
    void SetRowIndex(int Value);
    // A negative column gives -1; a column without a row is ignored.
    void SetColIndex(int Value);
    // With ByAddress the value is reached at Address, whatever the indexes say.
    bool ByAddress() const { return FByAddress; }
    void SetByAddress(bool Value) { FByAddress = Value; }
    int Address() const { return FAddress; }
    void SetAddress(int Value) { FAddress = Value; }
    // User value that ApplyDefaults converts to raw.
    double DefaultValue() const { return FDefaultValue; }
    void SetDefaultValue(double Value) { FDefaultValue = Value; }

    // The raw value as read, written or decoded (not masked), and its snapshot.
    int RawValue() const { return FRawValue; }
    int SavedRawValue() const { return FSavedRawValue; }

    // The user value; reads the ECU unless the cache is valid. After a failed read the
    // previous raw value is put back and converted.
    double GetUserValue();
    // As GetUserValue; the result tells whether the read succeeded.
    bool TryReadUserValue(double& Value);
    // Refused (false) when ReadOnly, after sending WM_DATA_CHANGED. Fires BeforeSetData
    // (which may change or abort the value), converts with the mask merge and writes.
    // A conversion without a value, or a merge whose re-read fails, writes nothing and
    // returns false; the former fires OnError with the error result.
    bool SetUserValue(double Value);
    // Writes a raw value: refused when ReadOnly; BeforeSetData may abort (its value is
    // a scratch 0.0); with a partial DataMask the ECU is re-read first and only the
    // masked bits change (a failed re-read writes nothing and returns false).
    bool SetEcuValue(int Raw);
    // The transfer alone. Without a loaded library the value is stored, OnError fires
    // with -1 and the call counts as done. On failure RawValue keeps its value.
    bool WriteEcuValue(int Raw);

    // Slots of TQorSerialData.
    void AllocateValues() override;
    void FreeValues() override;
    // Without a connection or library: true, nothing read, no event. With IsConnected
    // false: nothing read, the cache counts as valid. A status word with bit 4 makes a
    // failed read count as valid.
    bool ReadFromEcu() override;
    void SaveValues() override;
    void DropSavedValues() override;
    void RestoreValues() override;
    // Writes RawValue again as SetEcuValue does, ReadOnly or not.
    bool WriteToEcu() override;
    // The key is FileKeyName, plus RowIndex for a vector element, plus "_" and ColIndex
    // for a map element (Gain3, Gain2_5). Saving converts the held raw value; the ECU is
    // not read. Loading fails (nothing changed) on a missing key, a user text that is no
    // number, a raw text that is no integer, or a conversion without a value.
    bool SaveToIni(TCustomIniFile& Ini) override;
    bool LoadFromIni(TCustomIniFile& Ini) override;
    // Takes the first DataLength bytes, little-endian, sign-extended when Signed.
    void DecodePacket(const std::uint8_t* Data) override;
    // RawValue = the conversion of DefaultValue (no change when it has no value); with
    // WriteToEcu also written. Sends WM_DATA_CHANGED when done.
    bool ApplyDefaults(bool WriteToEcu) override;
    // The entry under FileKeyName alone: "code descriptor mask column row raw", the code
    // F0, F1 or F2 by Type, column and row 1 for an index below 2 (F0 21 FF 1 1 7F).
    // Loading takes the text after the fifth blank as the raw value and writes it with
    // SetEcuValue, whatever OldReadFileMode says.
    bool LoadCommandEntry(TCustomIniFile& Ini) override;
    bool SaveCommandEntry(TCustomIniFile& Ini) override;
    bool ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) override;

protected:
    int FRawValue = 0;
    int FSavedRawValue = 0;

private:
    // The library calls of the addressing mode; the caller holds LinkLock.
    bool Read(TSerInterface& Link);
    bool Write(TSerInterface& Link, int Raw);
    // SetEcuValue and WriteToEcu after the ReadOnly check.
    bool WriteRaw(int Raw);
    // The INI key of the value, by Type.
    std::string IniKey() const;
    // LoadFromIni's store-only path (OldReadFileMode) of a user value.
    bool StoreUserValueOnly(double Value);

    bool FByAddress = false;
    int FAddress = 0;
    double FDefaultValue = 0.0;
};

} // namespace qor
