// TQorMatrix against the simulator library: the calls of every shape for reads, block
// writes and cell writes, the failure paths, the mask merge, the shape rules with their
// messages, and the "DefaultValue" stream.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "framework/MessageBox.h"
#include "tests/data/ArrayLink.h"

#include <functional>

namespace qor::test {
namespace {

using TRows = TQorMatrix::TRows;

class MatrixLink : public ArrayLink {
protected:
    TQorMatrix* Make(int Code, int Rows, int Cols, int Length = 1) {
        auto* m = new TQorMatrix(&Form);
        m->SetConnection(Link);
        m->SetSerialCode(Code);
        m->SetDataLength(Length);
        m->SetColCount(Cols);
        m->SetRowCount(Rows);
        return m;
    }
};

// Rows x Cols values, counting up from From row by row.
TRows Counting(int From, int Rows, int Cols) {
    TRows s(static_cast<std::size_t>(Rows));
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Cols; ++c)
            s[r].push_back(From + r * Cols + c);
    return s;
}

Lines Repeat(int Count, const std::function<std::string(int)>& Call) {
    Lines out;
    for (int i = 0; i < Count; ++i)
        out.push_back(Call(i) + "=1");
    return out;
}

// Block writes send 100, 101, ... row by row; element-by-element writes 120, 121, ...;
// the cell write of each case writes 99 into one cell.
TEST_F(MatrixLink, EachShapeReadsAndWritesWithItsOwnCalls) {
    struct TCase {
        const char* Name;
        int Code, Rows, Cols, Length;
        std::function<void(TQorMatrix&)> Setup;
        Lines Read, Write, WriteSingle;
        int CellRow, CellCol;
        std::string CellWrite;
    };
    const auto rc = [](int i, int cols) {
        return std::to_string(i / cols) + ", " + std::to_string(i % cols);
    };
    const TCase cases[] = {
        {"4 x 6 map", Grid, 4, 6, 1, [](TQorMatrix&) {},
         Repeat(4, [](int r) { return "ReadIndexed(0x6130, " + std::to_string(r) + ")"; }),
         Repeat(4, [](int r) { return "WriteRow(0x6130, " + std::to_string(r) + ", 6)"; }),
         Repeat(24,
                [&](int i) {
                    return "WriteElement(0x6130, " + rc(i, 6) + ", " + std::to_string(120 + i) +
                           ")";
                }),
         2, 5, "WriteElement(0x6130, 2, 5, 99)=1"},
        {"1 x 1 map: read without the array bit, written with it",
         Single,
         1,
         1,
         2,
         [](TQorMatrix&) {},
         {"ReadData(0x231, 1)=1"},
         {"WriteValue(0x331, 100)=1"},
         {"WriteValue(0x331, 120)=1"},
         0,
         0,
         "WriteValue(0x331, 99)=1"},
        {"5 x 1 map, one ReadIndexed per row without the array bit",
         Column,
         5,
         1,
         1,
         [](TQorMatrix&) {},
         Repeat(5, [](int r) { return "ReadIndexed(0x32, " + std::to_string(r) + ")"; }),
         {"WriteData(0x132, 5)=1"},
         Repeat(5,
                [](int r) {
                    return "WriteIndexed(0x132, " + std::to_string(r) + ", " +
                           std::to_string(120 + r) + ")";
                }),
         3,
         0,
         "WriteIndexed(0x132, 3, 99)=1"},
        {"5 x 1 map read with a single command",
         Column,
         5,
         1,
         1,
         [](TQorMatrix& m) { m.SetLoadVerticalVectorWithSingleCommand(true); },
         {"ReadData(0x132, 5)=1"},
         {"WriteData(0x132, 5)=1"},
         Repeat(5,
                [](int r) {
                    return "WriteIndexed(0x132, " + std::to_string(r) + ", " +
                           std::to_string(120 + r) + ")";
                }),
         4,
         0,
         "WriteIndexed(0x132, 4, 99)=1"},
        {"1 x 6 map",
         Row,
         1,
         6,
         1,
         [](TQorMatrix&) {},
         {"ReadData(0x6133, 6)=1"},
         {"WriteData(0x6133, 6)=1"},
         Repeat(6,
                [](int c) {
                    return "WriteIndexed(0x6133, " + std::to_string(c) + ", " +
                           std::to_string(120 + c) + ")";
                }),
         0,
         4,
         "WriteIndexed(0x6133, 4, 99)=1"},
        {"by address 0x200, two bytes, 8 columns: cell (1, 3) at 0x216", Wide, 2, 8, 2,
         [](TQorMatrix& m) {
             m.SetByAddress(true);
             m.SetAddress(0x200);
         },
         Repeat(16,
                [](int i) { return "ReadAtAddress(0x8336, " + std::to_string(512 + 2 * i) + ")"; }),
         Repeat(16,
                [](int i) {
                    return "WriteAtAddress(0x8336, " + std::to_string(512 + 2 * i) + ", " +
                           std::to_string(100 + i) + ")";
                }),
         Repeat(16,
                [](int i) {
                    return "WriteAtAddress(0x8336, " + std::to_string(512 + 2 * i) + ", " +
                           std::to_string(120 + i) + ")";
                }),
         1, 3, "WriteAtAddress(0x8336, 534, 99)=1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQorMatrix* m = Make(c.Code, c.Rows, c.Cols, c.Length);
        c.Setup(*m);
        ASSERT_TRUE(m->ReadFromEcu());
        EXPECT_EQ(TakeDataCalls(), c.Read);
        for (int i = 0; i < c.Rows * c.Cols; ++i)
            EXPECT_EQ(m->RawValues()[i / c.Cols][i % c.Cols], SimValue(c.Code, i)) << i;
        EXPECT_TRUE(m->ReadFromEcu());
        EXPECT_EQ(TakeLog(), Lines{}) << "answered from the cache";

        for (bool single : {false, true}) {
            m->SetSingleElementAccess(single);
            const TRows values = Counting(single ? 120 : 100, c.Rows, c.Cols);
            ASSERT_TRUE(m->WriteRawCells(values));
            EXPECT_EQ(TakeDataCalls(), single ? c.WriteSingle : c.Write);
            EXPECT_EQ(m->RawValues(), values);
            EXPECT_TRUE(m->DataValid());
            for (int i = 0; i < c.Rows * c.Cols; ++i)
                EXPECT_EQ(SimValue(c.Code, i), values[i / c.Cols][i % c.Cols]) << i;

            // One call for one cell, whatever SingleElementAccess says.
            ASSERT_TRUE(m->SetCellValue(c.CellRow, c.CellCol, 99));
            EXPECT_EQ(TakeDataCalls(), Lines{c.CellWrite});
            EXPECT_EQ(m->RawValues()[c.CellRow][c.CellCol], 99);
            EXPECT_EQ(SimValue(c.Code, c.CellRow * c.Cols + c.CellCol), 99);
        }
    }
}

} // namespace
} // namespace qor::test
