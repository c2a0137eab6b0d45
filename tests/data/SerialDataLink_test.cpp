// TQorSerialData with clients, errors and references, reading through a real connection
// that loads the simulator library.

#include "data/Transformations.h"
#include "ecusim/SimControl.h"
#include "framework/MessageBox.h"
#include "tests/data/TestData.h"
#include "tests/support/TestLink.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qor::test {
namespace {

constexpr int IdleSpeedCode = 0x05; // a single u16 value of the built-in image

class TIdentity : public TBaseTransformation {
public:
    using TBaseTransformation::TBaseTransformation;
    int Transform(double Value, double* Result) override {
        *Result = Value;
        return 0;
    }
    int InverseTransform(double Value, double* Result) override { return Transform(Value, Result); }
};

class SerialDataLink : public ::testing::Test {
protected:
    void SetUp() override {
        Sim.ResetDefault();
        Link = new TQorConnection(&Form);
        Link->SetDllName(Sim.DllName());
    }

    TTestLink Sim;
    TComponent Form{nullptr};
    TQorConnection* Link = nullptr;
};

TEST_F(SerialDataLink, ChangeOfACoefficientSourceReachesTheDependentsControls) {
    auto* source = new TTestNumber(&Form);
    auto* dependent = new TTestNumber(&Form);
    auto* other = new TTestNumber(&Form);
    TProbeControl sourceView(&Form), dependentView(&Form);
    TComponent bystander(&Form); // neither a control nor a data object: skipped
    source->AddClient(&sourceView);
    source->AddClient(&bystander);
    dependent->AddClient(&dependentView);
    dependent->SetExtCoeffB(source);
    other->SetExtCoeffA(source);

    source->SetConnection(Link);
    source->SetSerialCode(IdleSpeedCode);
    source->SetDataLength(2);
    ASSERT_TRUE(source->ReadFromEcu());
    EXPECT_EQ(source->Raw, 850);
    const WPARAM fromSource = reinterpret_cast<WPARAM>(source);
    ASSERT_EQ(sourceView.Messages.size(), 1u);
    EXPECT_EQ(sourceView.Messages[0].Msg, WM_DATA_CHANGED);
    ASSERT_EQ(dependentView.Messages.size(), 1u);
    EXPECT_EQ(dependentView.Messages[0].Msg, WM_DATA_CHANGED);
    EXPECT_EQ(dependentView.Messages[0].WParam, fromSource);
    EXPECT_EQ(dependentView.Messages[0].LParam, 0);

    dependent->SetNotifyEnabled(false); // the dependent's own switch stops the relay
    source->DoSetData();
    EXPECT_EQ(sourceView.Messages.size(), 2u);
    EXPECT_EQ(dependentView.Messages.size(), 1u);
    source->SetNotifyEnabled(false);
    dependent->SetNotifyEnabled(true);
    source->DoStatus(4);
    EXPECT_EQ(sourceView.Messages.size(), 2u);
    EXPECT_EQ(dependentView.Messages.size(), 1u);
    source->SetNotifyEnabled(true);
    source->DoStatus(4);
    EXPECT_EQ(dependentView.Messages.back().Msg, WM_DATA_STATUS);
    EXPECT_EQ(dependentView.Messages.back().WParam, fromSource);
    EXPECT_EQ(dependentView.Messages.back().LParam, 4);
}

TEST_F(SerialDataLink, ErrorCodeIsTheLinksStatusWord) {
    if (!Sim.ForcesStatusWords())
        GTEST_SKIP() << "the link cannot force a status word";
    TTestNumber n(&Form);
    std::vector<std::pair<int, bool>> errors;
    n.SetOnError([&](TObject* Sender, int Code, bool Writing) {
        EXPECT_EQ(Sender, &n);
        errors.emplace_back(Code, Writing);
    });
    n.DoError(true); // no connection
    n.SetConnection(Link);
    n.SetSerialCode(0x77); // nothing with this code in the image
    EXPECT_FALSE(n.ReadFromEcu());
    Sim.FailNext(qsoReadData, 1);
    n.SetSerialCode(IdleSpeedCode);
    EXPECT_FALSE(n.ReadFromEcu());
    Sim.SetStatusWord(stDataUsable);
    n.DoError(false);
    EXPECT_EQ(errors, (std::vector<std::pair<int, bool>>{{-1, true},
                                                         {qssUnknownCode, false},
                                                         {Sim.InjectedStatus(), false},
                                                         {stDataUsable, false}}));
    EXPECT_EQ(Sim.Log().back(), "GetLastStatus()=4") << "asked under the link";
}

TEST_F(SerialDataLink, ErrorWithoutALoadableLibraryIsMinusOne) {
    std::vector<std::string> boxes;
    TMessageBoxHandlerGuard guard([&](const std::string& Text, const std::string&, unsigned) {
        boxes.push_back(Text);
        return IDOK;
    });
    TTestNumber n(&Form);
    int code = 0;
    n.SetOnError([&](TObject*, int Code, bool) { code = Code; });
    Link->SetDllName("");
    n.SetConnection(Link);
    n.DoError(false);
    EXPECT_EQ(code, -1);
    Link->SetDllName("missing.so");
    code = 0;
    n.DoError(false);
    EXPECT_EQ(code, -1);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(SerialDataLink, ReferencesAreClearedWhenTheirTargetsGo) {
    // Owned by different owners, so that the notice travels by free notification.
    TComponent otherForm(nullptr);
    auto* link = new TQorConnection(&otherForm);
    auto* source = new TTestNumber(&otherForm);
    auto* transformation = new TIdentity(&otherForm);
    TTestNumber first(nullptr), second(nullptr);
    first.SetConnection(link);
    second.SetConnection(link);
    first.SetExtCoeffC(source);
    first.SetTransformationC(transformation);
    second.SetTransformationA(transformation);
    second.SetTransformationB(transformation);
    second.SetTransformationB(nullptr); // still held as A: the notice must still come
    auto* control = new TProbeControl(&otherForm);
    first.AddClient(control);

    delete link;
    EXPECT_EQ(first.Connection(), nullptr);
    EXPECT_EQ(second.Connection(), nullptr);
    delete source;
    EXPECT_EQ(first.ExtCoeffC(), nullptr);
    delete transformation;
    EXPECT_EQ(first.TransformationC(), nullptr);
    EXPECT_EQ(second.TransformationA(), nullptr);
    delete control;
    EXPECT_TRUE(first.Clients().empty());

    // A dependent that goes leaves its source's clients.
    TTestNumber* dependent = new TTestNumber(nullptr);
    TTestNumber kept(nullptr);
    dependent->SetExtCoeffA(&kept);
    delete dependent;
    EXPECT_TRUE(kept.Clients().empty());
}

TEST_F(SerialDataLink, TransformationAssignmentRereads) {
    TTestNumber n(&Form);
    n.SetConnection(Link);
    n.SetSerialCode(IdleSpeedCode);
    n.SetDataLength(2);
    ASSERT_TRUE(n.ReadFromEcu());
    Sim.ClearLog();
    auto* t = new TIdentity(&Form);
    EXPECT_TRUE(t->Enabled());
    n.SetTransformationD(t);
    EXPECT_EQ(Sim.Log(), (std::vector<std::string>{"IsConnected()=1", "ReadData(0x205, 1)=1",
                                                   "GetLastStatus()=0"}));
    Sim.ClearLog();
    n.SetTransformationD(nullptr);
    EXPECT_TRUE(Sim.Log().empty()) << "clearing reads nothing";
}

TEST_F(SerialDataLink, BeforeSetDataMayChangeOrAbortTheWrite) {
    TTestNumber n(&Form);
    double value = 5.0;
    EXPECT_TRUE(n.DoBeforeSetData(&value, 4.0, -1, -1));
    n.SetBeforeSetData([](TObject*, double* v, double prev, int row, int col, bool& abort) {
        *v = prev + row + col;
        abort = *v > 10;
    });
    EXPECT_TRUE(n.DoBeforeSetData(&value, 4.0, 2, 3));
    EXPECT_DOUBLE_EQ(value, 9.0);
    EXPECT_FALSE(n.DoBeforeSetData(&value, 8.0, 2, 3));
}

TEST(SerialDataConversionEvents, UnassignedEventsYieldZeroOrTheCurrentRawValue) {
    TTestNumber n(nullptr);
    EXPECT_EQ(n.DoConvertToEcu(3.5), 0);
    EXPECT_EQ(n.DoConvertToEcuIndex(3.5, 2, 77), 77);
    EXPECT_DOUBLE_EQ(n.DoConvertToUser(7), 0.0);
    EXPECT_DOUBLE_EQ(n.DoConvertToUserIndex(7, 1), 0.0);
    n.SetOnConvertToEcu([](TObject*, double u, int& c) { c = static_cast<int>(u * 10); });
    n.SetOnConvertToEcuIndex(
        [](TObject*, double u, int& c, int i) { c += static_cast<int>(u) + i; });
    n.SetOnConvertToUser([](TObject*, int e, double& c) { c = e / 2.0; });
    n.SetOnConvertToUserIndex([](TObject*, int e, double& c, int i) { c = e + i / 10.0; });
    EXPECT_EQ(n.DoConvertToEcu(3.5), 35);
    EXPECT_EQ(n.DoConvertToEcuIndex(3.5, 2, 77), 82);
    EXPECT_DOUBLE_EQ(n.DoConvertToUser(7), 3.5);
    EXPECT_DOUBLE_EQ(n.DoConvertToUserIndex(7, 1), 7.1);
}

} // namespace
} // namespace qor::test
