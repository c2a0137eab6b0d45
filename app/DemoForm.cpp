#include "app/DemoForm.h"

#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "controls/RegisterControlClasses.h"
#include "data/EditHistory.h"
#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "framework/IniFiles.h"
#include "framework/Properties.h"
#include "framework/SysUtils.h"
#include "gui/Label.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "map3d/Qor3DMap.h"

#include <QKeySequence>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace qor {

namespace {

std::string StatusWordText(int Status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(Status));
    return text;
}

// Clears Slot when it points at Component.
template <class T> void ForgetIf(T*& Slot, const TComponent* Component) {
    if (Slot && static_cast<const TComponent*>(Slot) == Component)
        Slot = nullptr;
}

template <class T> T* Owned(const TComponent& Owner, const char* Name) {
    return dynamic_cast<T*>(Owner.FindComponent(Name));
}

// Adds Step to every cell of the 1-based Selection that lies in the map.
void StepCells(TQorMatrix* Map, const TRect& Selection, double Step) {
    if (!Map)
        return;
    double value = 0;
    for (int r = std::max(Selection.Top, 1); r <= std::min(Selection.Bottom, Map->RowCount()); ++r)
        for (int c = std::max(Selection.Left, 1); c <= std::min(Selection.Right, Map->ColCount());
             ++c)
            if (Map->GetCellValue(r - 1, c - 1, value))
                Map->SetCellValue(r - 1, c - 1, value + Step);
}

} // namespace

TDemoForm::TDemoForm(TComponent* AOwner) : TForm(AOwner) {}

TDemoForm::~TDemoForm() {
    // The components go after this body: none of their events may reach the form then.
    Unbind();
    if (FRefresher)
        FRefresher->Stop();
}

void TDemoForm::LoadFormFile(const std::string& FileName) {
    Unbind();
    LoadComponentFromFileInto(*this, FileName);
    Bind();
}

void TDemoForm::LoadFormText(std::string_view Text) {
    Unbind();
    ReadComponentTextInto(*this, Text);
    Bind();
}

void TDemoForm::Bind() {
    FConnection = nullptr;
    FRefresher = nullptr;
    FLive.clear();
    FEdits.clear();
    FData.clear();
    std::vector<TNumericEdit*> edits;
    for (int i = 0; i < ComponentCount(); ++i) {
        TComponent* c = Components(i);
        if (auto* link = dynamic_cast<TQorConnection*>(c); link && !FConnection)
            FConnection = link;
        else if (auto* refresher = dynamic_cast<TDataRefresher*>(c); refresher && !FRefresher)
            FRefresher = refresher;
        else if (auto* packet = dynamic_cast<TQorPacketData*>(c)) {
            if (auto* label = Owned<TLabel>(*this, (packet->Name() + "Value").c_str()))
                FLive.push_back({packet, label});
            FData.push_back(packet);
        } else if (auto* data = dynamic_cast<TQorSerialData*>(c))
            FData.push_back(data);
        else if (auto* edit = dynamic_cast<TNumericEdit*>(c))
            edits.push_back(edit);
    }
    for (TNumericEdit* edit : edits) {
        auto number = std::find_if(FData.begin(), FData.end(), [&](TQorSerialData* d) {
            auto* n = dynamic_cast<TQorNumber*>(d);
            return n && edit->DataCode() >= 0 && n->SerialCode() == edit->DataCode() &&
                   n->RowIndex() == edit->DataIndex();
        });
        if (number != FData.end())
            FEdits.push_back({edit, static_cast<TQorNumber*>(*number)});
    }
    FIgnitionView = Owned<TQor3DMap>(*this, "IgnitionView");
    FFuelView = Owned<TQor3DMap>(*this, "FuelView");
    FEditModeCombo = Owned<TKeyComboBox>(*this, "EditModeCombo");
    FStatusLabel = Owned<TLabel>(*this, "StatusLabel");
    FLiveCellLabel = Owned<TLabel>(*this, "LiveCellLabel");
    // The views place the live point; the first view that shows one tells the status line.
    if (TQor3DMap* live = FIgnitionView ? FIgnitionView : FFuelView)
        live->SetOnOperatingPoint([this, live](TObject*) { ShowLiveCell(*live); });
    FChangesLabel = Owned<TLabel>(*this, "ChangesLabel");
    FHistory = Owned<TQorEditHistory>(*this, "EditHistory");
    if (FHistory) {
        for (TQorSerialData* data : StoredValues())
            FHistory->Watch(data);
        FHistory->SetOnChange([this](TObject*) { ShowChangedCount(); });
    }

    for (TQorSerialData* data : FData) {
        data->AddClient(this);
        data->SetOnError(
            [this](TObject* Sender, int Code, bool Writing) { LinkError(Sender, Code, Writing); });
    }
    for (const TValueEdit& binding : FEdits) {
        binding.Edit->SetOnKeyPress([this, edit = binding.Edit](TObject*, char& Key) {
            if (Key != '\r')
                return;
            for (const TValueEdit& b : FEdits)
                if (b.Edit == edit)
                    WriteEdit(b);
        });
    }
    if (FEditModeCombo) {
        // Enter that confirms the list, and a change made while it is closed (which the
        // combo box confirms with an Enter of its own).
        FEditModeCombo->SetOnKeyPress([this](TObject*, char& Key) {
            if (Key == '\r')
                ApplyEditMode();
        });
        ApplyEditMode();
    }
    // The program's own editing rule for the "custom" edit mode: coarse steps.
    for (TQor3DMap* view : {FIgnitionView, FFuelView})
        if (view) {
            view->SetOnCustumRise([](TObject*, TQorMatrix* Map, TRect Selection) {
                StepCells(Map, Selection, CustomStep);
            });
            view->SetOnCustumUnrise([](TObject*, TQorMatrix* Map, TRect Selection) {
                StepCells(Map, Selection, -CustomStep);
            });
        }
    if (auto* keys = Owned<TLabel>(*this, "KeysLabel"))
        keys->SetCaption(KeysText());
    BindShortcuts();
    FBound = true;
}

void TDemoForm::Unbind() {
    for (QPointer<QShortcut>& shortcut : FShortcuts)
        delete shortcut.data();
    FShortcuts.clear();
    delete FLinkWatch.data();
    if (!FBound)
        return;
    FBound = false;
    for (TQorSerialData* data : FData) {
        data->SetOnError({});
        data->RemoveClient(this);
    }
    for (const TValueEdit& binding : FEdits)
        binding.Edit->SetOnKeyPress({});
    if (FEditModeCombo)
        FEditModeCombo->SetOnKeyPress({});
    if (FHistory)
        FHistory->SetOnChange({});
    for (TQor3DMap* view : {FIgnitionView, FFuelView})
        if (view) {
            view->SetOnCustumRise({});
            view->SetOnCustumUnrise({});
            view->SetOnOperatingPoint({});
        }
    FData.clear();
    FEdits.clear();
    FLive.clear();
}

void TDemoForm::BindShortcuts() {
    // Window-wide keys: they work whichever control has the focus.
    const auto add = [this](Qt::Key Key, auto Action) {
        auto* shortcut = new QShortcut(QKeySequence(Key), Widget());
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, Widget(),
                         [this, Action] { (this->*Action)(); });
        FShortcuts.emplace_back(shortcut);
    };
    add(Qt::Key_F2, &TDemoForm::SaveValues);
    add(Qt::Key_F3, &TDemoForm::LoadValues);
    add(Qt::Key_F6, &TDemoForm::UndoEdit);
    add(Qt::Key_F7, &TDemoForm::RedoEdit);
    add(Qt::Key_F8, &TDemoForm::RevertValues);
}

bool TDemoForm::StartSession() {
    FErrorCount = 0;
    if (!FConnection || !FConnection->LoadDll()) {
        ShowStatus("The communication library could not be loaded");
        return false;
    }
    bool all = true;
    for (TQorSerialData* data : StoredValues())
        all = data->ReloadFromEcu() && all;
    if (FHistory)
        FHistory->SetReference();
    if (FRefresher)
        FRefresher->Start();
    if (all)
        ShowStatus("Connected to " + FConnection->DllName() + "; live values refresh");
    FLinkUp = FConnection->SerInterface()->IsConnected();
    if (!FLinkWatch) {
        FLinkWatch = new QTimer(Widget());
        QObject::connect(FLinkWatch.data(), &QTimer::timeout, Widget(), [this] { WatchLink(); });
        FLinkWatch->start(LinkWatchInterval);
    }
    return all;
}

void TDemoForm::WatchLink() {
    const bool up =
        FConnection && FConnection->DllLoaded() && FConnection->SerInterface()->IsConnected();
    if (up == FLinkUp)
        return;
    FLinkUp = up;
    if (!up) {
        ShowStatus("The link to the ECU is down; live values are not refreshed");
        return;
    }
    // What the ECU holds may have changed meanwhile.
    const int errors = FErrorCount;
    for (TQorSerialData* data : StoredValues())
        data->ReloadFromEcu();
    if (FErrorCount == errors)
        ShowStatus("The link to the ECU is up again; every value read again");
}

std::vector<TQorSerialData*> TDemoForm::StoredValues() const {
    std::vector<TQorSerialData*> values;
    for (TQorSerialData* data : FData)
        if (!dynamic_cast<TQorPacketData*>(data))
            values.push_back(data);
    return values;
}

bool TDemoForm::SaveValues() {
    TIniFile ini(FIniFileName);
    bool all = true;
    for (TQorSerialData* data : StoredValues())
        all = data->SaveToIni(ini) && all;
    try {
        ini.UpdateFile();
    } catch (const std::exception& e) {
        ShowStatus(std::string("Saving failed: ") + e.what());
        return false;
    }
    ShowStatus((all ? "Saved every value to " : "Saved, with values missing, to ") + FIniFileName);
    return all;
}

bool TDemoForm::LoadValues() {
    std::unique_ptr<TIniFile> ini;
    try {
        ini = std::make_unique<TIniFile>(FIniFileName);
    } catch (const std::exception& e) {
        ShowStatus(std::string("Loading failed: ") + e.what());
        return false;
    }
    bool all = true;
    {
        TEditAction action(FHistory);
        for (TQorSerialData* data : StoredValues())
            all = data->LoadFromIni(*ini) && all;
    }
    if (FHistory)
        FHistory->SetReference();
    ShowStatus((all ? "Loaded every value from " : "Loaded, with values missing, from ") +
               FIniFileName);
    return all;
}

TQorNumber* TDemoForm::NumberOf(const TNumericEdit& Edit) const {
    for (const TValueEdit& binding : FEdits)
        if (binding.Edit == &Edit)
            return binding.Number;
    return nullptr;
}

void TDemoForm::WriteEdit(const TValueEdit& Binding) {
    const int errors = FErrorCount;
    bool written = false;
    {
        TEditAction action(FHistory);
        // Without a library the number keeps the value and counts that as done: only a
        // write that raised no error reached the ECU.
        written = Binding.Number->SetUserValue(Binding.Edit->LastValue()) && FErrorCount == errors;
        // What the ECU holds now, also after a refused write; a failed read shows the
        // value held before.
        Binding.Number->ReloadFromEcu();
    }
    ShowNumber(Binding);
    if (written && FErrorCount == errors)
        ShowStatus(Binding.Number->Name() + " = " + Binding.Edit->Text() + " " +
                   Binding.Number->MeasureUnit() + " written to the ECU");
}

void TDemoForm::ShowNumber(const TValueEdit& Binding) {
    Binding.Edit->ShowValue(Binding.Number->EcuToUser(Binding.Number->RawValue()));
}

void TDemoForm::ShowLive(const TLiveValue& Live) {
    const double value = Live.Packet->EcuToUser(Live.Packet->RawValue());
    Live.Label->SetCaption(FormatG(value) + " " + Live.Packet->MeasureUnit());
}

void TDemoForm::ShowLiveCell(TQor3DMap& View) {
    if (!FLiveCellLabel || View.OperatingPointWeights().empty())
        return;
    const auto valueOf = [](TQorPacketData* Packet, double Value) {
        return Packet ? FormatG(Value) + " " + Packet->MeasureUnit() : std::string("-");
    };
    const TCellWeight cell = HeaviestCell(View.OperatingPointWeights());
    std::string text = "Live " + valueOf(View.HorizontalPosition(), View.HorizontalValue()) + ", " +
                       valueOf(View.VerticalPosition(), View.VerticalValue()) + ": cell row " +
                       std::to_string(cell.Row + 1) + ", column " + std::to_string(cell.Col + 1);
    double value = 0;
    if (TQorMatrix* map = View.Data(); map && map->GetCellValue(cell.Row, cell.Col, value))
        text += " (" + FormatG(value) + " " + map->MeasureUnit() + ")";
    FLiveCellLabel->SetCaption(text);
}

void TDemoForm::ApplyEditMode() {
    const int index = FEditModeCombo->ItemIndex();
    if (index < emSingle || index > emCustom)
        return;
    for (TQor3DMap* view : {FIgnitionView, FFuelView})
        if (view)
            view->SetEditMode(static_cast<TEditMode>(index));
}

void TDemoForm::LinkError(TObject* Sender, int ErrorCode, bool Writing) {
    ++FErrorCount;
    const auto* data = dynamic_cast<const TComponent*>(Sender);
    std::string text = (data ? data->Name() : std::string("?")) +
                       (Writing ? ": writing failed, " : ": reading failed, ");
    text +=
        ErrorCode == -1 ? "no communication library" : "link status " + StatusWordText(ErrorCode);
    ShowStatus(text);
}

void TDemoForm::LinkStatus(TComponent* Source, int Status) {
    ShowStatus((Source ? Source->Name() : std::string("?")) + ": link status " +
               StatusWordText(Status));
}

void TDemoForm::ShowStatus(const std::string& Text) {
    if (FStatusLabel)
        FStatusLabel->SetCaption(Text);
}

bool TDemoForm::UndoEdit() {
    if (!FHistory || !FHistory->CanUndo()) {
        ShowStatus("Nothing to undo");
        return false;
    }
    const bool done = FHistory->Undo();
    ShowStatus(done ? "Undone" : "Undo stopped: a value could not be written");
    return done;
}

bool TDemoForm::RedoEdit() {
    if (!FHistory || !FHistory->CanRedo()) {
        ShowStatus("Nothing to redo");
        return false;
    }
    const bool done = FHistory->Redo();
    ShowStatus(done ? "Redone" : "Redo stopped: a value could not be written");
    return done;
}

bool TDemoForm::RevertValues() {
    if (!FHistory)
        return false;
    const bool done = FHistory->RevertToReference();
    ShowStatus(done ? "Every value back to the reference"
                    : "Reverting stopped: a value could not be written");
    return done;
}

void TDemoForm::ShowChangedCount() {
    if (FChangesLabel && FHistory)
        FChangesLabel->SetCaption(std::to_string(FHistory->ChangedCount()) + " values changed");
}

std::string TDemoForm::KeysText() {
    return "Tab / Shift+Tab: next / previous control   Up, Down, Enter: along the values   "
           "Enter in a value: write it   Esc: undo typing   F2: save INI   F3: load INI\n"
           "F6 / F7: undo / redo the last edit step   F8: every value back to the reference\n"
           "Map: arrows select, Shift+arrows grow, Ctrl+Up / Ctrl+Down raise / lower, "
           "Ctrl+B: custom lowering, Enter: modification panel   w s a d z x c v: camera, "
           "r: reset";
}

void TDemoForm::Dispatch(TMessage& Message) {
    if (!FBound) {
        inherited::Dispatch(Message);
        return;
    }
    auto* source = reinterpret_cast<TComponent*>(Message.WParam);
    switch (Message.Msg) {
    case WM_DATA_CHANGED:
        for (const TLiveValue& live : FLive)
            if (live.Packet == source)
                ShowLive(live);
        for (const TValueEdit& binding : FEdits)
            if (binding.Number == source)
                ShowNumber(binding);
        break;
    case WM_DATA_STATUS:
        LinkStatus(source, static_cast<int>(Message.LParam));
        break;
    default:
        inherited::Dispatch(Message);
    }
}

void TDemoForm::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    std::erase_if(FLive, [&](const TLiveValue& l) {
        return l.Packet == AComponent || l.Label == AComponent;
    });
    std::erase_if(FEdits, [&](const TValueEdit& e) {
        return e.Edit == AComponent || e.Number == AComponent;
    });
    std::erase(FData, AComponent);
    ForgetIf(FConnection, AComponent);
    ForgetIf(FRefresher, AComponent);
    ForgetIf(FIgnitionView, AComponent);
    ForgetIf(FFuelView, AComponent);
    ForgetIf(FEditModeCombo, AComponent);
    ForgetIf(FStatusLabel, AComponent);
    ForgetIf(FLiveCellLabel, AComponent);
    ForgetIf(FHistory, AComponent);
    ForgetIf(FChangesLabel, AComponent);
}

void RegisterDemoClasses() {
    RegisterControlClasses();
    RegisterMap3DClasses();
    RegisterLinkClasses();
    RegisterDataClasses();
    RegisterClass<TDemoForm>("TDemoForm");
}

} // namespace qor
