// The "DefaultValue" defined property of vectors and maps in form files.

#include "data/SerialData.h"
#include "framework/Filer.h"

namespace qor {

void TQorVector::DefineProperties(TFiler& Filer) {
    inherited::DefineProperties(Filer);
    Filer.DefineProperty(
        "DefaultValue",
        [this](TReader& Reader) {
            Reader.ReadListBegin();
            const std::int64_t n = Reader.ReadInteger();
            // Every streamed value is read; those beyond the present count are dropped.
            for (std::int64_t i = 0; i < n; ++i) {
                const double v = Reader.ReadFloat();
                if (i < ArrayDimension())
                    FDefaultValues[static_cast<std::size_t>(i)] = v;
            }
            Reader.ReadListEnd();
        },
        [this](TWriter& Writer) {
            Writer.WriteListBegin();
            Writer.WriteInteger(ArrayDimension());
            for (double v : FDefaultValues)
                Writer.WriteFloat(v);
            Writer.WriteListEnd();
        },
        true);
}

void TQorMatrix::DefineProperties(TFiler& Filer) {
    inherited::DefineProperties(Filer);
    Filer.DefineProperty(
        "DefaultValue",
        [this](TReader& Reader) {
            Reader.ReadListBegin();
            const std::int64_t rows = Reader.ReadInteger();
            const std::int64_t cols = Reader.ReadInteger();
            // Every streamed value is read; those outside the present shape are dropped.
            // Counts of 0 or less stream no values (any that follow make the list too long);
            // huge counts end at the end of the list, at most one read per value.
            if (rows <= 0 || cols <= 0) {
                Reader.ReadListEnd();
                return;
            }
            for (std::int64_t r = 0; r < rows; ++r)
                for (std::int64_t c = 0; c < cols; ++c) {
                    const double v = Reader.ReadFloat();
                    if (r < RowCount() && c < ColCount())
                        FDefaultValues[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                            v;
                }
            Reader.ReadListEnd();
        },
        [this](TWriter& Writer) {
            Writer.WriteListBegin();
            Writer.WriteInteger(RowCount());
            Writer.WriteInteger(ColCount());
            for (const std::vector<double>& row : FDefaultValues)
                for (double v : row)
                    Writer.WriteFloat(v);
            Writer.WriteListEnd();
        },
        true);
}

} // namespace qor
