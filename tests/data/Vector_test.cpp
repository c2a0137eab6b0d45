// TQorVector against the simulator library: the calls of every read and write mode,
// caching and the status word, the failure paths, the mask merge, the shape rules and
// the "DefaultValue" stream.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "framework/MessageBox.h"
#include "tests/data/ArrayLink.h"

#include <functional>
#include <tuple>

namespace qor::test {
namespace {

class VectorLink : public ArrayLink {
protected:
    TQorVector* Make(int Code, int Count, int Length = 1) {
        auto* v = new TQorVector(&Form);
        v->SetConnection(Link);
        v->SetSerialCode(Code);
        v->SetDataLength(Length);
        v->SetArrayDimension(Count);
        return v;
    }
};

std::vector<std::int32_t> Counting(int From, int Count) {
    std::vector<std::int32_t> v;
    for (int i = 0; i < Count; ++i)
        v.push_back(From + i);
    return v;
}

// Block writes send 100, 101, ...; element-by-element writes 120, 121, ...
TEST_F(VectorLink, EachModeReadsAndWritesWithItsOwnCalls) {
    struct TCase {
        const char* Name;
        int Code, Count, Length;
        std::function<void(TQorVector&)> Setup;
        int SimFirst, SimStep; // sim index of element i: SimFirst + i * SimStep
        Lines Read, Write, WriteSingle;
    };
    const TCase cases[] = {
        {"vector of its own",
         Axis,
         6,
         1,
         [](TQorVector&) {},
         0,
         1,
         {"ReadData(0x6134, 6)"},
         {"WriteData(0x6134, 6)"},
         {"WriteIndexed(0x6134, 0, 120)", "WriteIndexed(0x6134, 1, 121)",
          "WriteIndexed(0x6134, 2, 122)", "WriteIndexed(0x6134, 3, 123)",
          "WriteIndexed(0x6134, 4, 124)", "WriteIndexed(0x6134, 5, 125)"}},
        {"map row 3, read with the array bit cleared",
         Grid,
         6,
         1,
         [](TQorVector& v) {
             v.SetType(vtMatrixRow);
             v.SetRowIndex(3);
         },
         18,
         1,
         {"ReadIndexed(0x6030, 3)"},
         {"WriteRow(0x6130, 3, 6)"},
         {"WriteElement(0x6130, 3, 0, 120)", "WriteElement(0x6130, 3, 1, 121)",
          "WriteElement(0x6130, 3, 2, 122)", "WriteElement(0x6130, 3, 3, 123)",
          "WriteElement(0x6130, 3, 4, 124)", "WriteElement(0x6130, 3, 5, 125)"}},
        {"map column 2, element by element either way",
         Grid,
         4,
         1,
         [](TQorVector& v) {
             v.SetType(vtMatrixCol);
             v.SetColIndex(2);
         },
         2,
         6,
         {"ReadElement(0x4130, 0, 2)", "ReadElement(0x4130, 1, 2)", "ReadElement(0x4130, 2, 2)",
          "ReadElement(0x4130, 3, 2)"},
         {"WriteElement(0x4130, 0, 2, 100)", "WriteElement(0x4130, 1, 2, 101)",
          "WriteElement(0x4130, 2, 2, 102)", "WriteElement(0x4130, 3, 2, 103)"},
         {"WriteElement(0x4130, 0, 2, 120)", "WriteElement(0x4130, 1, 2, 121)",
          "WriteElement(0x4130, 2, 2, 122)", "WriteElement(0x4130, 3, 2, 123)"}},
        {"by address 0x100, two bytes: element 3 at 0x106, whatever the type",
         Words,
         4,
         2,
         [](TQorVector& v) {
             v.SetType(vtMatrixRow);
             v.SetByAddress(true);
             v.SetAddress(0x100);
         },
         0,
         1,
         {"ReadAtAddress(0x4335, 256)", "ReadAtAddress(0x4335, 258)", "ReadAtAddress(0x4335, 260)",
          "ReadAtAddress(0x4335, 262)"},
         {"WriteAtAddress(0x4335, 256, 100)", "WriteAtAddress(0x4335, 258, 101)",
          "WriteAtAddress(0x4335, 260, 102)", "WriteAtAddress(0x4335, 262, 103)"},
         {"WriteAtAddress(0x4335, 256, 120)", "WriteAtAddress(0x4335, 258, 121)",
          "WriteAtAddress(0x4335, 260, 122)", "WriteAtAddress(0x4335, 262, 123)"}},
    };
    const auto succeeded = [](Lines calls) {
        for (std::string& c : calls)
            c += "=1";
        return calls;
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQorVector* v = Make(c.Code, c.Count, c.Length);
        c.Setup(*v);
        ASSERT_TRUE(v->ReadFromEcu());
        EXPECT_EQ(TakeDataCalls(), succeeded(c.Read));
        for (int i = 0; i < c.Count; ++i)
            EXPECT_EQ(v->RawValues()[i], SimValue(c.Code, c.SimFirst + i * c.SimStep)) << i;
        EXPECT_TRUE(v->ReadFromEcu());
        EXPECT_EQ(TakeLog(), Lines{}) << "answered from the cache";

        for (bool single : {false, true}) {
            v->SetSingleElementAccess(single);
            const std::vector<std::int32_t> values = Counting(single ? 120 : 100, c.Count);
            ASSERT_TRUE(v->WriteRawElements(values));
            EXPECT_EQ(TakeDataCalls(), succeeded(single ? c.WriteSingle : c.Write));
            EXPECT_EQ(v->RawValues(), values);
            EXPECT_TRUE(v->DataValid());
            for (int i = 0; i < c.Count; ++i)
                EXPECT_EQ(SimValue(c.Code, c.SimFirst + i * c.SimStep), values[i]) << i;
        }
    }
}

TEST_F(VectorLink, ElementLoopStopsAfterTheFirstNonzeroStatus) {
    // Six rows asked of a four-row map: row 4 is refused and row 5 is not asked.
    TQorVector* v = Make(Grid, 6);
    v->SetType(vtMatrixCol);
    v->SetColIndex(1);
    Watch(v);
    EXPECT_FALSE(v->ReadFromEcu());
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadElement(0x6130, 0, 1)=1",
                                "GetLastStatus()=0", "ReadElement(0x6130, 1, 1)=1",
                                "GetLastStatus()=0", "ReadElement(0x6130, 2, 1)=1",
                                "GetLastStatus()=0", "ReadElement(0x6130, 3, 1)=1",
                                "GetLastStatus()=0", "ReadElement(0x6130, 4, 1)=0",
                                "GetLastStatus()=32", "GetLastStatus()=32", "GetLastStatus()=32"}));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnError 32 reading", "WM_DATA_STATUS 32"}));
    EXPECT_FALSE(v->DataValid());
}

TEST_F(VectorLink, FailedReadPutsTheAskedElementBack) {
    // Six rows of a four-row map: rows 0 to 3 arrive, row 4 fails.
    TQorVector* v = Make(Grid, 6);
    v->SetType(vtMatrixCol);
    v->SetColIndex(2);
    double value = -1;
    EXPECT_FALSE(v->GetElementValue(2, value));
    EXPECT_DOUBLE_EQ(value, 0) << "the 22 that the failed read brought is not taken";
    EXPECT_EQ(v->RawValues(), (std::vector<std::int32_t>{2, 12, 0, 32, 0, 0}))
        << "the other elements keep what the failed read left";
    TakeLog();

    for (int index : {6, -1}) {
        value = -1;
        EXPECT_FALSE(v->GetElementValue(index, value)) << index;
        EXPECT_DOUBLE_EQ(value, 0.0);
    }
    EXPECT_EQ(TakeLog(), Lines{}) << "an index outside the array reads nothing";
}

TEST_F(VectorLink, StatusWordFourKeepsTheDataValid) {
    if (!Sim.ForcesStatusWords())
        GTEST_SKIP() << "the link cannot force a status word";
    TQorVector* v = Make(Axis, 6);
    Watch(v);
    Sim.FailNext(qsoReadData, 1);
    Sim.SetStatusWord(stDataUsable);
    EXPECT_TRUE(v->ReadFromEcu());
    EXPECT_TRUE(v->DataValid());
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnError 4 reading", "WM_DATA_STATUS 4"}));
    TakeLog();
    double value = 0;
    EXPECT_TRUE(v->GetElementValue(0, value));
    EXPECT_EQ(TakeLog(), Lines{}) << "answered from the cache";
}

TEST_F(VectorLink, WithoutALibraryReadsFailAndBlockWritesStayLocal) {
    std::vector<std::string> boxes;
    TMessageBoxHandlerGuard guard([&](const std::string& Text, const std::string&, unsigned) {
        boxes.push_back(Text);
        return IDOK;
    });
    auto* missing = new TQorConnection(&Form);
    missing->SetDllName("missing.so");
    struct TCase {
        TQorConnection* Con;
        Lines ReadTrail;
    };
    for (const TCase& c : {TCase{nullptr, {}}, TCase{missing, {"OnError -1 reading"}}}) {
        SCOPED_TRACE(c.Con ? "library missing" : "no connection");
        auto* v = new TQorVector(&Form);
        v->SetArrayDimension(3);
        v->SetConnection(c.Con);
        Watch(v);
        EXPECT_FALSE(v->ReadFromEcu());
        EXPECT_EQ(TakeTrail(), c.ReadTrail);
        EXPECT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{4, 5, 6}));
        EXPECT_EQ(v->RawValues(), (std::vector<std::int32_t>{4, 5, 6}));
        EXPECT_FALSE(v->DataValid()) << "the next read tries the ECU again";
        EXPECT_EQ(TakeTrail(), Lines{"OnError -1 writing"});
    }
    EXPECT_EQ(Sim.CallCount(), 0);
}

TEST_F(VectorLink, RefusedAbortedAndFailedWritesKeepTheHeldValues) {
    TQorVector* v = Make(Axis, 6);
    ASSERT_TRUE(v->ReadFromEcu());
    const std::vector<std::int32_t> fresh = Counting(1, 6);
    Watch(v);
    TakeLog();

    AbortWrites = true;
    EXPECT_FALSE(v->WriteRawElements(fresh));
    EXPECT_FALSE(v->WriteToEcu());
    EXPECT_FALSE(v->ApplyDefaults(true));
    EXPECT_EQ(TakeTrail(), Lines(3, "BeforeSetData 0 0 -1 -1"));
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_TRUE(v->DataValid()) << "an aborted write leaves the cache as it was";
    AbortWrites = false;

    v->SetReadOnly(true);
    EXPECT_FALSE(v->WriteRawElements(fresh));
    EXPECT_FALSE(v->WriteRawElements(Counting(1, 5))) << "five values for six elements";
    EXPECT_EQ(TakeTrail(), Lines{});
    EXPECT_EQ(TakeLog(), Lines{});
    const std::vector<std::int32_t> zeros(6, 0);
    EXPECT_EQ(v->RawValues(), zeros) << "the aborted ApplyDefaults converted the defaults";
    EXPECT_TRUE(v->WriteToEcu()) << "ReadOnly does not stop WriteToEcu";
    EXPECT_EQ(TakeDataCalls(), Lines{"WriteData(0x6134, 6)=1"});
    v->SetReadOnly(false);
    TakeTrail();

    Sim.FailNext(qsoWriteData, 1);
    EXPECT_FALSE(v->WriteRawElements(fresh));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData 0 0 -1 -1",
                                  "OnError " + std::to_string(Sim.InjectedStatus()) + " writing"}));
    EXPECT_EQ(v->RawValues(), zeros);
    EXPECT_FALSE(v->DataValid());
    EXPECT_EQ(SimValue(Axis, 1), 0);
}

TEST_F(VectorLink, MaskMergeReReadsOnceWithoutMessages) {
    for (int i = 0; i < 6; ++i)
        Sim.SetValue(Axis, i, 0xA0 + i);
    TQorVector* v = Make(Axis, 6);
    v->SetDataMask(0x0F);
    Watch(v);
    EXPECT_TRUE(v->WriteRawElements(std::vector<std::int32_t>{0xF5, 5, 5, 5, 5, 0x7}));
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadData(0x6134, 6)=1", "GetLastStatus()=0",
                                "WriteData(0x6134, 6)=1"}));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnGetData", "BeforeSetData 0 0 -1 -1",
                                  "OnSetData", "WM_DATA_CHANGED"}))
        << "the re-read sends no message";
    EXPECT_EQ(v->RawValues(), (std::vector<std::int32_t>{0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA7}));
    EXPECT_TRUE(v->NotifyEnabled());

    // Defaults are merged the same way, every element after one re-read (a re-read per
    // element would overwrite the elements converted before it).
    for (int i = 0; i < 6; ++i) {
        Sim.SetValue(Axis, i, 0x30 + i);
        v->SetDefaultValue(i, 9);
    }
    EXPECT_TRUE(v->ApplyDefaults(true));
    EXPECT_EQ(TakeDataCalls(), (Lines{"ReadData(0x6134, 6)=1", "WriteData(0x6134, 6)=1"}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(SimValue(Axis, i), 0x39) << i;

    // A failed re-read writes nothing.
    Sim.FailNext(qsoReadData, 1);
    EXPECT_FALSE(v->WriteRawElements(Counting(0, 6)));
    Sim.FailNext(qsoReadData, 1);
    EXPECT_FALSE(v->ApplyDefaults(true));
    EXPECT_EQ(TakeDataCalls(), (Lines{"ReadData(0x6134, 0)=0", "ReadData(0x6134, 0)=0"}));
    EXPECT_EQ(SimValue(Axis, 0), 0x39);
}

TEST_F(VectorLink, ConversionWithoutAValueWritesNothing) {
    TQorVector* v = Make(Axis, 6);
    ASSERT_TRUE(v->ReadFromEcu());
    v->SetTransformation(ttTabled); // no table loaded
    Watch(v);
    TakeLog();
    EXPECT_FALSE(v->ApplyDefaults(true));
    EXPECT_EQ(TakeTrail(), (Lines{"OnError -10000001 writing", "WM_DATA_CHANGED"}));
    EXPECT_FALSE(v->ApplyDefaults(false));
    EXPECT_EQ(TakeTrail(), Lines{});
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_EQ(v->RawValues(), Counting(70, 6));
}

TEST_F(VectorLink, ApplyDefaultsConvertsByIndexAndWritesOnRequest) {
    TQorVector* v = Make(Axis, 6);
    v->SetTransformation(ttCustom);
    std::vector<std::tuple<double, int, int>> seen;
    v->SetOnConvertToEcuIndex([&](TObject*, double User, int& Raw, int Index) {
        seen.emplace_back(User, Raw, Index);
        Raw = static_cast<int>(User) * 10 + Index;
    });
    v->SetDefaultValue(0, 1);
    v->SetDefaultValue(1, 2);
    v->SetDefaultValue(2, 3);
    v->SetDefaultValue(6, 4); // outside the array: ignored
    Watch(v);
    EXPECT_TRUE(v->ApplyDefaults(false));
    EXPECT_EQ(v->RawValues(), (std::vector<std::int32_t>{10, 21, 32, 3, 4, 5}));
    EXPECT_EQ(TakeTrail(), Lines{"WM_DATA_CHANGED"});
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_TRUE(v->ApplyDefaults(true));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData 0 0 -1 -1", "OnSetData", "WM_DATA_CHANGED",
                                  "WM_DATA_CHANGED"}));
    EXPECT_EQ(TakeDataCalls(), Lines{"WriteData(0x6134, 6)=1"});
    EXPECT_EQ(SimValue(Axis, 2), 32);
    ASSERT_EQ(seen.size(), 12u);
    EXPECT_EQ(std::get<1>(seen[6]), 10) << "the indexed event starts from the present value";
}

TEST(Vector, ShapeRules) {
    TQorVector v(nullptr);
    EXPECT_EQ(v.DataDescriptor(), 0x100u);
    EXPECT_EQ(v.Type(), vtSingle);
    v.SetArrayDimension(4);
    v.SetDefaultValue(3, 2.5);
    EXPECT_EQ(v.DataDescriptor(), 0x4100u);
    for (int ignored : {4, 0, -3, 256, 512}) {
        v.SetArrayDimension(ignored);
        EXPECT_EQ(v.ArrayDimension(), 4) << ignored;
        EXPECT_DOUBLE_EQ(v.DefaultValues()[3], 2.5) << ignored << " keeps the values";
    }
    v.SetArrayDimension(300);
    EXPECT_EQ(v.ArrayDimension(), 44) << "the low 8 bits";
    EXPECT_EQ(v.DataDescriptor(), 0x2C100u);
    EXPECT_EQ(v.RawValues(), std::vector<std::int32_t>(44, 0));
    EXPECT_EQ(v.DefaultValues(), std::vector<double>(44, 0.0));

    v.SetRowIndex(5);
    EXPECT_EQ(v.RowIndex(), -1) << "a row only for a row vector";
    v.SetType(vtMatrixRow);
    EXPECT_EQ(v.RowIndex(), 0);
    v.SetRowIndex(5);
    v.SetColIndex(2);
    EXPECT_EQ(v.Type(), vtMatrixRow);
    EXPECT_EQ(v.RowIndex(), 5);
    EXPECT_EQ(v.ColIndex(), -1);
    v.SetRowIndex(-2);
    EXPECT_EQ(v.RowIndex(), 5) << "a negative row is ignored";
    v.SetType(vtMatrixRow);
    EXPECT_EQ(v.RowIndex(), 5) << "a non-negative index stays";
    v.SetType(vtMatrixCol);
    EXPECT_EQ(v.RowIndex(), -1);
    EXPECT_EQ(v.ColIndex(), 0);
    v.SetType(vtSingle);
    EXPECT_EQ(v.ColIndex(), -1);
    EXPECT_EQ(v.ArrayDimension(), 44) << "the type leaves the storage alone";
}

TEST_F(VectorLink, ResizeClearsTheCache) {
    TQorVector* v = Make(Axis, 6);
    ASSERT_TRUE(v->ReadFromEcu());
    v->SetArrayDimension(3);
    v->SetArrayDimension(6);
    EXPECT_FALSE(v->DataValid());
    double value = 0;
    EXPECT_TRUE(v->GetElementValue(5, value));
    EXPECT_DOUBLE_EQ(value, 75) << "read again instead of answering 0 from the cache";
}

TEST_F(VectorLink, OneElementVectorReadsNoMoreThanItHolds) {
    // Values per row 0 in the descriptor let the library move the item's six values.
    TQorVector* v = Make(Axis, 1);
    EXPECT_EQ(v->DataDescriptor(), 0x134u);
    ASSERT_TRUE(v->ReadFromEcu());
    EXPECT_EQ(TakeDataCalls(), Lines{"ReadData(0x134, 6)=1"});
    EXPECT_EQ(v->RawValues(), std::vector<std::int32_t>{70});
}

TEST_F(VectorLink, SnapshotRestoresTheRawValues) {
    TQorVector* v = Make(Axis, 6);
    ASSERT_TRUE(v->ReadFromEcu());
    v->SaveValues();
    Sim.SetValue(Axis, 2, 1);
    ASSERT_TRUE(v->ReloadFromEcu());
    EXPECT_EQ(*v->SavedRawValues(), Counting(70, 6));
    v->RestoreValues();
    EXPECT_EQ(v->RawValues(), Counting(70, 6));
    EXPECT_EQ(v->SavedRawValues(), nullptr) << "restoring drops the snapshot";
    v->SaveValues();
    v->SetArrayDimension(2);
    v->RestoreValues();
    EXPECT_EQ(v->RawValues(), (std::vector<std::int32_t>{70, 71})) << "as much as fits";
}

TEST_F(VectorLink, DefaultValueStreamFitsThePresentCount) {
    RegisterDataClasses();
    Form.SetName("Form");
    Link->SetName("Link");
    auto* v = Make(Axis, 3);
    v->SetName("Trim");
    v->SetType(vtMatrixRow);
    v->SetDefaultValue(0, 1.5);
    v->SetDefaultValue(2, -2);
    const std::string text = WriteComponentText(Form);
    EXPECT_NE(text.find("    ArrayDimension = 3\n    Type = vtMatrixRow\n    ColIndex = -1\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("DefaultValue = (3 1.5 0.0 -2.0)"), std::string::npos) << text;
    auto copy = ReadComponentText(text);
    auto* back = dynamic_cast<TQorVector*>(copy->FindComponent("Trim"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Type(), vtMatrixRow);
    EXPECT_EQ(back->RowIndex(), 0);
    EXPECT_EQ(back->DefaultValues(), (std::vector<double>{1.5, 0, -2}));
    EXPECT_EQ(back->RawValues(), (std::vector<std::int32_t>{1, 0, -2})) << "Loaded applied them";
    EXPECT_EQ(WriteComponentText(*copy), text);
    EXPECT_EQ(Sim.CallCount(), 0) << "loading writes nothing";

    struct TCase {
        const char* Stream;
        std::vector<double> Defaults;
    };
    const TCase cases[] = {
        {"(5 1.0 2.0 3.0 4.0 5.0)", {1, 2, 3}},
        {"(1 7.0)", {7, 0, 0}},
        {"(0)", {0, 0, 0}},
    };
    for (const TCase& c : cases) {
        auto* fresh = Make(Axis, 3);
        fresh->SetName("Fresh");
        ReadComponentTextInto(*fresh, std::string("object Fresh: TQorVector\n  DefaultValue = ") +
                                          c.Stream + "\nend\n");
        EXPECT_EQ(fresh->DefaultValues(), c.Defaults) << c.Stream;
        delete fresh;
    }
    EXPECT_THROW(
        ReadComponentTextInto(*v, "object Trim: TQorVector\n  DefaultValue = (3 1.0)\nend\n"),
        EReadError);
}

} // namespace
} // namespace qor::test
