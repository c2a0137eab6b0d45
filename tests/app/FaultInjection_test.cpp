// Faults injected through the simulator's control API over a whole session of the demo's
// main form: failing reads and writes, status words, the link going down and coming back
// while the refresher runs, a library that is missing, too old or makes no object, and an
// image file that cannot be parsed. Each case checks what reached the status line (the
// form's OnError and WM_DATA_STATUS handling), what the call log shows was written, and
// that the program goes on working.

#include "app/DemoForm.h"
#include "controls/NumericEdit.h"
#include "data/SerialData.h"
#include "framework/MessageBox.h"
#include "gui/Application.h"
#include "gui/Label.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "map3d/Qor3DMap.h"
#include "tests/support/SimLibrary.h"
#include "tests/support/WaitForEvents.h"

#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <tuple>
#include <unistd.h>

namespace qor::test {
namespace {

constexpr int SpeedAxisCode = 0x01;
constexpr int LoadAxisCode = 0x02;
constexpr int IgnitionMapCode = 0x03;
constexpr int FuelMapCode = 0x04;
constexpr int IdleSpeedCode = 0x05;
constexpr int LivePacketCode = 0x20;
const std::string LoadFailedStatus = "The communication library could not be loaded";

std::string ReadText(const std::string& Path) {
    std::ifstream in(Path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class FaultInjection : public testing::Test {
protected:
    void SetUp() override {
        Sim = std::make_unique<TSimLibrary>(QOR_ECUSIM_FILE);
        Sim->ResetDefault();
    }
    void TearDown() override { Form.reset(); }

    // The shipped form file with its connection pointed at DllName (the simulator library
    // by default). The views read their axes, and so load the library, as it is read.
    void MakeForm(std::string DllName = {}) {
        if (DllName.empty())
            DllName = std::filesystem::path(QOR_ECUSIM_FILE).filename().string();
        std::string form = ReadText(QOR_DEMO_FORM);
        const std::string shipped = "DllName = 'SerQorDL.dll'";
        const auto at = form.find(shipped);
        ASSERT_NE(at, std::string::npos);
        form.replace(at, shipped.size(), "DllName = '" + DllName + "'");
        Form = std::make_unique<TDemoForm>(nullptr);
        Form->LoadFormText(form);
        Form->SetIniFileName((std::filesystem::temp_directory_path() /
                              ("qorcal-fault-test-" + std::to_string(::getpid()) + ".ini"))
                                 .string());
    }
    void Show() {
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Widget()));
    }
    template <class T> T* Find(const char* Name) const {
        auto* c = dynamic_cast<T*>(Form->FindComponent(Name));
        EXPECT_NE(c, nullptr) << Name;
        return c;
    }
    std::string Status() const { return Form->StatusLabel()->Caption(); }
    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        QTest::keyClick(Form->Widget()->windowHandle(), Key, Modifiers);
        Application->ProcessMessages();
    }
    // Types Text into the focused edit instead of what it shows, and confirms it.
    void Enter(const std::string& Text) {
        Press(Qt::Key_End);
        for (int i = 0; i < 10; ++i)
            Press(Qt::Key_Backspace);
        for (char ch : Text)
            QTest::keyClick(Form->Widget()->windowHandle(), ch);
        Press(Qt::Key_Return);
    }
    std::vector<std::string> Writes() const {
        std::vector<std::string> writes;
        for (const std::string& call : Sim->Log())
            if (call.rfind("Write", 0) == 0)
                writes.push_back(call);
        return writes;
    }
    int SimValue(int Code, int Index = 0) const {
        std::int32_t v = 0;
        EXPECT_TRUE(Sim->GetValue(Code, Index, &v));
        return v;
    }
    // What the screen shows equals what the ECU holds: the four edits, both maps' samples
    // and both axes.
    void ExpectScreenEqualsEcu() const {
        const std::pair<const char*, int> edits[] = {
            {"IdleSpeedEdit", 0x05}, {"RevLimitEdit", 0x06}, {"InjectorTrimEdit", 0x08}};
        for (const auto& [name, code] : edits)
            EXPECT_EQ(Find<TNumericEdit>(name)->Text(), std::to_string(SimValue(code))) << name;
        EXPECT_EQ(Find<TNumericEdit>("FanOnTempEdit")->Text(), std::to_string(SimValue(0x07) - 40));
        // Sample heights are a tenth of the user value and run column by column.
        for (auto [view, code, scale] : {std::tuple{Form->IgnitionView(), IgnitionMapCode, 10.0},
                                         std::tuple{Form->FuelView(), FuelMapCode, 10000.0}}) {
            for (int r = 0; r < 16; ++r)
                for (int c = 0; c < 16; ++c)
                    ASSERT_DOUBLE_EQ(view->Samples()[static_cast<std::size_t>(c * 16 + r)].Height,
                                     SimValue(code, r * 16 + c) / scale)
                        << view->Name() << " row " << r << " column " << c;
        }
        auto* speed = Find<TQorVector>("SpeedAxis");
        auto* load = Find<TQorVector>("LoadAxis");
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(speed->RawValues()[static_cast<std::size_t>(i)], SimValue(SpeedAxisCode, i));
            EXPECT_EQ(load->RawValues()[static_cast<std::size_t>(i)], SimValue(LoadAxisCode, i));
        }
    }

    std::unique_ptr<TSimLibrary> Sim;
    std::vector<std::string> Boxes;
    TMessageBoxHandlerGuard QuietBoxes{
        [this](const std::string& Text, const std::string&, unsigned) {
            Boxes.push_back(Text);
            return IDOK;
        }};
    std::unique_ptr<TDemoForm> Form;
};

// A read or write that fails reaches the status line; the ECU and the screen keep the old
// value, and the only write in the log is the one the user asked for.
TEST_F(FaultInjection, FailedReadsAndWritesShowAndChangeNothing) {
    MakeForm();
    Show();
    ASSERT_TRUE(Form->StartSession()) << Status();
    Sim->ClearLog();

    Sim->FailNext(qsoWriteValue, 1);
    Enter("900");
    EXPECT_EQ(Status(), "IdleSpeed: writing failed, link status 0x0100");
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteValue(0x205, 900)=0"});
    EXPECT_EQ(SimValue(IdleSpeedCode), 850);

    // The write goes through, the read back fails: the status line says so instead of
    // reporting the write, and the edit shows the value written.
    Sim->ClearLog();
    Press(Qt::Key_Up);
    ASSERT_TRUE(Find<TNumericEdit>("IdleSpeedEdit")->Focused());
    Sim->FailNext(qsoReadData, 1);
    Enter("910");
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteValue(0x205, 910)=1"});
    EXPECT_EQ(SimValue(IdleSpeedCode), 910);
    EXPECT_EQ(Form->ErrorCount(), 2) << "the failed read reached OnError";
    EXPECT_EQ(Status(), "IdleSpeed: link status 0x0100");
    EXPECT_EQ(Find<TNumericEdit>("IdleSpeedEdit")->Text(), "910");

    // A map cell whose write fails keeps its height.
    Form->IgnitionView()->SetFocus();
    Sim->ClearLog();
    Sim->FailNext(qsoWriteElement, 1);
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Status(), "IgnitionMap: writing failed, link status 0x0100");
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteElement(0x10503, 0, 0, 9)=0"});
    EXPECT_EQ(SimValue(IgnitionMapCode, 0), 8);
    EXPECT_EQ(Form->ErrorCount(), 3);

    // The program goes on: the next edit works.
    Sim->ClearLog();
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteElement(0x10503, 0, 0, 9)=1"});
    ExpectScreenEqualsEcu();
}

// A value that cannot be read at the start reaches OnError and, with its status word, the
// status line; the others are read and the refresher starts.
TEST_F(FaultInjection, AValueThatCannotBeReadAtTheStart) {
    MakeForm();
    Show();
    Sim->ClearLog();
    Sim->FailSerialCode(FuelMapCode, 1);
    EXPECT_FALSE(Form->StartSession());
    EXPECT_EQ(Status(), "FuelMap: link status 0x0100");
    EXPECT_EQ(Form->ErrorCount(), 1);
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(Form->Refresher()->Running());
    EXPECT_EQ(Find<TNumericEdit>("IdleSpeedEdit")->Text(), "850");
    Sim->FailSerialCode(FuelMapCode, 0);
    ASSERT_TRUE(Find<TQorMatrix>("FuelMap")->ReloadFromEcu());
    ExpectScreenEqualsEcu();
}

// Status words after a read: with the bit of value 4 the data may still be used; any word
// goes to the status line through WM_DATA_STATUS, a failed read through OnError as well.
TEST_F(FaultInjection, StatusWordsAfterAReadReachTheStatusLine) {
    struct Case {
        std::int32_t Word;
        bool ReadFails;
        bool Result;
        const char* Status;
    };
    const Case cases[] = {
        {0x0004, false, true, "IdleSpeed: link status 0x0004"},
        {0x0014, false, true, "IdleSpeed: link status 0x0014"},
        {0x0010, false, true, "IdleSpeed: link status 0x0010"},
        {0x0004, true, true, "IdleSpeed: link status 0x0004"},
        {0x0010, true, false, "IdleSpeed: link status 0x0010"},
    };
    MakeForm();
    Show();
    ASSERT_TRUE(Form->StartSession()) << Status();
    auto* idle = Find<TQorNumber>("IdleSpeed");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "word " << c.Word << (c.ReadFails ? ", read fails" : ""));
        Sim->SetValue(IdleSpeedCode, 0, 860);
        Sim->ClearLog();
        Sim->SetStatusWord(c.Word);
        if (c.ReadFails)
            Sim->FailNext(qsoReadData, 1);
        const int errors = Form->ErrorCount();
        EXPECT_EQ(idle->ReloadFromEcu(), c.Result);
        EXPECT_EQ(Status(), c.Status);
        EXPECT_EQ(Form->ErrorCount(), errors + (c.ReadFails ? 1 : 0));
        EXPECT_TRUE(Writes().empty());
        Sim->ClearStatusWord();
        Sim->ClearFaults();
        ASSERT_TRUE(idle->ReloadFromEcu());
        EXPECT_EQ(Find<TNumericEdit>("IdleSpeedEdit")->Text(), "860");
    }
}

// The link goes down while the refresher runs and comes back: the status line says so,
// edits made meanwhile fail without being repeated later, and afterwards the screen shows
// what the ECU holds, also what changed in it meanwhile.
TEST_F(FaultInjection, TheLinkGoesDownAndComesBackWhileTheRefresherRuns) {
    MakeForm();
    Show();
    ASSERT_TRUE(Form->StartSession()) << Status();
    Sim->SetLive(0); // the packet keeps its bytes: the labels must show exactly them
    Sim->SetConnected(0);
    Sim->ClearLog();
    EXPECT_TRUE(WaitFor([&] {
        return Status() == "The link to the ECU is down; live values are not refreshed";
    })) << Status();
    Enter("1000");
    EXPECT_EQ(Status(), "IdleSpeed: writing failed, link status 0x0200");
    Form->IgnitionView()->SetFocus();
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Status(), "IgnitionMap: writing failed, link status 0x0200");
    EXPECT_EQ(Writes(), (std::vector<std::string>{"WriteValue(0x205, 1000)=0",
                                                  "WriteElement(0x10503, 0, 0, 9)=0"}));

    // Meanwhile the engine moved on and the idle speed was set by other means.
    Sim->SetValue(IdleSpeedCode, 0, 1111);
    const std::int32_t packet[] = {0x34, 0x12, 77, 130, 21}; // 4660 rpm, 77 %, 90 degC, 21 %
    for (int i = 0; i < 5; ++i)
        Sim->SetValue(LivePacketCode, i, packet[i]);
    Sim->ClearLog();
    Sim->SetConnected(1);
    const std::pair<const char*, const char*> shown[] = {{"EngineSpeedValue", "4660 rpm"},
                                                         {"EngineLoadValue", "77 %"},
                                                         {"CoolantValue", "90 degC"},
                                                         {"ThrottleValue", "21 %"}};
    EXPECT_TRUE(WaitFor([&] {
        for (const auto& [label, text] : shown)
            if (Find<TLabel>(label)->Caption() != text)
                return false;
        return true;
    })) << Find<TLabel>("EngineSpeedValue")->Caption();
    EXPECT_TRUE(WaitFor([&] {
        return Status() == "The link to the ECU is up again; every value read again";
    })) << Status();
    EXPECT_TRUE(Writes().empty()) << "no failed write is made again";
    EXPECT_EQ(Find<TNumericEdit>("IdleSpeedEdit")->Text(), "1111");
    ExpectScreenEqualsEcu();
}

// A library that is missing, too old or makes no object: the session cannot start and
// says so, every edit fails into the status line without reaching the ECU, and once the
// library is usable the same form starts.
TEST_F(FaultInjection, ALibraryThatCannotBeUsed) {
    struct Case {
        const char* Name;
        std::function<void(TSimLibrary&)> Break;
        std::string DllName;
    };
    const Case cases[] = {
        {"missing", [](TSimLibrary&) {}, "libqor-no-such-library.so"},
        {"too old", [](TSimLibrary& S) { S.SetVersion(0, 9, 0, 0, 1); }, ""},
        {"version refused", [](TSimLibrary& S) { S.SetVersion(5, 0, 0, 0, 0); }, ""},
        {"no object", [](TSimLibrary& S) { S.SetCreateFails(1); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim->ResetDefault();
        c.Break(*Sim);
        Boxes.clear();
        MakeForm(c.DllName);
        Show();
        EXPECT_FALSE(Form->StartSession());
        EXPECT_EQ(Status(), LoadFailedStatus);
        ASSERT_FALSE(Boxes.empty());
        EXPECT_EQ(Boxes.back(), "SER dll not found or out of date!");
        Enter("900");
        EXPECT_EQ(Status(), "IdleSpeed: writing failed, no communication library");
        Form->IgnitionView()->SetFocus();
        Press(Qt::Key_Up, Qt::ControlModifier);
        EXPECT_EQ(Status(), "IgnitionMap: reading failed, no communication library")
            << "the cell cannot be read, so nothing is written";
        EXPECT_TRUE(Writes().empty());
        EXPECT_EQ(Sim->InstanceCount(), 0);
        EXPECT_EQ(SimValue(IdleSpeedCode), 850);

        if (c.DllName.empty()) {
            Sim->ResetDefault();
            EXPECT_TRUE(Form->StartSession()) << Status();
            ExpectScreenEqualsEcu();
        }
        Form.reset();
    }
}

// An image file that cannot be parsed when the library is loaded: the library hands out
// no object, so the session cannot start and says so; the ECU is never written.
TEST_F(FaultInjection, AnImageFileThatCannotBeParsed) {
    Sim.reset(); // the library is loaded again below, with the image chosen then
    const std::string image = (std::filesystem::temp_directory_path() /
                               ("qorcal-bad-image-" + std::to_string(::getpid()) + ".img"))
                                  .string();
    std::ofstream(image) << "value 5 Idle 0x400 u16 850\nvector 1 Axis 0 u8 3 1 2\n";
    ASSERT_EQ(::setenv("QOR_ECUSIM_IMAGE", image.c_str(), 1), 0);
    Sim = std::make_unique<TSimLibrary>(QOR_ECUSIM_FILE);
    ::unsetenv("QOR_ECUSIM_IMAGE");
    std::filesystem::remove(image);

    MakeForm();
    Show();
    EXPECT_FALSE(Form->StartSession());
    EXPECT_EQ(Status(), LoadFailedStatus);
    EXPECT_FALSE(Boxes.empty());
    Enter("900");
    EXPECT_EQ(Status(), "IdleSpeed: writing failed, no communication library");
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(Sim->InstanceCount(), 0);

    // The built-in image put in place: the same form starts.
    Sim->ResetDefault();
    EXPECT_TRUE(Form->StartSession()) << Status();
    ExpectScreenEqualsEcu();
}

} // namespace
} // namespace qor::test
