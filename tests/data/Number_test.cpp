// TQorNumber against the simulator library: which library calls each operation makes,
// caching, status word, events, writes refused or failed, the mask merge, and the form
// stream.

#include "data/SerialData.h"
#include "ecusim/SimControl.h"
#include "framework/Control.h"
#include "framework/FormStreaming.h"
#include "framework/MessageBox.h"
#include "link/QorConnection.h"
#include "tests/support/TestLink.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace qor::test {
namespace {

using Lines = std::vector<std::string>;

// Codes of the built-in simulator image.
constexpr int FuelMap = 0x04;      // map u16 16 x 16
constexpr int IdleSpeed = 0x05;    // value u16, 850, at 0x0400
constexpr int FanOnTemp = 0x07;    // value u8, 135, at 0x0404
constexpr int WarmupEnrich = 0x09; // vector u8 x 8

// A client control that writes the messages it gets into a shared trail.
class TTrailControl : public TControl {
public:
    TTrailControl(TComponent* AOwner, Lines& Trail) : TControl(AOwner), FTrail(Trail) {}

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg == WM_DATA_CHANGED)
            FTrail.push_back("WM_DATA_CHANGED");
        else if (Message.Msg == WM_DATA_STATUS)
            FTrail.push_back("WM_DATA_STATUS " + std::to_string(Message.LParam));
    }

private:
    Lines& FTrail;
};

// A number whose raw storage can be handed to UserToEcu as the mask merge expects.
class TOpenNumber : public TQorNumber {
public:
    using TQorNumber::TQorNumber;
    int* Raw() { return &FRawValue; }
};

class NumberLink : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Link = new TQorConnection(&Form);
        Link->SetDllName(Sim.DllName());
        ASSERT_TRUE(Link->LoadDll());
        Sim.ClearLog();
    }

    template <class N = TQorNumber> N* Make(int Code, int Length = 1) {
        auto* n = new N(&Form);
        n->SetConnection(Link);
        n->SetSerialCode(Code);
        n->SetDataLength(Length);
        return n;
    }

    // Records every event of the number, and the messages its clients get, in order.
    void Watch(TQorNumber* N) {
        N->SetBeforeGetData([this](TObject*) { Trail.push_back("BeforeGetData"); });
        N->SetOnGetData([this](TObject*) { Trail.push_back("OnGetData"); });
        N->SetOnSetData([this](TObject*) { Trail.push_back("OnSetData"); });
        N->SetBeforeSetData([this](TObject*, double* v, double, int, int, bool& Abort) {
            Trail.push_back("BeforeSetData");
            Abort = AbortWrites;
            if (ChangeTo)
                *v = ChangeTo;
        });
        N->SetOnError([this](TObject*, int Code, bool Writing) {
            Trail.push_back("OnError " + std::to_string(Code) +
                            (Writing ? " writing" : " reading"));
        });
        N->AddClient(new TTrailControl(&Form, Trail));
    }

    int SimValue(int Code, int Index = 0) {
        std::int32_t v = 0;
        EXPECT_TRUE(Sim.GetValue(Code, Index, &v));
        return v;
    }

    Lines TakeLog() {
        Lines log = Sim.Log();
        Sim.ClearLog();
        return log;
    }
    Lines TakeTrail() { return std::exchange(Trail, {}); }

    TTestLink Sim;
    TComponent Form{nullptr};
    TQorConnection* Link = nullptr;
    Lines Trail;
    bool AbortWrites = false;
    double ChangeTo = 0; // 0: leave the value alone
};

TEST_F(NumberLink, EachAddressingModeUsesItsOwnOperation) {
    struct TCase {
        const char* Name;
        std::function<void(TQorNumber&)> Setup;
        int Code, Length, SimIndex;
        const char* Read;
        int Write;
        const char* WriteCall;
    };
    const TCase cases[] = {
        {"single value", [](TQorNumber&) {}, IdleSpeed, 2, 0, "ReadData(0x205, 1)=1", 900,
         "WriteValue(0x205, 900)=1"},
        {"vector element", [](TQorNumber& n) { n.SetRowIndex(3); }, WarmupEnrich, 1, 3,
         "ReadIndexed(0x9, 3)=1", 42, "WriteIndexed(0x9, 3, 42)=1"},
        {"map element",
         [](TQorNumber& n) {
             n.SetRowIndex(2);
             n.SetColIndex(5);
         },
         FuelMap, 2, 2 * 16 + 5, "ReadElement(0x204, 2, 5)=1", 1234,
         "WriteElement(0x204, 2, 5, 1234)=1"},
        {"by address, whatever the indexes",
         [](TQorNumber& n) {
             n.SetRowIndex(2);
             n.SetColIndex(1);
             n.SetByAddress(true);
             n.SetAddress(0x0404);
         },
         FanOnTemp, 1, 0, "ReadAtAddress(0x7, 1028)=1", 100, "WriteAtAddress(0x7, 1028, 100)=1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQorNumber* n = Make(c.Code, c.Length);
        c.Setup(*n);
        const int before = SimValue(c.Code, c.SimIndex);
        ASSERT_TRUE(n->ReadFromEcu());
        EXPECT_EQ(n->RawValue(), before);
        EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", c.Read, "GetLastStatus()=0"}));
        ASSERT_TRUE(n->WriteEcuValue(c.Write));
        EXPECT_EQ(TakeLog(), Lines{c.WriteCall}) << "writes ask neither link state nor status";
        EXPECT_EQ(SimValue(c.Code, c.SimIndex), c.Write);
        EXPECT_EQ(n->RawValue(), c.Write);
        EXPECT_TRUE(n->DataValid());
    }
}

TEST_F(NumberLink, UserValueIsReadOnceUntilReloaded) {
    TQorNumber* n = Make(IdleSpeed, 2);
    n->SetTransformation(ttFormula);
    n->SetCoeffA(0.5);
    Watch(n);
    EXPECT_DOUBLE_EQ(n->GetUserValue(), 425);
    Sim.SetValue(IdleSpeed, 0, 900);
    EXPECT_DOUBLE_EQ(n->GetUserValue(), 425);
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadData(0x205, 1)=1", "GetLastStatus()=0"}));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnGetData", "WM_DATA_CHANGED"}));

    EXPECT_TRUE(n->ReloadFromEcu());
    EXPECT_DOUBLE_EQ(n->GetUserValue(), 450);
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadData(0x205, 1)=1", "GetLastStatus()=0"}));
}

TEST_F(NumberLink, LinkDownReadsNothingAndTheHeldValueCounts) {
    TQorNumber* n = Make(IdleSpeed, 2);
    const std::uint8_t held[4] = {0x10, 0x02, 0, 0};
    n->DecodePacket(held);
    Watch(n);
    Sim.SetConnected(0);
    EXPECT_DOUBLE_EQ(n->GetUserValue(), 0x210);
    EXPECT_EQ(TakeLog(), Lines{"IsConnected()=0"});
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnGetData", "WM_DATA_CHANGED"}));
    EXPECT_TRUE(n->DataValid());
}

TEST_F(NumberLink, FailedReadReportsTheStatusWordAndKeepsTheOldValue) {
    TQorNumber* n = Make(IdleSpeed, 2);
    ASSERT_TRUE(n->ReadFromEcu());
    Watch(n);
    Sim.ClearLog();
    Sim.SetValue(IdleSpeed, 0, 900);
    Sim.FailNext(qsoReadData, 2);
    EXPECT_FALSE(n->ReloadFromEcu());
    EXPECT_FALSE(n->DataValid());
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadData(0x205, 0)=0",
                                "GetLastStatus()=" + std::to_string(Sim.InjectedStatus()),
                                "GetLastStatus()=" + std::to_string(Sim.InjectedStatus())}));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData",
                                  "OnError " + std::to_string(Sim.InjectedStatus()) + " reading",
                                  "WM_DATA_STATUS " + std::to_string(Sim.InjectedStatus())}));
    double value = 0;
    EXPECT_FALSE(n->TryReadUserValue(value)) << "an invalid cache is read again";
    EXPECT_DOUBLE_EQ(value, 850);
    EXPECT_DOUBLE_EQ(n->GetUserValue(), 900) << "the next call tries again";
}

TEST_F(NumberLink, StatusWordFourMakesAFailedReadCount) {
    if (!Sim.ForcesStatusWords())
        GTEST_SKIP() << "the link cannot force a status word";
    TQorNumber* n = Make(IdleSpeed, 2);
    Watch(n);
    Sim.FailNext(qsoReadData, 1);
    Sim.SetStatusWord(stDataUsable);
    EXPECT_TRUE(n->ReadFromEcu());
    EXPECT_TRUE(n->DataValid());
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeGetData", "OnError 4 reading", "WM_DATA_STATUS 4"}));
    TakeLog();
    n->GetUserValue();
    EXPECT_EQ(TakeLog(), Lines{}) << "answered from the cache";
}

TEST_F(NumberLink, BeforeSetDataMayChangeOrAbortAWrite) {
    TQorNumber* n = Make(WarmupEnrich);
    n->SetRowIndex(3);
    const double held = SimValue(WarmupEnrich, 3);
    std::vector<std::tuple<double, double, int, int>> seen;
    n->SetBeforeSetData([&](TObject*, double* v, double prev, int row, int col, bool& Abort) {
        seen.emplace_back(*v, prev, row, col);
        Abort = AbortWrites;
        if (*v == 10 || *v == 0)
            *v = 12; // a raw write ignores the change
    });
    EXPECT_TRUE(n->SetUserValue(10));
    EXPECT_EQ(SimValue(WarmupEnrich, 3), 12);
    EXPECT_TRUE(n->SetEcuValue(30));
    EXPECT_EQ(SimValue(WarmupEnrich, 3), 30);
    EXPECT_EQ(seen, (std::vector<std::tuple<double, double, int, int>>{{10, held, -1, -1},
                                                                       {0, 0, -1, -1}}));
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadIndexed(0x9, 3)=1", "GetLastStatus()=0",
                                "WriteIndexed(0x9, 3, 12)=1", "WriteIndexed(0x9, 3, 30)=1"}));

    AbortWrites = true;
    EXPECT_FALSE(n->SetUserValue(50));
    EXPECT_FALSE(n->SetEcuValue(50));
    EXPECT_FALSE(n->WriteToEcu());
    EXPECT_EQ(TakeLog(), Lines{}) << "the previous value comes from the cache";
    EXPECT_EQ(SimValue(WarmupEnrich, 3), 30);
}

TEST_F(NumberLink, ReadOnlyRefusesUserAndRawWritesButNotWriteToEcu) {
    TQorNumber* n = Make(FanOnTemp);
    ASSERT_TRUE(n->ReadFromEcu());
    n->SetReadOnly(true);
    Watch(n);
    TakeLog();
    EXPECT_FALSE(n->SetUserValue(5));
    EXPECT_EQ(TakeTrail(), Lines{"WM_DATA_CHANGED"}) << "views show the held value again";
    EXPECT_FALSE(n->SetEcuValue(5));
    EXPECT_EQ(TakeTrail(), Lines{});
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_TRUE(n->WriteToEcu());
    EXPECT_EQ(TakeLog(), Lines{"WriteValue(0x7, 135)=1"});
}

TEST_F(NumberLink, FailedWriteKeepsTheHeldValue) {
    TQorNumber* n = Make(FanOnTemp);
    ASSERT_TRUE(n->ReadFromEcu());
    Watch(n);
    Sim.FailNext(qsoWriteValue, 1);
    EXPECT_FALSE(n->SetUserValue(100));
    EXPECT_EQ(n->RawValue(), 135);
    EXPECT_FALSE(n->DataValid());
    EXPECT_EQ(SimValue(FanOnTemp), 135);
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData",
                                  "OnError " + std::to_string(Sim.InjectedStatus()) + " writing"}));
}

TEST_F(NumberLink, WithoutALibraryReadsSucceedEmptyAndWritesStayLocal) {
    std::vector<std::string> boxes;
    TMessageBoxHandlerGuard guard([&](const std::string& Text, const std::string&, unsigned) {
        boxes.push_back(Text);
        return IDOK;
    });
    auto* missing = new TQorConnection(&Form);
    missing->SetDllName("missing.so");
    for (TQorConnection* con : {static_cast<TQorConnection*>(nullptr), missing}) {
        SCOPED_TRACE(con ? "library missing" : "no connection");
        auto* n = new TQorNumber(&Form);
        n->SetConnection(con);
        Watch(n);
        EXPECT_TRUE(n->ReadFromEcu());
        EXPECT_FALSE(n->DataValid()) << "the next read tries again";
        EXPECT_EQ(TakeTrail(), Lines{}) << "no event";
        EXPECT_TRUE(n->SetUserValue(5));
        EXPECT_EQ(n->RawValue(), 5);
        EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData", "OnError -1 writing"}));
        EXPECT_TRUE(n->SetEcuValue(7));
        EXPECT_EQ(n->RawValue(), 7);
        EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData", "OnError -1 writing"}));
        EXPECT_DOUBLE_EQ(n->GetUserValue(), 7);
    }
    EXPECT_EQ(Sim.CallCount(), 0);
    EXPECT_FALSE(boxes.empty());
}

TEST_F(NumberLink, MaskMergeKeepsTheBitsAroundTheField) {
    Sim.SetValue(FanOnTemp, 0, 0xA3);
    TQorNumber* n = Make(FanOnTemp);
    n->SetDataMask(0x0F);
    Watch(n);
    EXPECT_TRUE(n->SetEcuValue(0x05));
    EXPECT_EQ(SimValue(FanOnTemp), 0xA5);
    EXPECT_EQ(TakeLog(), (Lines{"IsConnected()=1", "ReadData(0x7, 1)=1", "GetLastStatus()=0",
                                "WriteValue(0x7, 165)=1"}));
    EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData", "BeforeGetData", "OnGetData", "OnSetData",
                                  "WM_DATA_CHANGED"}))
        << "the re-read sends no message";
    EXPECT_TRUE(n->NotifyEnabled());

    // A user value in the upper bits: 0x35 with 0x70 (112) in the field gives 0x75.
    Sim.SetValue(FanOnTemp, 0, 0x35);
    TQorNumber* high = Make(FanOnTemp);
    high->SetDataMask(0xF0);
    EXPECT_TRUE(high->SetUserValue(0x70));
    EXPECT_EQ(SimValue(FanOnTemp), 0x75);

    // WriteToEcu merges the held value the same way.
    Sim.SetValue(FanOnTemp, 0, 0x3C);
    EXPECT_TRUE(n->WriteToEcu());
    EXPECT_EQ(SimValue(FanOnTemp), 0x35);
}

TEST_F(NumberLink, FailedReReadOfTheMaskMergeWritesNothing) {
    Sim.SetValue(FanOnTemp, 0, 0x35);
    auto* n = Make<TOpenNumber>(FanOnTemp);
    n->SetDataMask(0xF0);
    ASSERT_TRUE(n->ReadFromEcu());
    TakeLog();
    Sim.FailNext(qsoReadData, 1);
    EXPECT_EQ(n->UserToEcu(0x70, n->Raw()), 0x70) << "the bits around the field are 0";
    Sim.FailNext(qsoReadData, 1);
    EXPECT_FALSE(n->SetEcuValue(0x70));
    ASSERT_TRUE(n->ReadFromEcu()); // so that SetUserValue's own read comes from the cache
    Sim.FailNext(qsoReadData, 1);
    EXPECT_FALSE(n->SetUserValue(0x70)) << "writing 0x70 would clear the low bits in the ECU";
    for (const std::string& call : TakeLog())
        EXPECT_EQ(call.find("Write"), std::string::npos) << call;
    EXPECT_EQ(SimValue(FanOnTemp), 0x35);
}

TEST_F(NumberLink, WriteWhoseConversionHasNoValueSendsNothing) {
    struct TCase {
        const char* Name;
        std::function<void(TQorNumber&)> Setup;
        int Error;
    };
    const TCase cases[] = {
        {"table kind without a table", [](TQorNumber& n) { n.SetTransformation(ttTabled); },
         ConvErrorNoTable},
        {"zero divisor",
         [](TQorNumber& n) {
             n.SetTransformation(ttFormula);
             n.SetCoeffA(0);
         },
         ConvErrorZeroDivisor},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQorNumber* n = Make(FanOnTemp);
        ASSERT_TRUE(n->ReadFromEcu());
        c.Setup(*n);
        Watch(n);
        TakeLog();
        const std::string error = "OnError " + std::to_string(c.Error) + " writing";
        EXPECT_FALSE(n->SetUserValue(5));
        EXPECT_EQ(TakeTrail(), (Lines{"BeforeSetData", error, "WM_DATA_CHANGED"}));
        EXPECT_FALSE(n->ApplyDefaults(true));
        EXPECT_EQ(TakeTrail(), (Lines{error, "WM_DATA_CHANGED"}));
        EXPECT_FALSE(n->ApplyDefaults(false));
        EXPECT_EQ(TakeTrail(), Lines{});
        EXPECT_EQ(TakeLog(), Lines{});
        EXPECT_EQ(n->RawValue(), 135);
    }
}

TEST_F(NumberLink, ApplyDefaultsConvertsAndWritesOnlyOnRequest) {
    TQorNumber* n = Make(FanOnTemp);
    n->SetTransformation(ttFormula);
    n->SetCoeffA(0.5);
    n->SetCoeffB(-40);
    n->SetDefaultValue(10);
    Watch(n);
    EXPECT_TRUE(n->ApplyDefaults(false));
    EXPECT_EQ(n->RawValue(), 100);
    EXPECT_EQ(TakeLog(), Lines{});
    EXPECT_EQ(TakeTrail(), Lines{"WM_DATA_CHANGED"});
    n->SetDefaultValue(20);
    EXPECT_TRUE(n->ApplyDefaults(true));
    EXPECT_EQ(TakeLog(), Lines{"WriteValue(0x7, 120)=1"});
    EXPECT_EQ(SimValue(FanOnTemp), 120);
}

TEST(Number, DecodePacketTakesDataLengthBytes) {
    struct TCase {
        int Length;
        bool Signed;
        std::uint8_t Bytes[4];
        int Raw;
    };
    const TCase cases[] = {
        {2, false, {0xF0, 0xFF, 0xAA, 0xBB}, 0xFFF0}, {2, true, {0xF0, 0xFF, 0xAA, 0xBB}, -16},
        {2, true, {0x10, 0x00, 0xFF, 0xFF}, 16},      {1, false, {0xF0, 0xFF, 0xFF, 0xFF}, 0xF0},
        {1, true, {0xF0, 0x00, 0x00, 0x00}, -16},     {1, true, {0x7F, 0xFF, 0xFF, 0xFF}, 127},
    };
    for (const TCase& c : cases) {
        TQorNumber n(nullptr);
        n.SetDataLength(c.Length);
        n.SetSigned(c.Signed);
        Lines events;
        n.SetBeforeGetData([&](TObject*) { events.push_back("BeforeGetData"); });
        n.SetOnGetData([&](TObject*) { events.push_back("OnGetData"); });
        n.DecodePacket(c.Bytes);
        EXPECT_EQ(n.RawValue(), c.Raw) << c.Length << (c.Signed ? " signed" : " unsigned");
        EXPECT_EQ(events, (Lines{"BeforeGetData", "OnGetData"}));
        EXPECT_FALSE(n.DataValid());
    }
}

TEST(Number, SnapshotRestoresTheRawValue) {
    TQorNumber n(nullptr);
    const std::uint8_t first[4] = {7}, second[4] = {9};
    n.DecodePacket(first);
    n.SaveValues();
    n.DecodePacket(second);
    EXPECT_EQ(n.SavedRawValue(), 7);
    n.RestoreValues();
    EXPECT_EQ(n.RawValue(), 7);
}

TEST(Number, TypeFollowsTheIndexes) {
    TQorNumber n(nullptr);
    EXPECT_EQ(n.Type(), ntSingle);
    n.SetType(ntMatrixElement);
    EXPECT_EQ(n.RowIndex(), 0);
    EXPECT_EQ(n.ColIndex(), 0);
    n.SetRowIndex(4);
    n.SetType(ntVectorElement);
    EXPECT_EQ(n.RowIndex(), 4) << "a non-negative index stays";
    EXPECT_EQ(n.ColIndex(), -1);
    n.SetColIndex(2);
    EXPECT_EQ(n.Type(), ntMatrixElement);
    n.SetRowIndex(-1);
    EXPECT_EQ(n.Type(), ntSingle);
    EXPECT_EQ(n.ColIndex(), -1);
    n.SetColIndex(3);
    EXPECT_EQ(n.ColIndex(), -1) << "a column without a row is ignored";
}

TEST_F(NumberLink, FormRoundTripKeepsTableCoefficientsAndAddressing) {
    RegisterDataClasses();
    Form.SetName("Form");
    Link->SetName("Link");
    auto* n = new TQorNumber(&Form);
    n->SetName("Gain");
    n->SetConnection(Link);
    n->SetDataLength(2);
    n->SetSigned(true);
    n->SetType(ntVectorElement);
    n->SetDefaultValue(100);
    n->SetCoeffA(2);
    n->SetCoeffB(0.5);
    ReadComponentTextInto(*n, "object Gain: TQorNumber\n"
                              "  ConversionTable = (3 0.0 100.0 200.0 0.0 50.0 150.0)\nend\n");
    n->SetTransformation(ttNonLinearTabled);
    const std::string text = WriteComponentText(Form);
    EXPECT_NE(text.find("    DataLength = 2\n    DataMask = 65535\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Type = ntVectorElement\n    ColIndex = -1\n"), std::string::npos)
        << "row 0 is the default and comes back through Type\n"
        << text;
    EXPECT_NE(text.find("Coeffs = (2.0 0.5 0.0 1.0)"), std::string::npos) << text;
    EXPECT_NE(text.find("ConversionTable = (3 0.0 100.0 200.0 0.0 50.0 150.0)"), std::string::npos)
        << text;

    auto copy = ReadComponentText(text);
    auto* back = dynamic_cast<TQorNumber*>(copy->FindComponent("Gain"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Connection(), copy->FindComponent("Link"));
    EXPECT_EQ(back->Type(), ntVectorElement);
    EXPECT_EQ(back->RowIndex(), 0);
    EXPECT_EQ(back->DataMask(), 0xFFFF);
    EXPECT_EQ(back->DataDescriptor(), 0x600u);
    EXPECT_EQ(back->TableEcu(), (std::vector<double>{0, 100, 200}));
    EXPECT_EQ(back->TableUser(), (std::vector<double>{0, 50, 150}));
    EXPECT_DOUBLE_EQ(back->EcuToUser(0x0120), n->EcuToUser(0x0120));
    EXPECT_EQ(WriteComponentText(*copy), text);
    EXPECT_EQ(back->RawValue(), n->UserToEcu(100, nullptr)) << "Loaded applied the default";
    EXPECT_EQ(Sim.CallCount(), 0) << "Loaded writes nothing";

    // A table-less object streams only the count; reading 0 drops the table held.
    ReadComponentTextInto(*back, "object Gain: TQorNumber\n  ConversionTable = (0)\nend\n");
    EXPECT_FALSE(back->TableLoaded());
    EXPECT_NE(WriteComponentText(*back).find("ConversionTable = (0)\n"), std::string::npos);
    EXPECT_THROW(ReadComponentTextInto(
                     *back, "object Gain: TQorNumber\n  ConversionTable = (3 1.0 2.0)\nend\n"),
                 EReadError);
}

} // namespace
} // namespace qor::test
