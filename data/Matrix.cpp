#include "data/Matrix.h"

#include "data/ArrayTransfer.h"
#include "framework/CriticalSection.h"
#include "framework/Properties.h"
#include "link/QorConnection.h"

#include <algorithm>

namespace qor {

TQorMatrix::TQorMatrix(TComponent* AOwner) : TQorSerialData(AOwner) {
    FColCount = 1;
    FRowCount = 1;
    AllocateValues();
    FDataDescriptor |= ddArray;
}

TQorMatrix::~TQorMatrix() {
    FreeValues();
    DropSavedValues();
}

void TQorMatrix::Publish(TPublisher<TQorMatrix>& P) {
    using M = TQorMatrix;
    P.Integer("ColCount", &M::ColCount, &M::SetColCount)
        .Integer("RowCount", &M::RowCount, &M::SetRowCount)
        .Enum("Type", &M::Type, &M::SetType, {"mtSingle", "mtVector", "mtMatrix"})
        .Bool("ByAddress", &M::ByAddress, &M::SetByAddress)
        .Integer("Address", &M::Address, &M::SetAddress)
        .Bool("SingleElementAccess", &M::SingleElementAccess, &M::SetSingleElementAccess)
        .Bool("LoadVerticalVectorWithSingleCommand", &M::LoadVerticalVectorWithSingleCommand,
              &M::SetLoadVerticalVectorWithSingleCommand)
        .Component<TQorConnection>("Connection", &M::Connection, &M::SetConnection);
}

void TQorMatrix::Reshape(int Cols, int Rows) {
    FreeValues();
    if (Cols != FColCount)
        FDataDescriptor = (FDataDescriptor & ~ddValuesPerRowMask) |
                          (static_cast<std::uint32_t>(Cols) << ddValuesPerRowShift);
    FColCount = Cols;
    FRowCount = Rows;
    AllocateValues();
    // The zeros are not the ECU's values: the next read fetches them.
    FDataValid = false;
    NotifyClients(WM_DATA_RESIZED, static_cast<WPARAM>(FColCount), FRowCount);
}

void TQorMatrix::SetColCount(int Value) {
    // A count whose low 8 bits are 0 would leave a map without cells.
    if (Value <= 0 || Value == FColCount || (Value & 0xFF) == 0)
        return;
    Reshape(Value & 0xFF, FRowCount);
}

void TQorMatrix::SetRowCount(int Value) {
    if (Value <= 0 || Value == FRowCount || (Value & 0xFF) == 0)
        return;
    Reshape(FColCount, Value & 0xFF);
}

TMatrixType TQorMatrix::Type() const {
    if (FRowCount > 1 && FColCount > 1)
        return mtMatrix;
    if (FRowCount == 1 && FColCount == 1)
        return mtSingle;
    return mtVector;
}

void TQorMatrix::SetType(TMatrixType Value) {
    int cols = FColCount, rows = FRowCount;
    switch (Value) {
    case mtSingle:
        cols = rows = 1;
        break;
    case mtVector:
        if (Type() != mtVector) {
            cols = 5;
            rows = 1;
        }
        break;
    case mtMatrix:
        if (cols <= 1)
            cols = 5;
        if (rows <= 1)
            rows = 4;
        break;
    }
    Reshape(cols, rows);
}

void TQorMatrix::SetDefaultValue(int Row, int Col, double Value) {
    if (InShape(Row, Col))
        FDefaultValues[static_cast<std::size_t>(Row)][static_cast<std::size_t>(Col)] = Value;
}

void TQorMatrix::AllocateValues() {
    FreeValues();
    const auto rows = static_cast<std::size_t>(FRowCount);
    const auto cols = static_cast<std::size_t>(FColCount);
    FRawValues.assign(rows, std::vector<std::int32_t>(cols, 0));
    FDefaultValues.assign(rows, std::vector<double>(cols, 0.0));
    FValuesAllocated = true;
}

void TQorMatrix::FreeValues() {
    if (!FValuesAllocated)
        return;
    FRawValues.clear();
    FDefaultValues.clear();
    FValuesAllocated = false;
}

void TQorMatrix::SaveValues() {
    FSavedRawValues = FRawValues;
}

void TQorMatrix::DropSavedValues() {
    FSavedRawValues.reset();
}

void TQorMatrix::RestoreValues() {
    if (!FSavedRawValues)
        return;
    // A snapshot taken before a reshape fits only where both shapes have cells.
    const TRows& saved = *FSavedRawValues;
    for (std::size_t r = 0; r < std::min(saved.size(), FRawValues.size()); ++r)
        std::copy_n(saved[r].begin(), std::min(saved[r].size(), FRawValues[r].size()),
                    FRawValues[r].begin());
    DropSavedValues();
}

TQorMatrix::TShape TQorMatrix::Shape() const {
    if (FByAddress)
        return TShape::ByAddress;
    if (FRowCount > 1 && FColCount > 1)
        return TShape::Map;
    if (FRowCount == 1 && FColCount == 1)
        return TShape::Single;
    return FColCount > 1 ? TShape::OneRow : TShape::OneColumn;
}

bool TQorMatrix::InShape(int Row, int Col) const {
    return Row >= 0 && Col >= 0 && Row < FRowCount && Col < FColCount;
}

std::uint32_t TQorMatrix::CellAddress(int Row, int Col) const {
    return static_cast<std::uint32_t>(FAddress + (Row * FColCount + Col) * DataLength());
}

bool TQorMatrix::ReadByShape(TSerInterface& Link) {
    const std::uint32_t dd = DataDescriptor();
    const std::size_t cols = FRawValues[0].size();
    bool ok = true;
    switch (Shape()) {
    case TShape::ByAddress:
        for (int r = 0; r < FRowCount; ++r)
            for (int c = 0; c < FColCount; ++c) {
                ok = Link.ReadAtAddress(dd, CellAddress(r, c), &FRawValues[r][c]) && ok;
                if (Link.GetLastStatus() != 0)
                    return ok;
            }
        return ok;
    case TShape::Map:
        for (int r = 0; r < FRowCount; ++r) {
            ok = ReadValues(FRawValues[r].data(), cols,
                            [&](std::int32_t* p) { return Link.ReadIndexed(dd, p, r); }) &&
                 ok;
            if (Link.GetLastStatus() != 0)
                break;
        }
        return ok;
    case TShape::Single:
        return ReadValues(FRawValues[0].data(), 1,
                          [&](std::int32_t* p) { return Link.ReadData(dd & ~ddArray, p); });
    case TShape::OneRow:
        return ReadValues(FRawValues[0].data(), cols,
                          [&](std::int32_t* p) { return Link.ReadData(dd, p); });
    case TShape::OneColumn:
        break;
    }
    if (FLoadVerticalVectorWithSingleCommand) {
        std::vector<std::int32_t> column(FRawValues.size());
        for (std::size_t r = 0; r < column.size(); ++r)
            column[r] = FRawValues[r][0];
        ok = ReadValues(column.data(), column.size(),
                        [&](std::int32_t* p) { return Link.ReadData(dd, p); });
        for (std::size_t r = 0; r < column.size(); ++r)
            FRawValues[r][0] = column[r];
        return ok;
    }
    for (int r = 0; r < FRowCount; ++r) {
        ok = ReadValues(FRawValues[r].data(), 1,
                        [&](std::int32_t* p) { return Link.ReadIndexed(dd & ~ddArray, p, r); }) &&
             ok;
        if (Link.GetLastStatus() != 0)
            break;
    }
    return ok;
}

bool TQorMatrix::ReadFromEcu() {
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
    return ReadThroughLink(*con, [this](TSerInterface& Link) { return ReadByShape(Link); });
}

bool TQorMatrix::WriteByShape(TSerInterface& Link, const TRows& S) {
    const std::uint32_t dd = DataDescriptor();
    // Loops write every cell, whatever an earlier one answered.
    bool ok = true;
    switch (Shape()) {
    case TShape::ByAddress:
        for (int r = 0; r < FRowCount; ++r)
            for (int c = 0; c < FColCount; ++c)
                ok = Link.WriteAtAddress(dd, CellAddress(r, c), S[r][c]) && ok;
        return ok;
    case TShape::Map:
        for (int r = 0; r < FRowCount; ++r) {
            if (FSingleElementAccess) {
                for (int c = 0; c < FColCount; ++c)
                    ok = Link.WriteElement(dd, r, c, S[r][c]) && ok;
            } else {
                ok = WriteValues(S[r].data(), S[r].size(),
                                 [&](const std::int32_t* p) { return Link.WriteRow(dd, p, r); }) &&
                     ok;
            }
        }
        return ok;
    case TShape::Single:
        return Link.WriteValue(dd, S[0][0]);
    case TShape::OneRow:
        if (FSingleElementAccess) {
            for (int c = 0; c < FColCount; ++c)
                ok = Link.WriteIndexed(dd, c, S[0][c]) && ok;
            return ok;
        }
        return WriteValues(S[0].data(), S[0].size(),
                           [&](const std::int32_t* p) { return Link.WriteData(dd, p); });
    case TShape::OneColumn:
        break;
    }
    if (FSingleElementAccess) {
        for (int r = 0; r < FRowCount; ++r)
            ok = Link.WriteIndexed(dd, r, S[r][0]) && ok;
        return ok;
    }
    std::vector<std::int32_t> column(S.size());
    for (std::size_t r = 0; r < S.size(); ++r)
        column[r] = S[r][0];
    return WriteValues(column.data(), column.size(),
                       [&](const std::int32_t* p) { return Link.WriteData(dd, p); });
}

bool TQorMatrix::BlockWrite(TRows S) {
    return WriteBlock([&](TSerInterface& Link) { return WriteByShape(Link, S); },
                      [&] { FRawValues = std::move(S); });
}

bool TQorMatrix::WriteToEcu() {
    return BlockWrite(FRawValues);
}

bool TQorMatrix::WriteRawCells(const TRows& Values) {
    if (ReadOnly())
        return false;
    if (Values.size() != FRawValues.size())
        return false;
    for (const auto& row : Values)
        if (row.size() != static_cast<std::size_t>(FColCount))
            return false;
    TRows s = Values;
    if (!FullMask()) {
        // Only the masked bits are ours: the others come fresh from the ECU.
        if (!SilentReload())
            return false; // also when a handler of the re-read destroyed this object
        const int mask = DataMask();
        for (std::size_t r = 0; r < s.size(); ++r)
            for (std::size_t c = 0; c < s[r].size(); ++c)
                s[r][c] = (FRawValues[r][c] & ~mask) | (s[r][c] & mask);
    }
    return BlockWrite(std::move(s));
}

bool TQorMatrix::GetCellValue(int Row, int Col, double& Value) {
    if (!InShape(Row, Col))
        return false;
    const std::int32_t kept =
        FRawValues[static_cast<std::size_t>(Row)][static_cast<std::size_t>(Col)];
    TComponentWatch self(this);
    const bool ok = ReadFromEcu();
    // A handler of the read may have destroyed or reshaped the map.
    if (self.Destroyed() || !InShape(Row, Col)) {
        Value = 0.0;
        return false;
    }
    std::int32_t& cell = FRawValues[static_cast<std::size_t>(Row)][static_cast<std::size_t>(Col)];
    if (!ok)
        cell = kept;
    Value = EcuToUser(cell);
    return ok && !self.Destroyed(); // a conversion handler may destroy it
}

bool TQorMatrix::WriteCell(TSerInterface& Link, int Row, int Col, int Raw) {
    const std::uint32_t dd = DataDescriptor();
    switch (Shape()) {
    case TShape::ByAddress:
        return Link.WriteAtAddress(dd, CellAddress(Row, Col), Raw);
    case TShape::Map:
        return Link.WriteElement(dd, Row, Col, Raw);
    case TShape::Single:
        return Link.WriteValue(dd, Raw);
    case TShape::OneRow:
        return Link.WriteIndexed(dd, Col, Raw);
    case TShape::OneColumn:
        break;
    }
    return Link.WriteIndexed(dd, Row, Raw);
}

bool TQorMatrix::SetCellValue(int Row, int Col, double Value) {
    if (ReadOnly() || !InShape(Row, Col))
        return false;
    double prev = 0.0;
    TComponentWatch self(this);
    GetCellValue(Row, Col, prev);
    if (self.Destroyed() || !DoBeforeSetData(&Value, prev, Row, Col) || self.Destroyed())
        return false;
    if (!InShape(Row, Col)) // the handler reshaped the map
        return false;
    std::int32_t& cell = FRawValues[static_cast<std::size_t>(Row)][static_cast<std::size_t>(Col)];
    TQorConnection* con = Connection();
    // Offline there is no ECU to take the bits around a partial mask from: they come from
    // the held value.
    const TToEcuResult converted =
        con ? ConvertToEcu(Value, std::nullopt, &cell) : ConvertUnmerged(Value, std::nullopt, cell);
    // A handler of the mask merge's re-read may have destroyed the map, or the connection.
    if (self.Destroyed())
        return false;
    if (con && Connection() != con)
        con = nullptr;
    switch (converted.Outcome) {
    case TToEcuOutcome::NoValue:
        DoConversionError(converted.Raw);
        return false;
    case TToEcuOutcome::ReadBackFailed:
        return false; // writing would clear the ECU's bits around the field
    case TToEcuOutcome::Converted:
        break;
    }
    if (!con) {
        // An edit made offline: kept, and shown by the views at once.
        const int mask = DataMask();
        cell = (cell & ~mask) | (converted.Raw & mask);
        NotifyCellChanged(Row, Col);
        return true;
    }
    if (!con->LoadDll()) {
        DoError(true);
        return false;
    }
    {
        TCriticalSectionGuard lock(con->LinkLock());
        FDataValid = WriteCell(*con->SerInterface(), Row, Col, converted.Raw);
    }
    const bool written = FDataValid;
    if (written) {
        cell = converted.Raw;
        SetPendingCell(Row, Col);
        DoSetData();
    } else {
        DoError(true);
    }
    return written && !self.Destroyed();
}

bool TQorMatrix::WriteRawCell(int Row, int Col, int Raw) {
    if (ReadOnly() || !InShape(Row, Col))
        return false;
    TComponentWatch self(this);
    double scratch = 0.0;
    if (!DoBeforeSetData(&scratch, 0.0, Row, Col) || self.Destroyed() || !InShape(Row, Col))
        return false;
    TQorConnection* con = Connection();
    const auto at = [&]() -> std::int32_t& {
        return FRawValues[static_cast<std::size_t>(Row)][static_cast<std::size_t>(Col)];
    };
    if (!FullMask()) {
        // Only the masked bits are ours: the others come from the ECU, or offline from the
        // held value.
        if (con && (!SilentReload() || self.Destroyed() || !InShape(Row, Col)))
            return false;
        const int mask = DataMask();
        Raw = (at() & ~mask) | (Raw & mask);
    }
    if (!con) {
        at() = Raw;
        NotifyCellChanged(Row, Col);
        return true;
    }
    if (Connection() != con)
        return false; // a handler of the re-read took the connection away
    if (!con->LoadDll()) {
        DoError(true);
        return false;
    }
    {
        TCriticalSectionGuard lock(con->LinkLock());
        FDataValid = WriteCell(*con->SerInterface(), Row, Col, Raw);
    }
    const bool written = FDataValid;
    if (written) {
        at() = Raw;
        SetPendingCell(Row, Col);
        DoSetData();
    } else {
        DoError(true);
    }
    return written && !self.Destroyed();
}

bool TQorMatrix::ApplyDefaults(bool WriteToEcu) {
    // Every cell is converted before anything changes, so that a cell without a value
    // leaves the map as it was.
    TRows s = FRawValues;
    TComponentWatch self(this); // conversions may run handlers that destroy the object
    for (std::size_t r = 0; r < s.size(); ++r)
        for (std::size_t c = 0; c < s[r].size(); ++c) {
            const TToEcuResult v = ConvertUnmerged(FDefaultValues[r][c], std::nullopt, s[r][c]);
            if (self.Destroyed())
                return false;
            if (v.Outcome == TToEcuOutcome::NoValue) {
                if (WriteToEcu)
                    DoConversionError(v.Raw);
                return false;
            }
            s[r][c] = v.Raw;
        }
    if (!FullMask()) {
        // One re-read for the whole map: a re-read per cell would overwrite the cells
        // already converted with the ECU's values.
        const bool reread = SilentReload();
        if (self.Destroyed())
            return false;
        if (!reread && WriteToEcu)
            return false; // writing would clear the ECU's bits around the field
        const int mask = DataMask();
        for (std::size_t r = 0; r < s.size(); ++r)
            for (std::size_t c = 0; c < s[r].size(); ++c)
                s[r][c] = (reread ? FRawValues[r][c] & ~mask : 0) | (s[r][c] & mask);
    }
    FRawValues = s;
    const bool ok = !WriteToEcu || (BlockWrite(std::move(s)) && !self.Destroyed());
    if (ok)
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

void TQorMatrix::DecodePacket(const std::uint8_t*) {}

} // namespace qor
