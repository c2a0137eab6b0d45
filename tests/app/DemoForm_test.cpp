// The demo's main form as the program builds it: read from its shipped form file, bound,
// shown and worked with real keys, against the simulator library.

#include "app/DemoForm.h"
#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "data/EditHistory.h"
#include "data/SerialData.h"
#include "framework/MessageBox.h"
#include "framework/SysUtils.h"
#include "gui/Application.h"
#include "gui/Label.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "map3d/Qor3DMap.h"
#include "tests/support/SimLibrary.h"
#include "tests/support/WaitForEvents.h"

#include <QTest>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace qor::test {
namespace {

constexpr int IdleSpeedCode = 0x05;
constexpr int FanOnTempCode = 0x07;
constexpr int IgnitionMapCode = 0x03;
constexpr int FuelMapCode = 0x04;

// Threads of this process (the refresher's worker among them).
int ThreadCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// The names of the process's threads, for a failure message.
std::string ThreadNames() {
    std::string names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        names += (names.empty() ? "" : ", ") + name;
    }
    return names;
}

// The thread count once it has come down to Expected, or after two seconds: a thread that
// was joined may still be listed for a moment while the kernel takes it down.
int ThreadCountSettled(int Expected) {
    int n = ThreadCount();
    for (int waited = 0; n > Expected && waited < 2000; waited += 10) {
        QTest::qSleep(10);
        n = ThreadCount();
    }
    return n;
}

class DemoFormTest : public testing::Test {
public:
    void SetUp() override {
        Sim.ResetDefault();
        Ini = (std::filesystem::temp_directory_path() /
               ("qorcal-demo-test-" + std::to_string(::getpid()) + ".ini"))
                  .string();
        std::filesystem::remove(Ini);
        Form = MakeForm();
    }
    void TearDown() override {
        Form.reset();
        std::filesystem::remove(Ini);
    }

    // The shipped form file, its connection pointed at the library this test controls
    // (the views read their axes, and so load the library, as the form is read).
    std::unique_ptr<TDemoForm> MakeForm() {
        std::ifstream in(QOR_DEMO_FORM);
        std::stringstream text;
        text << in.rdbuf();
        std::string form = text.str();
        const std::string shipped = "DllName = 'SerQorDL.dll'";
        const auto at = form.find(shipped);
        EXPECT_NE(at, std::string::npos);
        if (at != std::string::npos)
            form.replace(at, shipped.size(),
                         "DllName = '" +
                             std::filesystem::path(QOR_ECUSIM_FILE).filename().string() + "'");
        auto result = std::make_unique<TDemoForm>(nullptr);
        result->LoadFormText(form);
        result->SetIniFileName(Ini);
        return result;
    }
    // Sample heights are a tenth of the user value; the samples run column by column.
    static double Height(TQor3DMap& View, int Row, int Col) {
        return View.Samples()[static_cast<std::size_t>(Col * View.RowCountSnapshot() + Row)].Height;
    }
    void ShowAndStart(TDemoForm& F) {
        F.Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(F.Widget()));
        ASSERT_TRUE(F.StartSession()) << Status(F);
    }
    template <class T> T* Find(const char* Name) const {
        auto* c = dynamic_cast<T*>(Form->FindComponent(Name));
        EXPECT_NE(c, nullptr) << Name;
        return c;
    }
    static std::string Status(TDemoForm& F) { return F.StatusLabel()->Caption(); }

    QWindow* Window() const { return Form->Widget()->windowHandle(); }
    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        QTest::keyClick(Window(), Key, Modifiers);
        Application->ProcessMessages();
    }
    void Retype(const std::string& Text) {
        Press(Qt::Key_End);
        for (int i = 0; i < 10; ++i)
            Press(Qt::Key_Backspace);
        for (char ch : Text)
            QTest::keyClick(Window(), ch);
    }
    // The writes of the call log (the refresher's reads run in between).
    std::vector<std::string> Writes() const {
        std::vector<std::string> writes;
        for (const std::string& call : Sim.Log())
            if (call.rfind("Write", 0) == 0)
                writes.push_back(call);
        return writes;
    }
    int SimValue(int Code, int Index = 0) const {
        std::int32_t v = 0;
        EXPECT_TRUE(Sim.GetValue(Code, Index, &v));
        return v;
    }

    TSimLibrary Sim{QOR_ECUSIM_FILE};
    std::vector<std::string> Boxes;
    TMessageBoxHandlerGuard QuietBoxes{
        [this](const std::string& Text, const std::string&, unsigned) {
            Boxes.push_back(Text);
            return IDOK;
        }};
    std::string Ini;
    std::unique_ptr<TDemoForm> Form;
};

TEST_F(DemoFormTest, LoadsFromItsFormFileAndShowsWhatTheEcuHolds) {
    for (const char* edit :
         {"IdleSpeedEdit", "RevLimitEdit", "FanOnTempEdit", "InjectorTrimEdit"}) {
        auto* e = Find<TNumericEdit>(edit);
        ASSERT_NE(e, nullptr);
        TQorNumber* number = Form->NumberOf(*e);
        ASSERT_NE(number, nullptr) << edit;
        EXPECT_EQ(number->SerialCode(), e->DataCode()) << edit;
        EXPECT_EQ(e->UnitLabel()->Caption(), number->MeasureUnit()) << edit;
    }
    for (TQor3DMap* view : {Form->IgnitionView(), Form->FuelView()}) {
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->RowRef(), Form->FindComponent("LoadAxis"));
        EXPECT_EQ(view->ColRef(), Form->FindComponent("SpeedAxis"));
    }
    EXPECT_EQ(Form->IgnitionView()->Data(), Form->FindComponent("IgnitionMap"));
    EXPECT_EQ(Form->FuelView()->Data(), Form->FindComponent("FuelMap"));
    EXPECT_EQ(Form->Refresher()->Connection(), Form->Connection());
    EXPECT_EQ(Find<TLabel>("KeysLabel")->Caption(), TDemoForm::KeysText());

    ShowAndStart(*Form);
    EXPECT_TRUE(Find<TNumericEdit>("IdleSpeedEdit")->Focused()) << "the active control";
    EXPECT_EQ(Find<TNumericEdit>("IdleSpeedEdit")->Text(), "850");
    EXPECT_EQ(Find<TNumericEdit>("RevLimitEdit")->Text(), "6800");
    EXPECT_EQ(Find<TNumericEdit>("FanOnTempEdit")->Text(), "95") << "135 raw less 40";
    EXPECT_EQ(Find<TNumericEdit>("InjectorTrimEdit")->Text(), "-12");
    // The maps' samples come from the ECU: ignition row 5, column 2 is 8 + 4 - 10 = 2.
    EXPECT_DOUBLE_EQ(Height(*Form->IgnitionView(), 5, 2), 0.2);
    EXPECT_DOUBLE_EQ(Height(*Form->FuelView(), 0, 0), 0.15) << "1500 us as 1.5 ms";
    EXPECT_TRUE(Form->Refresher()->Running());
    EXPECT_EQ(Form->ErrorCount(), 0) << Status(*Form);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(DemoFormTest, TheRefresherDeliversLiveValuesIntoTheLabels) {
    ShowAndStart(*Form);
    std::map<std::string, std::set<std::string>> seen;
    const char* labels[] = {"EngineSpeedValue", "EngineLoadValue", "CoolantValue", "ThrottleValue"};
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const char* name : labels)
                seen[name].insert(Find<TLabel>(name)->Caption());
            for (const char* name : labels)
                if (seen[name].size() < 3) // the '-' of the form file and two live values
                    return false;
            return true;
        },
        15000));
    // Each shows a number and its unit; the coolant through its formula (raw - 40).
    const std::pair<const char*, const char*> units[] = {{"EngineSpeedValue", " rpm"},
                                                         {"EngineLoadValue", " %"},
                                                         {"CoolantValue", " degC"},
                                                         {"ThrottleValue", " %"}};
    for (const auto& [name, unit] : units) {
        const std::string text = Find<TLabel>(name)->Caption();
        ASSERT_GT(text.size(), std::string(unit).size()) << name;
        EXPECT_EQ(text.substr(text.size() - std::string(unit).size()), unit) << name;
        const double value = std::stod(text);
        EXPECT_GE(value, 0) << text;
        EXPECT_LE(value, name == std::string("EngineSpeedValue") ? 4400 : 130) << text;
    }
    const int raw = SimValue(0x20, 3);
    const double coolant = std::stod(Find<TLabel>("CoolantValue")->Caption());
    EXPECT_NEAR(coolant, raw - 40, 2) << "the packet moves on slowly";
}

// Both views follow the simulator's live operating point; the status line names the live
// speed and load and the ignition map's cell under them.
TEST_F(DemoFormTest, BothViewsAndTheStatusLineShowTheLiveOperatingPoint) {
    ShowAndStart(*Form);
    Sim.SetLive(0);
    const std::uint8_t bytes[3] = {3250 & 0xFF, 3250 >> 8, 40};
    ASSERT_EQ(Sim.WriteMemory(0x0800, bytes, 3), 1);
    TQor3DMap* views[] = {Form->IgnitionView(), Form->FuelView()};
    ASSERT_TRUE(WaitFor([&] {
        for (TQor3DMap* view : views)
            if (!view->HasOperatingPoint() || view->HorizontalValue() != 3250 ||
                view->VerticalValue() != 40)
                return false;
        return true;
    }));
    for (TQor3DMap* view : views) {
        EXPECT_TRUE(view->ShowOperatingPoint());
        EXPECT_DOUBLE_EQ(view->OperatingPoint().Col, 5.5); // 3000 ... 3500 rpm
    }
    // The load axis puts 40 % between two rows; the cell is the one that counts most.
    const TCellWeight cell = HeaviestCell(Form->IgnitionView()->OperatingPointWeights());
    double degrees = 0;
    ASSERT_TRUE(Form->IgnitionView()->Data()->GetCellValue(cell.Row, cell.Col, degrees));
    EXPECT_EQ(Form->LiveCellLabel()->Caption(),
              "Live 3250 rpm, 40 %: cell row " + std::to_string(cell.Row + 1) + ", column " +
                  std::to_string(cell.Col + 1) + " (" + FormatG(degrees) + " deg)");
}

TEST_F(DemoFormTest, EnterInANumericEditWritesToTheEcuAndShowsWhatItHolds) {
    ShowAndStart(*Form);
    auto* idle = Find<TNumericEdit>("IdleSpeedEdit");
    Sim.ClearLog();
    Retype("900");
    Press(Qt::Key_Return);
    EXPECT_EQ(SimValue(IdleSpeedCode), 900);
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteValue(0x205, 900)=1"}) << "one write";
    EXPECT_EQ(idle->Text(), "900");
    EXPECT_TRUE(Find<TNumericEdit>("RevLimitEdit")->Focused()) << "Enter moves on";
    EXPECT_NE(Status(*Form).find("IdleSpeed = 900"), std::string::npos) << Status(*Form);

    // Limits of the edit, then the formula: 100 degC is 140 raw.
    Press(Qt::Key_Down);
    Retype("100");
    Press(Qt::Key_Return);
    EXPECT_EQ(SimValue(FanOnTempCode), 140);
    Press(Qt::Key_Up);
    Press(Qt::Key_Up);
    Press(Qt::Key_Up);
    ASSERT_TRUE(idle->Focused());
    Retype("5000");
    Press(Qt::Key_Return);
    EXPECT_EQ(SimValue(IdleSpeedCode), 2000) << "clamped to MaxValue";

    // The ECU keeps what it holds; the edit shows that, not what was typed.
    Sim.SetValue(IdleSpeedCode, 0, 1234);
    ASSERT_TRUE(Form->NumberOf(*idle)->ReloadFromEcu());
    EXPECT_EQ(idle->Text(), "1234") << "a change of the number reaches its edit";
}

TEST_F(DemoFormTest, LinkErrorsShowInTheStatusLineAsTheyHappen) {
    ShowAndStart(*Form);
    auto* idle = Find<TNumericEdit>("IdleSpeedEdit");
    Sim.SetConnected(0);
    Retype("1000");
    Press(Qt::Key_Return);
    EXPECT_EQ(SimValue(IdleSpeedCode), 850);
    EXPECT_EQ(Status(*Form), "IdleSpeed: writing failed, link status 0x0200");
    EXPECT_EQ(idle->Text(), "850") << "what the ECU still holds";
    EXPECT_EQ(Form->ErrorCount(), 1);

    // A read that leaves a status word: WM_DATA_STATUS.
    Sim.SetConnected(1);
    Sim.SetStatusWord(0x1000);
    ASSERT_TRUE(Form->NumberOf(*idle)->ReloadFromEcu());
    EXPECT_EQ(Status(*Form), "IdleSpeed: link status 0x1000");
    Sim.ClearStatusWord();
}

// F6 and F7 work from a numeric edit as from a map view; F8 reverts to the reference, and
// the changes line counts the values that differ from it.
TEST_F(DemoFormTest, UndoRedoAndRevertKeysWhereverTheFocusIs) {
    ShowAndStart(*Form);
    auto* changes = Find<TLabel>("ChangesLabel");
    EXPECT_EQ(changes->Caption(), "0 values changed");
    Retype("900");
    Press(Qt::Key_Return); // the focus moves on to the next edit
    TQor3DMap* ignition = Form->IgnitionView();
    ignition->SetFocus();
    Press(Qt::Key_Up, Qt::ControlModifier); // cell (0, 0), 8 to 9
    EXPECT_EQ(changes->Caption(), "2 values changed");
    EXPECT_TRUE(Form->History()->Changed(ignition->Data(), 0, 0));
    EXPECT_TRUE(ignition->Samples()[0].Changed) << "the view shows the change";

    Sim.ClearLog();
    Press(Qt::Key_F6);
    EXPECT_EQ(SimValue(IgnitionMapCode, 0), 8);
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteElement(0x10503, 0, 0, 8)=1"});
    EXPECT_FALSE(ignition->Samples()[0].Changed);
    Find<TNumericEdit>("IdleSpeedEdit")->SetFocus();
    Press(Qt::Key_F6);
    EXPECT_EQ(SimValue(IdleSpeedCode), 850);
    EXPECT_EQ(Find<TNumericEdit>("IdleSpeedEdit")->Text(), "850");
    EXPECT_EQ(changes->Caption(), "0 values changed");
    Press(Qt::Key_F6);
    EXPECT_EQ(Status(*Form), "Nothing to undo");
    Press(Qt::Key_F7);
    EXPECT_EQ(SimValue(IdleSpeedCode), 900);

    Sim.ClearLog();
    Press(Qt::Key_F8);
    EXPECT_EQ(SimValue(IdleSpeedCode), 850);
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteValue(0x205, 850)=1"});
    EXPECT_EQ(changes->Caption(), "0 values changed");
    EXPECT_EQ(Status(*Form), "Every value back to the reference");
}

TEST_F(DemoFormTest, AMapEditReachesTheEcuAndTheViewsSamples) {
    ShowAndStart(*Form);
    TQor3DMap* ignition = Form->IgnitionView();
    ignition->SetFocus();
    Press(Qt::Key_Right);
    Press(Qt::Key_Down);
    Sim.ClearLog();
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(SimValue(IgnitionMapCode, 1 * 16 + 1), 9) << "8 + 2 - 2, raised by one";
    EXPECT_DOUBLE_EQ(Height(*ignition, 1, 1), 0.9);
    // Descriptor: 16 values a row, array, signed, code 3.
    EXPECT_EQ(Writes(), std::vector<std::string>{"WriteElement(0x10503, 1, 1, 9)=1"});

    // The fuel map in milliseconds: one step is 1000 us. Tab leads there.
    Press(Qt::Key_Tab);
    ASSERT_TRUE(Form->FuelView()->Focused());
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(SimValue(FuelMapCode, 0), 2500);
    EXPECT_DOUBLE_EQ(Height(*Form->FuelView(), 0, 0), 0.25);

    // The combo box's mode reaches the view: the raise rule lifts the neighbours too.
    Form->EditModeCombo()->SetFocus();
    Press(Qt::Key_Return);
    Press(Qt::Key_Down);
    Press(Qt::Key_Return);
    ignition->SetFocus();
    Sim.ClearLog();
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(SimValue(IgnitionMapCode, 1 * 16 + 1), 10);
    EXPECT_GT(Writes().size(), 1u) << "more cells than the selected one were written";

    // "custom": the program's own rule, Ctrl+Up and Ctrl+B by CustomStep.
    Form->EditModeCombo()->SetFocus();
    Press(Qt::Key_Return);
    Press(Qt::Key_Down);
    Press(Qt::Key_Return);
    ASSERT_EQ(ignition->EditMode(), emCustom);
    ignition->SetFocus();
    Sim.ClearLog();
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(SimValue(IgnitionMapCode, 1 * 16 + 1), 15);
    Press(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(SimValue(IgnitionMapCode, 1 * 16 + 1), 10);
    EXPECT_EQ(Writes().size(), 2u);
    EXPECT_EQ(Form->ErrorCount(), 0) << Status(*Form);
}

TEST_F(DemoFormTest, IniSaveAndLoadRestoreChangedValues) {
    ShowAndStart(*Form);
    Retype("900");
    Press(Qt::Key_Return);
    auto* fuel = dynamic_cast<TQorMatrix*>(Form->FindComponent("FuelMap"));
    ASSERT_TRUE(fuel->SetCellValue(2, 3, 4.25));
    Press(Qt::Key_F2);
    ASSERT_TRUE(std::filesystem::exists(Ini)) << Status(*Form);
    std::ifstream in(Ini);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("IdleSpeed=900"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("[IgnitionMap]"), std::string::npos);

    // Elsewhere the ECU changes; F3 puts the saved values back into it and on screen.
    Sim.SetValue(IdleSpeedCode, 0, 700);
    Sim.SetValue(FuelMapCode, 2 * 16 + 3, 9999);
    Sim.SetValue(IgnitionMapCode, 0, 30);
    Press(Qt::Key_F3);
    EXPECT_EQ(SimValue(IdleSpeedCode), 900);
    EXPECT_EQ(SimValue(FuelMapCode, 2 * 16 + 3), 4250);
    EXPECT_EQ(SimValue(IgnitionMapCode, 0), 8);
    EXPECT_EQ(Find<TNumericEdit>("IdleSpeedEdit")->Text(), "900");
    EXPECT_DOUBLE_EQ(Height(*Form->FuelView(), 2, 3), 0.425);
    EXPECT_EQ(Form->ErrorCount(), 0) << Status(*Form);

    // A file that cannot be written is a message in the status line, not a failure of
    // the program.
    Form->SetIniFileName("/nonexistent-folder/values.ini");
    Press(Qt::Key_F2);
    EXPECT_NE(Status(*Form).find("Saving failed"), std::string::npos) << Status(*Form);
}

TEST_F(DemoFormTest, TheComboBoxChoosesTheMapsEditMode) {
    ShowAndStart(*Form);
    TKeyComboBox* combo = Form->EditModeCombo();
    combo->SetFocus();
    ASSERT_TRUE(combo->Focused());
    Press(Qt::Key_Return); // opens the list
    Press(Qt::Key_Down);
    Press(Qt::Key_Return); // confirms
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(Form->IgnitionView()->EditMode(), emMultiple);
    EXPECT_EQ(Form->FuelView()->EditMode(), emMultiple);
    Press(Qt::Key_Return);
    Press(Qt::Key_Down);
    Press(Qt::Key_Escape); // back to the confirmed item
    EXPECT_EQ(Form->IgnitionView()->EditMode(), emMultiple);
}

TEST_F(DemoFormTest, TabAndTheChainReachEveryControl) {
    ShowAndStart(*Form);
    std::vector<TWinControl*> focusable;
    for (int i = 0; i < Form->ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TWinControl*>(Form->Components(i)); c && c->CanFocus())
            focusable.push_back(c);
    ASSERT_EQ(focusable.size(), 7u) << "four edits, the combo box and two maps";
    std::set<TWinControl*> reached;
    for (std::size_t i = 0; i < focusable.size(); ++i) {
        for (TWinControl* c : focusable)
            if (c->Focused())
                reached.insert(c);
        Press(Qt::Key_Tab);
    }
    EXPECT_EQ(reached.size(), focusable.size());

    // Down from the first edit along the chain into the ignition map.
    Find<TNumericEdit>("IdleSpeedEdit")->SetFocus();
    for (int i = 0; i < 5; ++i)
        Press(Qt::Key_Down);
    EXPECT_TRUE(Form->IgnitionView()->Focused());
}

// Destroying the form in each state stops the refresher's thread, unloads the library and
// leaves no call queued for the main thread.
TEST_F(DemoFormTest, DestroyingTheFormInAnyStateLeavesNothingRunning) {
    // The first frame drawn starts the rasteriser's threads, which stay for the process.
    ShowAndStart(*Form);
    Form.reset();
    const int before = ThreadCount();
    const std::pair<const char*, std::function<void(DemoFormTest&, TDemoForm&)>> states[] = {
        {"read, never shown", [](DemoFormTest&, TDemoForm&) {}},
        {"shown, not started",
         [](DemoFormTest&, TDemoForm& F) {
             F.Show();
             ASSERT_TRUE(QTest::qWaitForWindowActive(F.Widget()));
         }},
        {"refreshing", [](DemoFormTest& T, TDemoForm& F) { T.ShowAndStart(F); }},
        {"a pass queued",
         [](DemoFormTest& T, TDemoForm& F) {
             T.ShowAndStart(F);
             QTest::qSleep(60); // the worker hands a pass over meanwhile; nobody runs it
         }},
        {"link down",
         [](DemoFormTest& T, TDemoForm& F) {
             T.ShowAndStart(F);
             T.Sim.SetConnected(0);
             QTest::qWait(100);
         }},
    };
    for (const auto& [name, reach] : states) {
        SCOPED_TRACE(name);
        Sim.ResetDefault();
        auto form = MakeForm();
        reach(*this, *form);
        EXPECT_GT(ThreadCount(), before) << "the refresher's worker runs";
        form.reset();
        Application->ProcessMessages(); // a pass queued before is dropped
        EXPECT_EQ(Sim.InstanceCount(), 0) << "the library's object is destroyed";
        EXPECT_EQ(ThreadCountSettled(before), before) << "threads: " << ThreadNames();
    }
}

} // namespace
} // namespace qor::test
