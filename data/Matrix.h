#pragma once
// TQorMatrix: a map of RowCount rows of ColCount raw ECU values, cached as a whole,
// written back as a block or one cell at a time, converted cell by cell; its shape decides
// how it talks to the ECU. Applications include data/SerialData.h, which brings this
// header along.

#include "data/SerialData.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qor {

template <class C> class TPublisher;
class TSerInterface;

// The kind of map; derived from the shape.
enum TMatrixType { mtSingle, mtVector, mtMatrix };

class TQorMatrix : public TQorSerialData {
public:
    using inherited = TQorSerialData;
    using TRows = std::vector<std::vector<std::int32_t>>;

    explicit TQorMatrix(TComponent* AOwner);
    ~TQorMatrix() override;

    // Published after the base's: ColCount, RowCount, Type, ByAddress, Address,
    // SingleElementAccess, LoadVerticalVectorWithSingleCommand, Connection.
    static void Publish(TPublisher<TQorMatrix>& P);

    // Counts of 1 to 255. A value of 0 or less, the present count, or one whose low 8 bits
    // are 0 is ignored; otherwise the low 8 bits become the count, all values and defaults
    // become 0, DataValid is cleared and the clients get WM_DATA_RESIZED. ColCount also
    // goes into DataDescriptor bits 12 to 19.
    void SetColCount(int Value);
    void SetRowCount(int Value);
    // mtMatrix when both counts are above 1, mtSingle when both are 1, else mtVector.
    // Setting it zeroes all values (also when the shape stays) and sends WM_DATA_RESIZED:
    // mtSingle gives 1 x 1; mtVector keeps a one-row or one-column map and makes any other
    // 1 row of 5 columns; mtMatrix raises a count of 1 to 5 columns or 4 rows. DataValid
    // is cleared and DataDescriptor bits 12 to 19 follow ColCount.
    TMatrixType Type() const;
    void SetType(TMatrixType Value);
    // With ByAddress cell (r, c) lies at Address + (r * ColCount + c) * DataLength.
    bool ByAddress() const { return FByAddress; }
    void SetByAddress(bool Value) { FByAddress = Value; }
    int Address() const { return FAddress; }
    void SetAddress(int Value) { FAddress = Value; }
    // Block writes go cell by cell instead of by rows or in one call.
    bool SingleElementAccess() const { return FSingleElementAccess; }
    void SetSingleElementAccess(bool Value) { FSingleElementAccess = Value; }
    // A one-column map is read with one ReadData instead of one ReadIndexed per row.
    bool LoadVerticalVectorWithSingleCommand() const {
        return FLoadVerticalVectorWithSingleCommand;
    }
    void SetLoadVerticalVectorWithSingleCommand(bool Value) {
        FLoadVerticalVectorWithSingleCommand = Value;
    }

    // The cached raw values, RowCount rows of ColCount.
    const TRows& RawValues() const { return FRawValues; }
    // The snapshot taken by SaveValues; null when there is none.
    const TRows* SavedRawValues() const { return FSavedRawValues ? &*FSavedRawValues : nullptr; }
    // Default user values, one per cell, streamed as "DefaultValue".
    const std::vector<std::vector<double>>& DefaultValues() const { return FDefaultValues; }
    // Ignored for a cell outside the shape.
    void SetDefaultValue(int Row, int Col, double Value);

    // Cell (Row, Col) in user units (EcuToUser), read from the ECU unless the cache is
    // valid. A cell outside the shape gives false and leaves Value alone. After a failed
    // read the cell's previous raw value is put back and converted, and the result is
    // false.
    bool GetCellValue(int Row, int Col, double& Value);
    // Converts one user value and writes that cell with one call of the shape's kind,
    // whatever SingleElementAccess says. Refused (false, no event) when ReadOnly or outside
    // the shape; BeforeSetData may change or abort the value. A conversion without a
    // value, or a mask merge whose re-read fails, writes nothing and returns false.
    // Without Connection the cell takes the value (the bits around a partial mask from the
    // held value), the clients get WM_DATA_CHANGED, and the result is true. When the
    // library cannot be loaded: OnError, false, the cell keeps its value.
    bool SetCellValue(int Row, int Col, double Value);
    // Writes RowCount x ColCount new raw values as a block (false for another shape).
    // Refused when ReadOnly. With a partial DataMask the ECU is re-read first without
    // messages to the clients and only the masked bits change; a failed re-read writes
    // nothing.
    bool WriteRawCells(const TRows& Values);
    // Writes one raw value into one cell, as SetCellValue writes a converted one:
    // refused when ReadOnly or outside the shape; BeforeSetData (with a scratch 0.0, 0.0,
    // the row and the column) may abort; the bits outside DataMask come from the ECU;
    // offline the value is kept and the clients are told.
    bool WriteRawCell(int Row, int Col, int Raw);

    // Slots of TQorSerialData.
    void AllocateValues() override;
    void FreeValues() override;
    // Reads the whole map by shape: ByAddress with ReadAtAddress per cell; a map with one
    // ReadIndexed per row; 1 x 1 with ReadData without the array bit; one row with
    // ReadData; one column with one ReadData (LoadVerticalVectorWithSingleCommand) or one
    // ReadIndexed per row without the array bit. Loops stop after the first call that
    // leaves a nonzero status word. Failures and the status word as for the vector.
    bool ReadFromEcu() override;
    void SaveValues() override;
    void DropSavedValues() override;
    // Puts the snapshot back and drops it; nothing happens without one.
    void RestoreValues() override;
    // Writes RawValues as they stand, ReadOnly or not.
    bool WriteToEcu() override;
    // One key per cell, row-major: Name alone for 1 x 1, Name + the varying index for one
    // row or column, Name + r + "_" + c for a map. Loading as for the vector (user values
    // through UserToEcu), written with WriteRawCells.
    bool SaveToIni(TCustomIniFile& Ini) override;
    bool LoadFromIni(TCustomIniFile& Ini) override;
    // A map takes nothing from packets.
    void DecodePacket(const std::uint8_t* Data) override;
    // RawValues = the conversions of DefaultValues (with one silent re-read for a partial
    // DataMask); with WriteToEcu also written as a block. A cell whose conversion has no
    // value changes nothing and makes the call fail (with OnError when writing). Sends
    // WM_DATA_CHANGED when done.
    bool ApplyDefaults(bool WriteToEcu) override;
    // The entry "F6|F7|F8 descriptor mask ColCount RowCount values...", the values column
    // by column. Loading fills the entry's own shape column by column (its last cell takes
    // the rest of the line); cells inside both shapes take the entry's values, the other
    // cells of the map 0. Written with WriteRawCells.
    bool LoadCommandEntry(TCustomIniFile& Ini) override;
    bool SaveCommandEntry(TCustomIniFile& Ini) override;
    bool ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) override;

    // Streams "DefaultValue": RowCount, ColCount, then the values row by row. Values
    // outside the present shape are read and dropped; missing ones leave the defaults as
    // they are.
    void DefineProperties(TFiler& Filer) override;

protected:
    TRows FRawValues;
    std::vector<std::vector<double>> FDefaultValues;
    std::optional<TRows> FSavedRawValues;

private:
    // How the map talks to the ECU, tested in this order.
    enum class TShape { ByAddress, Map, Single, OneRow, OneColumn };
    TShape Shape() const;
    bool InShape(int Row, int Col) const;
    std::uint32_t CellAddress(int Row, int Col) const;
    // Reallocates in the new shape, clears DataValid and tells the clients.
    void Reshape(int Cols, int Rows);
    // The reads and writes of the shape; the caller holds LinkLock.
    bool ReadByShape(TSerInterface& Link);
    bool WriteByShape(TSerInterface& Link, const TRows& S);
    bool WriteCell(TSerInterface& Link, int Row, int Col, int Raw);
    // Writes S (BeforeSetData, the transfer, the events); RawValues become S on success
    // and when no library is there to write to.
    bool BlockWrite(TRows S);

    bool FByAddress = false;
    int FAddress = 0;
    bool FSingleElementAccess = false;
    bool FLoadVerticalVectorWithSingleCommand = false;
};

} // namespace qor
