#include "app/ScriptedSession.h"

#include "app/DemoForm.h"
#include "app/EcuSnapshot.h"
#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "data/SerialData.h"
#include "framework/SysUtils.h"
#include "gui/Application.h"
#include "gui/Label.h"
#include "map3d/Qor3DMap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QTest>
#include <QWindow>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <tuple>

namespace qor {

namespace {

// The cell the session selects (zero-based) and the block it grows from there.
constexpr int CellRow = 3, CellCol = 5;
constexpr int BlockRows = 3, BlockCols = 3;
constexpr int TypedIdleSpeed = 900;
constexpr int Percentage = 10;
// Back (s), up (z) and looking down a little more (c).
const std::string CameraKeys = std::string(25, 's') + std::string(8, 'z') + "cc";

const char* const LiveLabels[] = {"EngineSpeedValue", "EngineLoadValue", "CoolantValue",
                                  "ThrottleValue"};

using TCellKey = std::tuple<std::string, int, int>;

class TSessionDriver {
public:
    TSessionDriver(TApplication& App, TDemoForm& Form, std::ostream& Err)
        : FApp(App), FForm(Form), FErr(Err) {}

    QWindow* Window() const { return FForm.Widget()->windowHandle(); }

    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier, int Times = 1) {
        for (int i = 0; i < Times; ++i)
            QTest::keyClick(Window(), Key, Modifiers);
        FApp.ProcessMessages();
    }
    void Type(const std::string& Text) {
        for (char ch : Text)
            QTest::keyClick(Window(), ch);
        FApp.ProcessMessages();
    }
    // Replaces the text of the focused edit: End, then Backspace until it is empty.
    void Retype(const std::string& Text) {
        Press(Qt::Key_End);
        for (int i = 0; i < 12; ++i)
            Press(Qt::Key_Backspace);
        Type(Text);
    }
    // Lets the event loop (and the refresher) run until Done or the time is up.
    bool WaitFor(const std::function<bool()>& Done, int Milliseconds) {
        QElapsedTimer timer;
        timer.start();
        while (!Done()) {
            if (timer.elapsed() > Milliseconds)
                return false;
            QTest::qWait(10);
            FApp.ProcessMessages();
        }
        return true;
    }
    bool Check(bool Ok, const std::string& What) {
        if (!Ok)
            FErr << "qorcal-demo: scripted session: " << What << "\n";
        return Ok;
    }

private:
    TApplication& FApp;
    TDemoForm& FForm;
    std::ostream& FErr;
};

template <class T> T* Find(TDemoForm& Form, const char* Name) {
    return dynamic_cast<T*>(Form.FindComponent(Name));
}

std::string Caption(TDemoForm& Form, const char* Name) {
    const TLabel* label = Find<TLabel>(Form, Name);
    return label ? label->Caption() : std::string();
}

// Every live label has shown two different values since the session started.
bool WatchLiveValues(TSessionDriver& Driver, TDemoForm& Form) {
    std::map<std::string, std::set<std::string>> seen;
    return Driver.WaitFor(
        [&] {
            bool all = true;
            for (const char* name : LiveLabels) {
                const std::string text = Caption(Form, name);
                if (!text.empty() && text != "-")
                    seen[name].insert(text);
                all = all && seen[name].size() >= 2;
            }
            return all;
        },
        10000);
}

QWidget* FocusWidget() {
    return QApplication::focusWidget();
}

// The modification panel's radio button of that caption in View, or null.
QRadioButton* PanelRadio(TQor3DMap& View, const QString& Caption) {
    for (QRadioButton* button : View.Widget()->findChildren<QRadioButton*>())
        if (button->text().remove('&') == Caption)
            return button;
    return nullptr;
}

QLineEdit* PanelEdit(TQor3DMap& View) {
    return View.Widget()->findChild<QLineEdit*>();
}

// Selects the cell, raises it with Ctrl+Up, grows a 3 x 3 block with Shift and raises the
// block by Percentage per cent through the modification panel. True when every key did
// what it should.
bool EditIgnitionMap(TSessionDriver& Driver, TQor3DMap& View) {
    Driver.Press(Qt::Key_Right, Qt::NoModifier, CellCol);
    Driver.Press(Qt::Key_Down, Qt::NoModifier, CellRow);
    const TRect cell{CellCol + 1, CellRow + 1, CellCol + 1, CellRow + 1};
    if (!Driver.Check(View.Selection() == cell, "the arrow keys did not select the cell"))
        return false;
    Driver.Press(Qt::Key_Up, Qt::ControlModifier);
    Driver.Press(Qt::Key_Right, Qt::ShiftModifier, BlockCols - 1);
    Driver.Press(Qt::Key_Down, Qt::ShiftModifier, BlockRows - 1);
    const TRect block{CellCol + 1, CellRow + 1, CellCol + BlockCols, CellRow + BlockRows};
    if (!Driver.Check(View.Selection() == block, "Shift with the arrows did not grow the block"))
        return false;

    Driver.Press(Qt::Key_Return);
    QLineEdit* edit = PanelEdit(View);
    if (!Driver.Check(edit && edit->isVisible() && FocusWidget() == edit,
                      "Enter did not open the modification panel with its edit focused"))
        return false;
    QRadioButton* percent = PanelRadio(View, "Percentuale");
    if (!Driver.Check(percent != nullptr, "the panel has no \"Percentuale\""))
        return false;
    // Back to "Percentuale" with Shift+Tab, Space checks it.
    for (int i = 0; i < 8 && FocusWidget() != percent; ++i)
        Driver.Press(Qt::Key_Backtab, Qt::ShiftModifier);
    Driver.Press(Qt::Key_Space);
    if (!Driver.Check(percent->isChecked(), "Shift+Tab and Space did not choose \"Percentuale\""))
        return false;
    for (int i = 0; i < 8 && FocusWidget() != edit; ++i)
        Driver.Press(Qt::Key_Tab);
    if (!Driver.Check(FocusWidget() == edit, "Tab did not lead back to the panel's edit"))
        return false;
    Driver.Retype(std::to_string(Percentage));
    Driver.Press(Qt::Key_Return);
    return Driver.Check(!edit->isVisible() && View.Focused(),
                        "Enter in the panel did not apply and close it");
}

// What the keys asked for: the typed idle speed, the raised cell, the block by per cent,
// each converted to raw by the map itself.
std::map<TCellKey, int> ExpectedChanges(TDemoForm& Form, const TEcuSnapshot& Before) {
    auto* map = dynamic_cast<TQorMatrix*>(Form.FindComponent("IgnitionMap"));
    if (!map)
        return {};
    std::map<TCellKey, int> before;
    for (const TEcuValue& v : Before.Values)
        before[{v.Item, v.Row, v.Col}] = v.Raw;
    std::map<TCellKey, int> expected;
    expected[{"IdleSpeed", -1, -1}] = TypedIdleSpeed;
    for (int r = CellRow; r < CellRow + BlockRows; ++r)
        for (int c = CellCol; c < CellCol + BlockCols; ++c) {
            double old = before[{"IgnitionMap", r, c}];
            if (r == CellRow && c == CellCol)
                old += 1; // Ctrl+Up
            // The view's "Percentuale".
            expected[{"IgnitionMap", r, c}] =
                map->UserToEcu(old + Percentage * old * 0.01, nullptr);
        }
    for (auto it = expected.begin(); it != expected.end();)
        it = it->second == before[it->first] ? expected.erase(it) : std::next(it);
    return expected;
}

std::string ValueText(TDemoForm& Form, const TEcuValue& Value, int Raw) {
    auto* data = dynamic_cast<TQorSerialData*>(Form.FindComponent(Value.Item));
    return data ? FormatG(data->EcuToUser(Raw)) : std::to_string(Raw);
}

std::string Place(const TEcuValue& Value) {
    if (Value.Row < 0)
        return Value.Item;
    return Value.Item + " row " + std::to_string(Value.Row) + ", column " +
           std::to_string(Value.Col);
}

bool SaveScreenshot(TSessionDriver& Driver, TDemoForm& Form, const TSessionFiles& Files) {
    const QImage shot = Form.Widget()->grab().toImage();
    return Driver.Check(shot.save(QString::fromStdString(Files.Screenshot), "PNG"),
                        "cannot write " + Files.Screenshot);
}

} // namespace

bool RunScriptedSession(TApplication& App, TDemoForm& Form, const TSessionFiles& Files,
                        std::ostream& Out, std::ostream& Err) {
    TSessionDriver driver(App, Form, Err);
    Form.SetIniFileName(Files.Ini);
    std::filesystem::remove(Files.Ini);
    Form.Show();
    if (!driver.Check(QTest::qWaitForWindowActive(Form.Widget()), "the window did not open"))
        return false;
    if (!driver.Check(Form.StartSession(),
                      "the session did not start: " + Caption(Form, "StatusLabel")))
        return false;
    if (!driver.Check(WatchLiveValues(driver, Form), "the live values did not change"))
        return false;
    Out << "qorcal-demo: scripted session\n  live values:";
    for (const char* name : LiveLabels)
        Out << "  " << Caption(Form, name);
    Out << "\n";

    const TEcuSnapshot before = TakeEcuSnapshot(Form);
    auto* idle = Find<TNumericEdit>(Form, "IdleSpeedEdit");
    if (!driver.Check(idle && idle->Focused(), "the idle speed edit does not have the focus"))
        return false;
    driver.Retype(std::to_string(TypedIdleSpeed));
    driver.Press(Qt::Key_Return);
    if (!driver.Check(idle->Text() == std::to_string(TypedIdleSpeed),
                      "the idle speed edit shows " + idle->Text()))
        return false;
    // Along the chain to the combo box and on into the ignition map.
    driver.Press(Qt::Key_Down, Qt::NoModifier, 3);
    if (!driver.Check(Form.EditModeCombo() && Form.EditModeCombo()->Focused(),
                      "Down did not reach the edit mode combo box"))
        return false;
    driver.Press(Qt::Key_Down);
    TQor3DMap* view = Form.IgnitionView();
    if (!driver.Check(view && view->Focused(), "Down did not reach the ignition map"))
        return false;
    if (!EditIgnitionMap(driver, *view)) {
        SaveScreenshot(driver, Form, Files); // where it stopped
        return false;
    }
    driver.Press(Qt::Key_F2);
    if (!driver.Check(std::filesystem::exists(Files.Ini), "F2 did not save " + Files.Ini))
        return false;

    // Each map's camera back and up with its keys, so that the picture shows more of it.
    driver.Type(CameraKeys);
    driver.Press(Qt::Key_Tab);
    if (!driver.Check(Form.FuelView() && Form.FuelView()->Focused(),
                      "Tab did not lead from the ignition map to the fuel map"))
        return false;
    driver.Type(CameraKeys);
    if (!SaveScreenshot(driver, Form, Files))
        return false;
    const TEcuSnapshot after = TakeEcuSnapshot(Form);

    Out << "  screenshot: " << Files.Screenshot << "\n  INI file:   " << Files.Ini
        << "\n  changed in the ECU (read back from the " << after.Source << "):\n";
    const std::vector<TEcuChange> changes = Changes(before, after);
    std::map<TCellKey, int> expected = ExpectedChanges(Form, before);
    std::vector<std::string> mismatches;
    for (const TEcuChange& change : changes) {
        const TEcuValue& v = change.Before;
        Out << "    " << Place(v) << ": " << ValueText(Form, v, v.Raw) << " -> "
            << ValueText(Form, v, change.After) << " " << v.Unit << "\n";
        const auto it = expected.find({v.Item, v.Row, v.Col});
        if (it == expected.end())
            mismatches.push_back(Place(v) + " changed, which no key asked for");
        else if (it->second != change.After)
            mismatches.push_back(Place(v) + " became " + std::to_string(change.After) +
                                 ", the keys asked for " + std::to_string(it->second));
        if (it != expected.end())
            expected.erase(it);
    }
    for (const auto& [key, raw] : expected)
        mismatches.push_back(Place({std::get<0>(key), std::get<1>(key), std::get<2>(key), 0, {}}) +
                             " did not change to " + std::to_string(raw));
    Out.flush();
    bool asAsked = true;
    for (const std::string& mismatch : mismatches)
        asAsked = driver.Check(false, mismatch);
    return asAsked &&
           driver.Check(Form.ErrorCount() == 0,
                        "the status line reported link errors: " + Caption(Form, "StatusLabel"));
}

} // namespace qor
