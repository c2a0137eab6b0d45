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

TEST_F(MatrixLink, FailedReadPutsTheAskedCellBack) {
    // Five rows of a four-row map: rows 0 to 3 arrive, row 4 fails and the loop stops.
    TQorMatrix* m = Make(Grid, 5, 6);
    Watch(m);
    double value = -1;
    EXPECT_FALSE(m->GetCellValue(1, 2, value));
    EXPECT_DOUBLE_EQ(value, 0) << "the 12 that the failed read brought is not taken";
    EXPECT_EQ(m->RawValues()[1][3], 13) << "the other cells keep what the failed read left";
    EXPECT_EQ(TakeLog(),
              (Lines{"IsConnected()=1", "ReadIndexed(0x6130, 0)=1", "GetLastStatus()=0",
                     "ReadIndexed(0x6130, 1)=1", "GetLastStatus()=0", "ReadIndexed(0x6130, 2)=1",
                     "GetLastStatus()=0", "ReadIndexed(0x6130, 3)=1", "GetLastStatus()=0",
                     "ReadIndexed(0x6130, 4)=0", "GetLastStatus()=32", "GetLastStatus()=32",
                     "GetLastStatus()=32"}));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnError 32 reading", "WM_DATA_STATUS 32"}));

    for (auto [row, col] : {std::pair{5, 0}, {0, 6}, {-1, 0}, {0, -1}}) {
        value = -1;
        EXPECT_FALSE(m->GetCellValue(row, col, value)) << row << ", " << col;
        EXPECT_DOUBLE_EQ(value, -1) << "left alone";
        EXPECT_FALSE(m->SetCellValue(row, col, 1));
    }
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_EQ(TakeTrail(), Lines{}) << "no event for a cell outside the map";
}

TEST_F(MatrixLink, StatusWordFourKeepsTheDataValid) {
    if (!Sim.ForcesStatusWords())
        GTEST_SKIP() << "the link cannot force a status word";
    TQorMatrix* m = Make(Grid, 4, 6);
    Watch(m);
    Sim.FailNext(qsoReadIndexed, 1);
    Sim.SetStatusWord(stDataUsable);
    EXPECT_TRUE(m->ReadFromEcu());
    EXPECT_TRUE(m->DataValid());
    EXPECT_EQ(TakeDataCalls(), Lines{"ReadIndexed(0x6130, 0)=0"}) << "stopped after row 0";
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnError 4 reading", "WM_DATA_STATUS 4"}));
    double value = 0;
    EXPECT_TRUE(m->GetCellValue(3, 3, value));
    EXPECT_EQ(TakeLog(), Lines{}) << "answered from the cache";
}

TEST_F(MatrixLink, WithoutALibrary) {
    std::vector<std::string> boxes;
    TMessageBoxHandlerGuard guard([&](const std::string& Text, const std::string&, unsigned) {
        boxes.push_back(Text);
        return IDOK;
    });
    auto* missing = new TQorConnection(&Form);
    missing->SetDllName("missing.so");
    for (TQorConnection* con : {static_cast<TQorConnection*>(nullptr), missing}) {
        SCOPED_TRACE(con ? "library missing" : "no connection");
        auto* m = new TQorMatrix(&Form);
        m->SetRowCount(2);
        m->SetColCount(2);
        m->SetConnection(con);
        Watch(m);
        EXPECT_FALSE(m->ReadFromEcu());
        EXPECT_EQ(TakeTrail(), con ? Lines{"OnError -1 reading"} : Lines{});
        // The whole map: kept, reported as done, with OnError.
        EXPECT_TRUE(m->WriteRawCells(TRows{{1, 2}, {3, 4}}));
        EXPECT_EQ(m->RawValues(), (TRows{{1, 2}, {3, 4}}));
        EXPECT_FALSE(m->DataValid());
        EXPECT_EQ(TakeTrail(), Lines{"OnError -1 writing"});
        // One cell: kept and shown without a connection; refused when the library is
        // missing.
        EXPECT_EQ(m->SetCellValue(1, 0, 9), !con);
        EXPECT_EQ(m->RawValues()[1][0], con ? 3 : 9);
        if (con)
            EXPECT_EQ(TakeTrail(),
                      (Lines{"OnError -1 reading", "BeforeSetData 9 3 1 0", "OnError -1 writing"}));
        else
            EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData 9 3 1 0", "WM_DATA_CHANGED"}));
    }
    EXPECT_EQ(Sim.CallCount(), 0);
}

TEST_F(MatrixLink, RefusedAbortedAndFailedWritesKeepTheHeldValues) {
    TQorMatrix* m = Make(Grid, 4, 6);
    ASSERT_TRUE(m->ReadFromEcu());
    const TRows held = m->RawValues();
    const TRows fresh = Counting(1, 4, 6);
    Watch(m);
    TakeLog();

    AbortWrites = true;
    EXPECT_FALSE(m->WriteRawCells(fresh));
    EXPECT_FALSE(m->SetCellValue(2, 3, 50));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData 0 0 -1 -1", "BeforeSetData 50 23 2 3"}));
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_EQ(m->RawValues(), held);
    AbortWrites = false;

    m->SetReadOnly(true);
    EXPECT_FALSE(m->WriteRawCells(fresh));
    EXPECT_FALSE(m->SetCellValue(2, 3, 50));
    EXPECT_FALSE(m->WriteRawCells(Counting(1, 4, 5))) << "a row too short";
    EXPECT_EQ(TakeTrail(), Lines{});
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_TRUE(m->WriteToEcu()) << "ReadOnly does not stop WriteToEcu";
    EXPECT_EQ(TakeDataCalls().size(), 4u);
    m->SetReadOnly(false);
    TakeTrail();

    Sim.FailNext(qsoWriteRow, 1);
    EXPECT_FALSE(m->WriteRawCells(fresh));
    EXPECT_EQ(TakeDataCalls(), (Lines{"WriteRow(0x6130, 0, 0)=0", "WriteRow(0x6130, 1, 6)=1",
                                      "WriteRow(0x6130, 2, 6)=1", "WriteRow(0x6130, 3, 6)=1"}))
        << "the rows after a failed one are still written";
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData 0 0 -1 -1", "OnError 0 writing"}))
        << "the error code is the link's last status word, left by the last row";
    EXPECT_EQ(m->RawValues(), held);
    EXPECT_FALSE(m->DataValid());

    ASSERT_TRUE(m->ReadFromEcu());
    TakeLog();
    Sim.FailNext(qsoWriteElement, 1);
    EXPECT_FALSE(m->SetCellValue(0, 0, 77));
    EXPECT_EQ(m->RawValues()[0][0], 0) << "row 0 was not written";
    EXPECT_EQ(SimValue(Grid, 0), 0);
    EXPECT_FALSE(m->DataValid());
}

TEST_F(MatrixLink, MaskMergeReReadsWithoutMessages) {
    TQorMatrix* m = Make(Grid, 4, 6);
    m->SetDataMask(0xF0);
    Watch(m);
    // Cell (1, 2) holds 12 = 0x0C: a user value of 0x50 gives 0x5C.
    EXPECT_TRUE(m->SetCellValue(1, 2, 0x50));
    EXPECT_EQ(SimValue(Grid, 8), 0x5C);
    EXPECT_EQ(TakeDataCalls(), (Lines{"ReadIndexed(0x6130, 0)=1", "ReadIndexed(0x6130, 1)=1",
                                      "ReadIndexed(0x6130, 2)=1", "ReadIndexed(0x6130, 3)=1",
                                      "ReadIndexed(0x6130, 0)=1", "ReadIndexed(0x6130, 1)=1",
                                      "ReadIndexed(0x6130, 2)=1", "ReadIndexed(0x6130, 3)=1",
                                      "WriteElement(0x6130, 1, 2, 92)=1"}))
        << "the previous value, then the re-read of the merge";
    TakeTrail();

    m->SetDataMask(0x0F); // clears the cache
    TRows values = Counting(0, 4, 6);
    for (auto& row : values)
        for (auto& v : row)
            v = 0x37;
    EXPECT_TRUE(m->WriteRawCells(values));
    EXPECT_EQ(TakeDataCalls().size(), 8u) << "one re-read of 4 rows, 4 rows written";
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnGetData", "BeforeSetData 0 0 -1 -1",
                                  "OnSetData", "WM_DATA_CHANGED"}))
        << "the re-read sends no message";
    EXPECT_EQ(SimValue(Grid, 0), 0x07);
    EXPECT_EQ(SimValue(Grid, 8), 0x57);
    EXPECT_EQ(SimValue(Grid, 23), 0x27);

    // Defaults: every cell after one re-read.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c)
            m->SetDefaultValue(r, c, 3);
    EXPECT_TRUE(m->ApplyDefaults(true));
    EXPECT_EQ(TakeDataCalls().size(), 8u) << "one re-read of 4 rows, 4 rows written";
    EXPECT_EQ(SimValue(Grid, 0), 0x03);
    EXPECT_EQ(SimValue(Grid, 8), 0x53);
    EXPECT_EQ(SimValue(Grid, 23), 0x23);

    // A failed re-read writes nothing.
    Sim.FailNext(qsoReadIndexed, 1);
    EXPECT_FALSE(m->WriteRawCells(values));
    m->ReadFromEcu();
    Sim.FailNext(qsoReadIndexed, 1);
    EXPECT_FALSE(m->SetCellValue(0, 0, 5));
    for (const std::string& call : TakeLog())
        EXPECT_EQ(call.find("Write"), std::string::npos) << call;
    EXPECT_TRUE(m->NotifyEnabled());
}

TEST_F(MatrixLink, ConversionWithoutAValueWritesNothing) {
    TQorMatrix* m = Make(Grid, 4, 6);
    ASSERT_TRUE(m->ReadFromEcu());
    const TRows held = m->RawValues();
    m->SetTransformation(ttFormula);
    m->SetCoeffA(0); // user to raw divides by C * x - A = 0
    Watch(m);
    TakeLog();
    const std::string error = "OnError " + std::to_string(ConvErrorZeroDivisor) + " writing";
    EXPECT_FALSE(m->SetCellValue(1, 1, 5));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData 5 0 1 1", error, "WM_DATA_CHANGED"}));
    EXPECT_FALSE(m->ApplyDefaults(true));
    EXPECT_EQ(TakeTrail(), (Lines{error, "WM_DATA_CHANGED"}));
    EXPECT_FALSE(m->ApplyDefaults(false));
    EXPECT_EQ(TakeTrail(), Lines{});
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_EQ(m->RawValues(), held);
}

TEST(Matrix, ShapeRulesAndTheirMessages) {
    Lines trail;
    TComponent owner(nullptr);
    auto* m = new TQorMatrix(&owner);
    m->AddClient(new TTrailControl(&owner, trail));
    EXPECT_EQ(m->DataDescriptor(), 0x100u);
    EXPECT_EQ(m->Type(), mtSingle);

    m->SetColCount(6);
    m->SetRowCount(4);
    EXPECT_EQ(trail, (Lines{"WM_DATA_RESIZED 6 1", "WM_DATA_RESIZED 6 4"}));
    EXPECT_EQ(m->DataDescriptor(), 0x6100u) << "ColCount only";
    EXPECT_EQ(m->Type(), mtMatrix);
    m->SetDefaultValue(3, 5, 1.5);
    trail.clear();
    for (int ignored : {6, 0, -1, 256, 512})
        m->SetColCount(ignored);
    for (int ignored : {4, 0, -1, 256})
        m->SetRowCount(ignored);
    EXPECT_EQ(trail, Lines{});
    EXPECT_DOUBLE_EQ(m->DefaultValues()[3][5], 1.5);
    m->SetRowCount(259);
    EXPECT_EQ(m->RowCount(), 3) << "the low 8 bits";
    EXPECT_EQ(trail, Lines{"WM_DATA_RESIZED 6 3"});
    trail.clear();

    struct TCase {
        int Rows, Cols;
        TMatrixType Type;
        int NewRows, NewCols;
    };
    const TCase cases[] = {
        {1, 1, mtMatrix, 4, 5}, {4, 6, mtMatrix, 4, 6}, {1, 7, mtMatrix, 4, 7},
        {3, 1, mtVector, 3, 1}, {1, 4, mtVector, 1, 4}, {3, 3, mtVector, 1, 5},
        {1, 1, mtVector, 1, 5}, {4, 6, mtSingle, 1, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Rows) + " x " + std::to_string(c.Cols) + " to type " +
                     std::to_string(c.Type));
        m->SetColCount(c.Cols);
        m->SetRowCount(c.Rows);
        m->SetDefaultValue(0, 0, 7);
        trail.clear();
        m->SetType(c.Type);
        EXPECT_EQ(m->RowCount(), c.NewRows);
        EXPECT_EQ(m->ColCount(), c.NewCols);
        EXPECT_EQ(m->Type(), c.Type);
        EXPECT_DOUBLE_EQ(m->DefaultValues()[0][0], 0) << "every Type assignment zeroes";
        EXPECT_EQ(m->RawValues().size(), static_cast<std::size_t>(c.NewRows));
        EXPECT_EQ(m->RawValues()[0].size(), static_cast<std::size_t>(c.NewCols));
        EXPECT_EQ(trail, Lines{"WM_DATA_RESIZED " + std::to_string(c.NewCols) + " " +
                               std::to_string(c.NewRows)});
        EXPECT_EQ(m->DataDescriptor() >> 12, static_cast<unsigned>(c.NewCols))
            << "the descriptor follows the columns";
    }
}

TEST_F(MatrixLink, ShapeChangesClearTheCache) {
    TQorMatrix* m = Make(Grid, 4, 6);
    for (const auto& change :
         std::vector<std::function<void()>>{[&] { m->SetColCount(5); }, [&] { m->SetRowCount(3); },
                                            [&] { m->SetType(mtMatrix); }}) {
        m->SetColCount(6);
        m->SetRowCount(4);
        ASSERT_TRUE(m->ReadFromEcu());
        change();
        m->SetColCount(6);
        m->SetRowCount(4);
        EXPECT_FALSE(m->DataValid());
        double value = 0;
        EXPECT_TRUE(m->GetCellValue(3, 5, value));
        EXPECT_DOUBLE_EQ(value, 35) << "read again instead of answering 0 from the cache";
    }
}

TEST_F(MatrixLink, DefaultValueStreamFitsThePresentShape) {
    RegisterDataClasses();
    Form.SetName("Form");
    Link->SetName("Link");
    TQorMatrix* m = Make(Grid, 2, 3);
    m->SetName("Spark");
    m->SetLoadVerticalVectorWithSingleCommand(true);
    m->SetDefaultValue(0, 1, 1.5);
    m->SetDefaultValue(1, 2, -4);
    const std::string text = WriteComponentText(Form);
    EXPECT_NE(text.find("    ColCount = 3\n    RowCount = 2\n    Type = mtMatrix\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("DefaultValue = (2 3 0.0 1.5 0.0 0.0 0.0 -4.0)"), std::string::npos)
        << text;
    auto copy = ReadComponentText(text);
    auto* back = dynamic_cast<TQorMatrix*>(copy->FindComponent("Spark"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->DefaultValues(), m->DefaultValues());
    EXPECT_EQ(back->RawValues(), (TRows{{0, 1, 0}, {0, 0, -4}})) << "Loaded applied them";
    EXPECT_TRUE(back->LoadVerticalVectorWithSingleCommand());
    EXPECT_EQ(WriteComponentText(*copy), text);
    EXPECT_EQ(Sim.CallCount(), 0) << "loading writes nothing";

    struct TCase {
        const char* Stream;
        std::vector<std::vector<double>> Defaults;
    };
    const TCase cases[] = {
        {"(3 3 1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0 9.0)", {{1, 2, 3, 0}, {4, 5, 6, 0}}},
        {"(1 5 1.0 2.0 3.0 4.0 5.0)", {{1, 2, 3, 4}, {0, 0, 0, 0}}},
        {"(0 0)", {{0, 0, 0, 0}, {0, 0, 0, 0}}},
    };
    for (const TCase& c : cases) {
        TQorMatrix* fresh = Make(Grid, 2, 4);
        fresh->SetName("Fresh");
        ReadComponentTextInto(*fresh, std::string("object Fresh: TQorMatrix\n  DefaultValue = ") +
                                          c.Stream + "\nend\n");
        EXPECT_EQ(fresh->DefaultValues(), c.Defaults) << c.Stream;
        delete fresh;
    }
    EXPECT_THROW(ReadComponentTextInto(
                     *m, "object Spark: TQorMatrix\n  DefaultValue = (2 2 1.0 2.0 3.0)\nend\n"),
                 EReadError);
}

} // namespace
} // namespace qor::test
