// INI values and command entries of TQorMatrix.

#include "data/ArrayIni.h"
#include "data/Matrix.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>

namespace qor {

namespace {

// Keys of the cells: Name alone for 1 x 1, Name + the index that varies for one row or one
// column, Name + R + "_" + C for a map. One buffer serves every key of a walk over the map,
// and a walk row by row rewrites only the column's digits.
class TCellKeys {
public:
    explicit TCellKeys(const TQorMatrix& M)
        : FType(M.Type()), FRowVaries(M.ColCount() == 1), FKey(M.FileKeyName()),
          FNameLength(FKey.size()) {}
    const std::string& operator()(int R, int C) {
        switch (FType) {
        case mtSingle:
            break;
        case mtVector:
            SetDigits(FNameLength, FRowVaries ? R : C);
            break;
        case mtMatrix:
            if (R != FRow) {
                SetDigits(FNameLength, R);
                FKey += '_';
                FRowLength = FKey.size();
                FRow = R;
            }
            SetDigits(FRowLength, C);
            break;
        }
        return FKey;
    }

private:
    // Keeps the first Keep characters of the key and appends the digits of Value.
    void SetDigits(std::size_t Keep, int Value) {
        FKey.resize(Keep + 11); // room for any int
        char* const start = FKey.data() + Keep;
        FKey.resize(Keep +
                    static_cast<std::size_t>(std::to_chars(start, start + 11, Value).ptr - start));
    }

    TMatrixType FType;
    bool FRowVaries;
    std::string FKey;
    std::size_t FNameLength;
    int FRow = -1; // the row whose prefix FKey holds
    std::size_t FRowLength = 0;
};

} // namespace

bool TQorMatrix::SaveToIni(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // conversions may run handlers that destroy the object
    TCellKeys key(*this);
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c) {
            const std::int32_t raw = FRawValues[static_cast<std::size_t>(r)][c];
            if (StoreUserValue()) {
                const double value = EcuToUser(raw);
                if (self.Destroyed())
                    return false;
                Ini.WriteString(FileSection(), key(r, c), UserValueText(value));
            } else
                Ini.WriteInteger(FileSection(), key(r, c), raw);
        }
    return true;
}

bool TQorMatrix::LoadFromIni(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // handlers of the writes may destroy the object
    const int cols = ColCount();
    // The cells row-major in one working array.
    std::vector<std::int32_t> slots;
    slots.reserve(static_cast<std::size_t>(RowCount()) * cols);
    for (const auto& row : FRawValues)
        slots.insert(slots.end(), row.begin(), row.end());
    int error = 0;
    TCellKeys key(*this);
    const bool converted = ReadIniSlots(
        Ini, FileSection(), StoreUserValue(), slots,
        [&key, cols](int i) -> const std::string& { return key(i / cols, i % cols); },
        [this, &error, &self](int, double value, std::int32_t& slot) {
            const TToEcuResult r = ConvertUnmerged(value, std::nullopt, slot);
            if (self.Destroyed())
                return false;
            if (r.Outcome == TToEcuOutcome::NoValue) {
                error = r.Raw;
                return false;
            }
            slot = r.Raw;
            return true;
        });
    if (self.Destroyed())
        return false;
    if (!converted) {
        // An error result is neither stored nor written; the whole load is refused.
        if (!OldReadFileMode())
            DoConversionError(error);
        return false;
    }
    if (OldReadFileMode() && !FullMask()) {
        // One silent re-read gives the bits around the field of every cell.
        const TRows held = FRawValues;
        if (!SilentReload()) {
            if (self.Destroyed())
                return false;
            FRawValues = held;
            return false;
        }
        std::vector<std::int32_t> around;
        around.reserve(slots.size());
        for (const auto& row : FRawValues)
            around.insert(around.end(), row.begin(), row.end());
        MergeUnderMask(slots, around, DataMask());
    }
    TRows cells(FRawValues.size());
    for (std::size_t r = 0; r < cells.size(); ++r) {
        const auto first = slots.begin() + static_cast<std::ptrdiff_t>(r * cols);
        cells[r].assign(first, first + cols);
    }
    if (OldReadFileMode()) {
        FRawValues = std::move(cells);
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
        return true;
    }
    // WriteRawCells merges under a partial mask itself.
    const bool ok = WriteRawCells(cells);
    if (!ok && !self.Destroyed())
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

bool TQorMatrix::SaveCommandEntry(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    static constexpr std::uint32_t codes[] = {CommandMatrixSingle, CommandMatrixVector,
                                              CommandMatrixMatrix};
    std::string line;
    line.reserve(16 + static_cast<std::size_t>(RowCount()) * ColCount() * 3);
    AppendHexField(line, codes[Type()]);
    AppendHexField(line, DataDescriptor());
    AppendHexField(line, static_cast<std::uint32_t>(DataMask()));
    AppendHexField(line, static_cast<std::uint32_t>(ColCount()));
    AppendHexField(line, static_cast<std::uint32_t>(RowCount()));
    for (int c = 0; c < ColCount(); ++c) // column by column
        for (const auto& row : FRawValues)
            AppendHexField(line, static_cast<std::uint32_t>(row[static_cast<std::size_t>(c)]));
    Ini.WriteString(FileSection(), FileKeyName(), line);
    return true;
}

bool TQorMatrix::LoadCommandEntry(TCustomIniFile& Ini) {
    if (IniPlace(*this) != TIniPlace::Set)
        return IniPlace(*this) == TIniPlace::Unset;
    TComponentWatch self(this); // handlers of the writes may destroy the object
    if (!Ini.ValueExists(FileSection(), FileKeyName()))
        return false;
    const std::string line = Ini.ReadString(FileSection(), FileKeyName(), "");
    Ini.DeleteKey(FileSection(), FileKeyName()); // consumed, whatever happens next
    // The entry's own shape; its values run column by column through that shape. Only the
    // cells inside both shapes take a value; the others of the map take 0, and nothing is
    // read from outside the entry.
    int entryCols = 0, entryRows = 0;
    HexTokenAt(3, line, entryCols);
    HexTokenAt(4, line, entryRows);
    const std::int64_t cells =
        entryCols > 0 && entryRows > 0 ? std::int64_t{entryCols} * entryRows : 0;
    TRows values(FRawValues.size(), std::vector<std::int32_t>(FRawValues[0].size(), 0));
    TCommandValues fields(line);
    for (std::int64_t k = 0; k < cells && !fields.AtEnd(); ++k) {
        // The last cell of the entry takes the rest of the line.
        const int value = fields.Next(k == cells - 1);
        const std::int64_t r = k % entryRows, c = k / entryRows;
        if (r < RowCount() && c < ColCount())
            values[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = value;
    }
    const bool ok = WriteRawCells(values);
    if (!ok && !self.Destroyed())
        NotifyClients(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(this), 0);
    return ok;
}

bool TQorMatrix::ReadCommandField(TCustomIniFile& Ini, int Index, int* Value) {
    return ReadCommandFieldOf(*this, Ini, Index, Value);
}

} // namespace qor
