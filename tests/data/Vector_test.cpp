// TQorVector against the simulator library: the calls of every read and write mode,
// caching and the status word, the failure paths, the mask merge, the shape rules and
// the "DefaultValue" stream.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "framework/MessageBox.h"
#include "tests/data/ArrayLink.h"

#include <functional>

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

} // namespace
} // namespace qor::test
