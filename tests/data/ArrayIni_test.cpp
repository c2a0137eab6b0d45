// INI values and command entries of TQorVector and TQorMatrix, against the simulator
// library (image data/shapes.img) and the in-memory INI store: keys of every type, value
// texts, command entries, loading with and without OldReadFileMode, map entries whose
// shape differs from the map's, and a 255 x 255 map through a memory block and back.

#include "data/SerialData.h"
#include "framework/SysUtils.h"
#include "inistore/Qormeminifile.h"
#include "tests/data/ArrayLink.h"

#include <cstdint>
#include <functional>

namespace qor::test {
namespace {

using TRows = TQorMatrix::TRows;

class ArrayIni : public ArrayLink {
protected:
    TQorVector* MakeVector(int Code, int Count, int Length = 1) {
        auto* v = new TQorVector(&Form);
        v->SetConnection(Link);
        v->SetSerialCode(Code);
        v->SetDataLength(Length);
        v->SetArrayDimension(Count);
        v->SetFileSection("Maps");
        v->SetFileKeyName("Map");
        return v;
    }
    TQorMatrix* MakeMatrix(int Code, int Rows, int Cols, int Length = 1) {
        auto* m = new TQorMatrix(&Form);
        m->SetConnection(Link);
        m->SetSerialCode(Code);
        m->SetDataLength(Length);
        m->SetColCount(Cols);
        m->SetRowCount(Rows);
        m->SetFileSection("Maps");
        m->SetFileKeyName("Map");
        return m;
    }

    Lines Section(const std::string& Name) {
        TStringList lines;
        Ini.ReadSectionValues(Name, lines);
        Lines out;
        for (int i = 0; i < lines.Count(); ++i)
            out.push_back(lines[i]);
        return out;
    }

    Lines SimValues(int Code, int Count) {
        Lines out;
        for (int i = 0; i < Count; ++i)
            out.push_back(std::to_string(SimValue(Code, i)));
        return out;
    }

    TMemIniBlock Block;
    TMemIniData Ini{Block.Ref()};
};

TEST_F(ArrayIni, KeysOfEveryTypeAndTheirValueTexts) {
    struct TCase {
        const char* Name;
        std::function<TQorSerialData*(TComponent*)> Make;
        Lines User, Raw;
    };
    // Values held without a connection; ttFormula A = 0.5 halves them.
    const auto vector = [](std::function<void(TQorVector&)> Setup) {
        return [Setup](TComponent* Owner) {
            auto* v = new TQorVector(Owner);
            v->SetArrayDimension(3);
            Setup(*v);
            const std::int32_t values[] = {3, 255, -1};
            v->WriteRawElements(values);
            return v;
        };
    };
    const auto matrix = [](int Rows, int Cols) {
        return [Rows, Cols](TComponent* Owner) {
            auto* m = new TQorMatrix(Owner);
            m->SetColCount(Cols);
            m->SetRowCount(Rows);
            TRows s(static_cast<std::size_t>(Rows));
            for (int r = 0; r < Rows; ++r)
                for (int c = 0; c < Cols; ++c)
                    s[r].push_back(1 + r * Cols + c);
            m->WriteRawCells(s);
            return m;
        };
    };
    const TCase cases[] = {
        {"vtSingle",
         vector([](TQorVector&) {}),
         {"Map0=1.5", "Map1=127.5", "Map2=127.5"},
         {"Map0=3", "Map1=255", "Map2=-1"}},
        {"vtMatrixRow at row 2",
         vector([](TQorVector& v) {
             v.SetType(vtMatrixRow);
             v.SetRowIndex(2);
         }),
         {"Map2_0=1.5", "Map2_1=127.5", "Map2_2=127.5"},
         {"Map2_0=3", "Map2_1=255", "Map2_2=-1"}},
        {"vtMatrixCol at column 4",
         vector([](TQorVector& v) {
             v.SetType(vtMatrixCol);
             v.SetColIndex(4);
         }),
         {"Map0_4=1.5", "Map1_4=127.5", "Map2_4=127.5"},
         {"Map0_4=3", "Map1_4=255", "Map2_4=-1"}},
        {"2 x 2 map",
         matrix(2, 2),
         {"Map0_0=0.5", "Map0_1=1", "Map1_0=1.5", "Map1_1=2"},
         {"Map0_0=1", "Map0_1=2", "Map1_0=3", "Map1_1=4"}},
        {"1 x 1 map", matrix(1, 1), {"Map=0.5"}, {"Map=1"}},
        {"1 x 3 map: the column varies",
         matrix(1, 3),
         {"Map0=0.5", "Map1=1", "Map2=1.5"},
         {"Map0=1", "Map1=2", "Map2=3"}},
        {"3 x 1 map: the row varies",
         matrix(3, 1),
         {"Map0=0.5", "Map1=1", "Map2=1.5"},
         {"Map0=1", "Map1=2", "Map2=3"}},
    };
    for (const TCase& c : cases) {
        for (const bool user : {true, false}) {
            Ini.Clear();
            TComponent owner(nullptr);
            TQorSerialData* d = c.Make(&owner);
            d->SetTransformation(ttFormula);
            d->SetCoeffA(0.5);
            d->SetFileSection("Maps");
            d->SetFileKeyName("Map");
            d->SetStoreUserValue(user);
            EXPECT_TRUE(d->SaveToIni(Ini)) << c.Name;
            EXPECT_EQ(Section("Maps"), user ? c.User : c.Raw) << c.Name;
        }
    }
}

TEST_F(ArrayIni, SectionAndKeyCheck) {
    auto* v = MakeVector(Axis, 6);
    auto* m = MakeMatrix(Grid, 4, 6);
    Ini.WriteString("Maps", "Map", "F3 0 FF 6 1 1 2 3 4 5 6");
    for (TQorSerialData* d : std::initializer_list<TQorSerialData*>{v, m}) {
        int field = 0;
        d->SetFileSection("");
        d->SetFileKeyName("");
        EXPECT_TRUE(d->SaveToIni(Ini));
        EXPECT_TRUE(d->LoadFromIni(Ini));
        EXPECT_TRUE(d->SaveCommandEntry(Ini));
        EXPECT_TRUE(d->LoadCommandEntry(Ini));
        EXPECT_FALSE(d->ReadCommandField(Ini, 0, &field));
        for (auto [section, key] : {std::pair{"Maps", ""}, std::pair{"", "Map"}}) {
            d->SetFileSection(section);
            d->SetFileKeyName(key);
            EXPECT_FALSE(d->SaveToIni(Ini));
            EXPECT_FALSE(d->LoadFromIni(Ini));
            EXPECT_FALSE(d->SaveCommandEntry(Ini));
            EXPECT_FALSE(d->LoadCommandEntry(Ini));
        }
    }
    EXPECT_EQ(Section("Maps"), (Lines{"Map=F3 0 FF 6 1 1 2 3 4 5 6"}));
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(ArrayIni, CommandEntryTexts) {
    TComponent owner(nullptr);
    auto* v = new TQorVector(&owner);
    v->SetSerialCode(5);
    v->SetArrayDimension(3);
    v->SetFileSection("S");
    v->SetFileKeyName("Axis");
    const std::int32_t values[] = {1, 255, 16};
    v->WriteRawElements(values);
    EXPECT_EQ(v->DataDescriptor(), 0x3105u);
    EXPECT_TRUE(v->SaveCommandEntry(Ini));
    EXPECT_EQ(Ini.ReadString("S", "Axis", ""), "F3 3105 FF 3 1 1 FF 10");
    const std::int32_t negative[] = {-1, 0, 2};
    v->WriteRawElements(negative);
    v->SetType(vtMatrixCol);
    v->SaveCommandEntry(Ini);
    EXPECT_EQ(Ini.ReadString("S", "Axis", ""), "F5 3105 FF 3 1 FFFFFFFF 0 2");
    v->SetType(vtMatrixRow);
    v->SaveCommandEntry(Ini);
    EXPECT_EQ(Ini.ReadString("S", "Axis", "").substr(0, 3), "F4 ");

    auto* m = new TQorMatrix(&owner);
    m->SetColCount(2);
    m->SetRowCount(2);
    m->SetFileSection("S");
    m->SetFileKeyName("Map");
    m->WriteRawCells({{1, 2}, {3, 4}});
    EXPECT_TRUE(m->SaveCommandEntry(Ini));
    EXPECT_EQ(Ini.ReadString("S", "Map", ""), "F8 2100 FF 2 2 1 3 2 4") << "column by column";
    m->SetColCount(3);
    m->SetRowCount(1);
    m->WriteRawCells({{7, 8, 9}});
    m->SaveCommandEntry(Ini);
    EXPECT_EQ(Ini.ReadString("S", "Map", ""), "F7 3100 FF 3 1 7 8 9");
    m->SetType(mtSingle);
    m->SaveCommandEntry(Ini);
    EXPECT_EQ(Ini.ReadString("S", "Map", ""), "F6 1100 FF 1 1 0");
}

TEST_F(ArrayIni, VectorCommandEntryIsWrittenAndConsumed) {
    auto* v = MakeVector(Axis, 6);
    Watch(v);
    Ini.WriteString("Maps", "Map", "F3 6134 FF 6 1 A B C");
    int field = 0;
    EXPECT_TRUE(v->ReadCommandField(Ini, 3, &field));
    EXPECT_EQ(field, 6);
    EXPECT_TRUE(v->ReadCommandField(Ini, 7, &field));
    EXPECT_EQ(field, 0xC);
    EXPECT_FALSE(v->ReadCommandField(Ini, 8, &field));
    EXPECT_TRUE(Ini.ValueExists("Maps", "Map"));

    EXPECT_TRUE(v->LoadCommandEntry(Ini));
    EXPECT_EQ(TakeDataCalls(), (Lines{"WriteData(0x6134, 6)=1"}));
    EXPECT_EQ(SimValues(Axis, 6), (Lines{"10", "11", "12", "0", "0", "0"})) << "missing: 0";
    EXPECT_FALSE(Ini.ValueExists("Maps", "Map"));
    EXPECT_FALSE(v->LoadCommandEntry(Ini));

    // Surplus values are ignored; a failed write still consumes the entry.
    Ini.WriteString("Maps", "Map", "F3 6134 FF 6 1 1 2 3 4 5 6 7 8");
    Sim.FailNext(qsoWriteData, 1);
    TakeTrail();
    EXPECT_FALSE(v->LoadCommandEntry(Ini));
    EXPECT_FALSE(Ini.ValueExists("Maps", "Map"));
    EXPECT_EQ(TakeTrail().back(), "WM_DATA_CHANGED");
    EXPECT_EQ(v->RawValues(), (std::vector<std::int32_t>{10, 11, 12, 0, 0, 0}));
    Ini.WriteString("Maps", "Map", "F3 6134 FF 6 1 1 2 3 4 5 6 7 8");
    EXPECT_TRUE(v->LoadCommandEntry(Ini));
    EXPECT_EQ(SimValues(Axis, 6), (Lines{"1", "2", "3", "4", "5", "6"}));

    // A value that is not hexadecimal raises before anything is written.
    TakeLog();
    Ini.WriteString("Maps", "Map", "F3 6134 FF 6 1 1 2 x3");
    EXPECT_THROW(v->LoadCommandEntry(Ini), EConvertError);
    EXPECT_FALSE(Ini.ValueExists("Maps", "Map"));
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(SimValues(Axis, 6), (Lines{"1", "2", "3", "4", "5", "6"}));
}

// Cell (r, c) of the 4 x 6 Grid as the simulator holds it, row by row.
Lines GridRows(TTestLink& Sim) {
    Lines out;
    for (int r = 0; r < 4; ++r) {
        std::string row;
        for (int c = 0; c < 6; ++c) {
            std::int32_t v = 0;
            Sim.GetValue(Grid, r * 6 + c, &v);
            row += (c ? " " : "") + std::to_string(v);
        }
        out.push_back(row);
    }
    return out;
}

TEST_F(ArrayIni, MapCommandEntryOfAnyShapeFillsOnlyTheCellsInsideBoth) {
    struct TCase {
        const char* Name;
        const char* Entry;
        Lines Rows;
    };
    const TCase cases[] = {
        {"the map's shape, column by column",
         "F8 6130 FF 6 4 1 2 3 4 5 6 7 8 9 A B C D E F 10 11 12 13 14 15 16 17 18",
         {"1 5 9 13 17 21", "2 6 10 14 18 22", "3 7 11 15 19 23", "4 8 12 16 20 24"}},
        {"smaller: 2 columns of 3 rows",
         "F8 0 FF 2 3 1 2 3 4 5 6",
         {"1 4 0 0 0 0", "2 5 0 0 0 0", "3 6 0 0 0 0", "0 0 0 0 0 0"}},
        {"taller and narrower: 2 columns of 5 rows; row 4 is dropped",
         "F8 0 FF 2 5 1 2 3 4 5 6 7 8 9 A",
         {"1 6 0 0 0 0", "2 7 0 0 0 0", "3 8 0 0 0 0", "4 9 0 0 0 0"}},
        {"wider: 7 columns of 1 row; column 6 is dropped",
         "F8 0 FF 7 1 1 2 3 4 5 6 7",
         {"1 2 3 4 5 6", "0 0 0 0 0 0", "0 0 0 0 0 0", "0 0 0 0 0 0"}},
        {"fewer values than the entry's shape: the rest is 0",
         "F8 0 FF 6 4 1 2 3",
         {"1 0 0 0 0 0", "2 0 0 0 0 0", "3 0 0 0 0 0", "0 0 0 0 0 0"}},
        {"no shape: every cell 0",
         "F8 0 FF 0 4 1 2 3",
         {"0 0 0 0 0 0", "0 0 0 0 0 0", "0 0 0 0 0 0", "0 0 0 0 0 0"}},
    };
    auto* m = MakeMatrix(Grid, 4, 6);
    for (const TCase& c : cases) {
        Ini.WriteString("Maps", "Map", c.Entry);
        EXPECT_TRUE(m->LoadCommandEntry(Ini)) << c.Name;
        EXPECT_EQ(GridRows(Sim), c.Rows) << c.Name;
        EXPECT_FALSE(Ini.ValueExists("Maps", "Map"));
        EXPECT_EQ(TakeDataCalls().size(), 4u) << "one WriteRow per row";
    }
    // The entry's last cell takes the rest of the line: a surplus value makes it no number.
    Ini.WriteString("Maps", "Map", "F8 0 FF 1 2 1 2 3");
    EXPECT_THROW(m->LoadCommandEntry(Ini), EConvertError);
    EXPECT_TRUE(TakeDataCalls().empty());
}

TEST_F(ArrayIni, VectorLoadWritesTheKeysThatExist) {
    auto* v = MakeVector(Axis, 6);
    v->SetTransformation(ttFormula);
    v->SetCoeffA(0.5);
    ASSERT_TRUE(v->ReloadFromEcu()); // 70 .. 75
    Watch(v);
    Ini.WriteString("Maps", "Map0", "1,5");
    Ini.WriteString("Maps", "Map2", "abc"); // keeps its value
    Ini.WriteString("Maps", "Map5", "10");
    TakeLog();
    EXPECT_TRUE(v->LoadFromIni(Ini));
    EXPECT_EQ(TakeDataCalls(), (Lines{"WriteData(0x6134, 6)=1"}));
    EXPECT_EQ(SimValues(Axis, 6), (Lines{"3", "71", "72", "73", "74", "20"}));

    v->SetStoreUserValue(false);
    Ini.Clear();
    Ini.WriteString("Maps", "Map1", "12abc"); // skipped
    Ini.WriteString("Maps", "Map3", "$10");
    EXPECT_TRUE(v->LoadFromIni(Ini));
    EXPECT_EQ(SimValues(Axis, 6), (Lines{"3", "71", "72", "16", "74", "20"}));

    TFormatSettingsGuard comma({',', '.'});
    v->SetStoreUserValue(true);
    Ini.WriteString("Maps", "Map4", "1.5");
    EXPECT_TRUE(v->LoadFromIni(Ini));
    EXPECT_EQ(v->RawValues()[4], 3);

    // A failed write: false, the clients are told, the values stay.
    Sim.FailNext(qsoWriteData, 1);
    Ini.WriteString("Maps", "Map4", "2");
    TakeTrail();
    EXPECT_FALSE(v->LoadFromIni(Ini));
    EXPECT_EQ(TakeTrail().back(), "WM_DATA_CHANGED");
    EXPECT_EQ(v->RawValues()[4], 3);
}

TEST_F(ArrayIni, OldReadFileModeStoresWithoutWriting) {
    auto* v = MakeVector(Axis, 6);
    v->SetOldReadFileMode(true);
    Watch(v);
    Ini.WriteString("Maps", "Map1", "9");
    Ini.WriteString("Maps", "Map4", "8");
    EXPECT_TRUE(v->LoadFromIni(Ini));
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(TakeTrail(), (Lines{"WM_DATA_CHANGED"}));
    EXPECT_EQ(v->RawValues(), (std::vector<std::int32_t>{0, 9, 0, 0, 8, 0}));
    EXPECT_EQ(SimValue(Axis, 1), 71);

    // A partial mask takes the bits around the field from one silent re-read.
    auto* m = MakeMatrix(Grid, 4, 6);
    m->SetOldReadFileMode(true);
    m->SetDataMask(0x0F);
    m->SetStoreUserValue(false);
    ASSERT_TRUE(m->ReloadFromEcu());
    TakeLog();
    Watch(m);
    Ini.WriteString("Maps", "Map2_3", "$FF");
    EXPECT_TRUE(m->LoadFromIni(Ini));
    EXPECT_EQ(TakeDataCalls(), (Lines{"ReadIndexed(0x6130, 0)=1", "ReadIndexed(0x6130, 1)=1",
                                      "ReadIndexed(0x6130, 2)=1", "ReadIndexed(0x6130, 3)=1"}));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnGetData", "WM_DATA_CHANGED"}))
        << "the re-read's messages are held back";
    EXPECT_EQ(m->RawValues()[2][3], 0x1F) << "23 is 0x17: its high bits, the loaded low bits";
    EXPECT_EQ(m->RawValues()[1][1], 11) << "a cell without key keeps its field";
    EXPECT_EQ(SimValue(Grid, 2 * 6 + 3), 23);

    // When the re-read fails nothing changes.
    Sim.FailNext(qsoReadIndexed, 1);
    Ini.WriteString("Maps", "Map2_3", "0");
    EXPECT_FALSE(m->LoadFromIni(Ini));
    EXPECT_EQ(m->RawValues()[2][3], 0x1F);
    EXPECT_EQ(m->RawValues()[0][1], 1);
}

TEST_F(ArrayIni, ConversionErrorsNeverReachTheEcuOrTheHeldValues) {
    auto* v = MakeVector(Axis, 6);
    auto* m = MakeMatrix(Grid, 4, 6);
    ASSERT_TRUE(v->ReloadFromEcu());
    ASSERT_TRUE(m->ReloadFromEcu());
    Ini.WriteString("Maps", "Map1", "5");
    Ini.WriteString("Maps", "Map1_1", "5");
    for (TQorSerialData* d : std::initializer_list<TQorSerialData*>{v, m}) {
        d->SetTransformation(ttTabled); // no table: no user value converts
        for (const bool old : {false, true}) {
            d->SetOldReadFileMode(old);
            TakeLog();
            EXPECT_FALSE(d->LoadFromIni(Ini));
            EXPECT_TRUE(TakeDataCalls().empty());
        }
    }
    EXPECT_EQ(v->RawValues()[1], 71);
    EXPECT_EQ(m->RawValues()[1][1], 11);
    EXPECT_EQ(SimValues(Axis, 2), (Lines{"70", "71"}));
}

TEST_F(ArrayIni, MapLoadWritesRowsAndSectionCallsRestoreFileSection) {
    auto* m = MakeMatrix(Grid, 4, 6);
    ASSERT_TRUE(m->ReloadFromEcu());
    ASSERT_TRUE(m->SaveToIniSection(Ini, "Saved"));
    EXPECT_EQ(m->FileSection(), "Maps");
    EXPECT_EQ(Section("Saved").size(), 24u);
    Ini.WriteString("Saved", "Map3_5", "99");
    TakeLog();
    EXPECT_TRUE(m->LoadFromIniSection(Ini, "Saved"));
    EXPECT_EQ(m->FileSection(), "Maps");
    EXPECT_EQ(TakeDataCalls().size(), 4u);
    EXPECT_EQ(SimValue(Grid, 23), 99);
    EXPECT_EQ(SimValue(Grid, 22), 34);
}

// Every raw value of a 255 x 255 map survives SaveToIni, UpdateFile, a new store over the
// new block and LoadFromIni, as user values ("%g", six digits) and as raw integers.
TEST(ArrayIniRoundTrip, LargestMapThroughAMemoryBlock) {
    const int side = 255;
    for (const bool user : {true, false}) {
        TQorMatrix saved(nullptr), loaded(nullptr);
        for (TQorMatrix* m : {&saved, &loaded}) {
            m->SetDataLength(2);
            m->SetSigned(true);
            m->SetTransformation(ttFormula);
            m->SetCoeffA(0.25); // 8191.75 needs all six digits
            m->SetColCount(side);
            m->SetRowCount(side);
            m->SetFileSection("Map");
            m->SetFileKeyName("Map");
            m->SetStoreUserValue(user);
        }
        TRows cells(side, std::vector<std::int32_t>(side));
        for (int r = 0; r < side; ++r)
            for (int c = 0; c < side; ++c)
                cells[r][c] = static_cast<std::int16_t>(r * 257 + c * 131 + (r ^ c) * 7);
        cells[0][0] = -32768;
        cells[0][1] = 32767;
        ASSERT_TRUE(saved.WriteRawCells(cells)); // no connection: held only
        ASSERT_EQ(saved.RawValues(), cells);

        TMemIniBlock block;
        {
            TMemIniData ini(block.Ref());
            ASSERT_TRUE(saved.SaveToIni(ini));
            ini.UpdateFile();
        }
        const auto size =
            MemIniLengthSize + static_cast<std::size_t>(MemIniBlockLength(block.Get())) + 1;
        TMemIniData ini(block.Ref(), size);
        loaded.SetOldReadFileMode(true);
        ASSERT_TRUE(loaded.LoadFromIni(ini));
        EXPECT_TRUE(loaded.RawValues() == cells) << (user ? "user values" : "raw values");
    }
}

} // namespace
} // namespace qor::test
