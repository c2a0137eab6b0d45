#pragma once
// TQorVector: a one-dimensional array of raw ECU values (a vector of its own, one row or
// one column of an ECU map, or a run of values at a byte address), cached as a whole,
// written back as a block, converted element by element.
// Applications include data/SerialData.h, which brings this header along.

#include "data/SerialData.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qor {

template <class C> class TPublisher;
class TSerInterface;

// What a vector stands for; derived from its indexes.
enum TVectorType { vtSingle, vtMatrixRow, vtMatrixCol };

class TQorVector : public TQorSerialData {
public:
    using inherited = TQorSerialData;

    explicit TQorVector(TComponent* AOwner);
    ~TQorVector() override;

    // Published after the base's: ArrayDimension, Type, RowIndex, ColIndex, ByAddress,
    // Address, SingleElementAccess, Connection. Type comes before the indexes, whose
    // setters only act on a vector of the matching type.
    static void Publish(TPublisher<TQorVector>& P);

    // Number of elements, 1 to 255. A value of 0 or less, the present count, or one whose
    // low 8 bits are 0 is ignored; otherwise the low 8 bits become the count, all values
    // and defaults become 0, the count goes into DataDescriptor bits 12 to 19, and
    // DataValid is cleared (the zeros are not the ECU's values).
    int ArrayDimension() const { return FColCount; }
    void SetArrayDimension(int Value);
    // vtMatrixCol while ColIndex >= 0, else vtMatrixRow while RowIndex >= 0, else
    // vtSingle. Setting it sets the other index to -1 and raises its own to 0 when it was
    // negative; values and DataValid stay.
    TVectorType Type() const;
    void SetType(TVectorType Value);
    // The map row of a vtMatrixRow vector; negative values and other types ignore it.
    void SetRowIndex(int Value);
    // The map column of a vtMatrixCol vector; negative values and other types ignore it.
    void SetColIndex(int Value);
    // With ByAddress element i lies at Address + i * DataLength, whatever Type says.
    bool ByAddress() const { return FByAddress; }
    void SetByAddress(bool Value) { FByAddress = Value; }
    int Address() const { return FAddress; }
    void SetAddress(int Value) { FAddress = Value; }
    // Block writes go element by element instead of in one call (a column always does).
    bool SingleElementAccess() const { return FSingleElementAccess; }
    void SetSingleElementAccess(bool Value) { FSingleElementAccess = Value; }

    // The cached raw values, ArrayDimension of them.
    const std::vector<std::int32_t>& RawValues() const { return FRawValues; }
    // The snapshot taken by SaveValues; null when there is none.
    const std::vector<std::int32_t>* SavedRawValues() const {
        return FSavedRawValues ? &*FSavedRawValues : nullptr;
    }
    // Default user values, one per element, streamed as "DefaultValue".
    const std::vector<double>& DefaultValues() const { return FDefaultValues; }
    // Ignored for an index outside the array.
    void SetDefaultValue(int Index, double Value);

    // Element Index in user units (EcuToUserIndex), read from the ECU unless the cache is
    // valid. An index outside the array gives 0.0 and false without ECU access. After a
    // failed read the element's previous raw value is put back and converted, and the
    // result is false.
    bool GetElementValue(int Index, double& Value);
    // Writes ArrayDimension new raw values as a block (false for another number of
    // values). Refused when ReadOnly. With a partial DataMask the ECU is re-read first
    // without messages to the clients and only the masked bits change; a failed re-read
    // writes nothing.
    bool WriteRawElements(std::span<const std::int32_t> Values);

    // Slots of TQorSerialData.
    void AllocateValues() override;
    void FreeValues() override;
    // Reads the whole array by mode: ByAddress with ReadAtAddress per element; vtSingle
    // with one ReadData; vtMatrixRow with one ReadIndexed of the row (array bit cleared);
    // vtMatrixCol with ReadElement per row. Element loops stop after the first element
    // that leaves a nonzero status word. Without a connection: false, no event; when the
    // library cannot be loaded: OnError and false. With IsConnected false nothing is read
    // and the cache counts as valid. A status word with bit 4 makes a failed read count.
    bool ReadFromEcu() override;
    void SaveValues() override;
    void DropSavedValues() override;
    // Puts the snapshot back and drops it; nothing happens without one.
    void RestoreValues() override;
    // Writes RawValues as they stand, ReadOnly or not.
    bool WriteToEcu() override;
    // One key per element: Name + i, Name + RowIndex + "_" + i for a map row, Name + i +
    // "_" + ColIndex for a map column. Loading starts from the held values; a missing key,
    // an unparsable user text or a raw text that is no integer keeps its element. A user
    // value whose conversion has no value refuses the whole load (nothing stored or
    // written). With OldReadFileMode the values are only stored (with one silent re-read
    // for a partial DataMask); otherwise written with WriteRawElements.
    bool SaveToIni(TCustomIniFile& Ini) override;
    bool LoadFromIni(TCustomIniFile& Ini) override;
    // A vector takes nothing from packets.
    void DecodePacket(const std::uint8_t* Data) override;
    // RawValues = the indexed conversions of DefaultValues (with one silent re-read for a
    // partial DataMask); with WriteToEcu also written as a block. An element whose
    // conversion has no value changes nothing and makes the call fail (with OnError when
    // writing). Sends WM_DATA_CHANGED when done.
    bool ApplyDefaults(bool WriteToEcu) override;
    // The entry "F3|F4|F5 descriptor mask ArrayDimension 1 values...". Loading writes the
    // entry's values in order with WriteRawElements: missing ones are 0, surplus ones are
    // ignored.
    bool LoadCommandEntry(TCustomIniFile& Ini) override;
    bool SaveCommandEntry(TCustomIniFile& Ini) override;
    bool ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) override;

    // Streams "DefaultValue": the count, then one value per element. Values beyond the
    // present ArrayDimension are read and dropped; missing ones leave the defaults as
    // they are.
    void DefineProperties(TFiler& Filer) override;

protected:
    std::vector<std::int32_t> FRawValues;
    std::vector<double> FDefaultValues;
    std::optional<std::vector<std::int32_t>> FSavedRawValues;

private:
    // The reads of ReadFromEcu's mode; the caller holds LinkLock.
    bool ReadByMode(TSerInterface& Link);
    // The writes of the mode with the new values V; the caller holds LinkLock.
    bool WriteByMode(TSerInterface& Link, const std::vector<std::int32_t>& V);
    // Writes V (BeforeSetData, the transfer, the events); RawValues become V on success
    // and when no library is there to write to.
    bool BlockWrite(std::vector<std::int32_t> V);
    std::uint32_t ElementAddress(int Index) const;

    bool FByAddress = false;
    int FAddress = 0;
    bool FSingleElementAccess = false;
};

} // namespace qor
