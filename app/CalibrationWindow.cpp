#include "app/CalibrationWindow.h"

#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "controls/RegisterControlClasses.h"
#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "framework/Properties.h"
#include "framework/SysUtils.h"
#include "gui/Label.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "map3d/Qor3DMap.h"

#include <algorithm>
#include <cstdio>

namespace qor {
namespace {

constexpr int RowHeight = 28;
constexpr int ViewSize = 360;
constexpr int MapsLeft = 520;

std::string WithUnit(double Value, const std::string& Unit) {
    return FormatG(Value) + (Unit.empty() ? "" : " " + Unit);
}

} // namespace

TCalibrationWindow::TCalibrationWindow(TComponent* AOwner) : TForm(AOwner) {}

TCalibrationWindow::~TCalibrationWindow() {
    Unbind();
    if (FRefresher)
        FRefresher->Stop();
}

void TCalibrationWindow::LoadFormFile(const std::string& FileName) {
    Unbind();
    LoadComponentFromFileInto(*this, FileName);
    Bind();
}

void TCalibrationWindow::LoadFormText(std::string_view Text) {
    Unbind();
    ReadComponentTextInto(*this, Text);
    Bind();
}

TLabel* TCalibrationWindow::AddLabel(const std::string& Caption, int Left, int Top, int Width) {
    auto* label = new TLabel(this); // owned by the window
    label->SetParent(this);
    label->SetAutoSize(false);
    label->SetBounds(Left, Top, Width, 20);
    label->SetCaption(Caption);
    return label;
}

void TCalibrationWindow::Bind() {
    FConnection = nullptr;
    FRefresher = nullptr;
    std::vector<TKeyComboBox*> combos;
    std::vector<TQorNumber*> numbers;
    for (int i = 0; i < ComponentCount(); ++i) {
        TComponent* c = Components(i);
        if (auto* link = dynamic_cast<TQorConnection*>(c); link && !FConnection)
            FConnection = link;
        else if (auto* refresher = dynamic_cast<TDataRefresher*>(c); refresher && !FRefresher)
            FRefresher = refresher;
        else if (auto* combo = dynamic_cast<TKeyComboBox*>(c))
            combos.push_back(combo);
        else if (auto* view = dynamic_cast<TQor3DMap*>(c))
            FMaps.push_back(view);
        else if (auto* data = dynamic_cast<TQorSerialData*>(c)) {
            FData.push_back(data);
            if (auto* packet = dynamic_cast<TQorPacketData*>(data))
                FLive.push_back({packet, nullptr});
            else if (auto* number = dynamic_cast<TQorNumber*>(data))
                numbers.push_back(number);
            else if (auto* vector = dynamic_cast<TQorVector*>(data); vector && vector->Connection())
                FArrays.push_back({vector, nullptr});
        }
    }
    for (TQorNumber* n : numbers) {
        auto combo = std::find_if(combos.begin(), combos.end(), [&](TKeyComboBox* k) {
            return k->DataCode() == n->SerialCode();
        });
        FValues.push_back({n, nullptr, combo == combos.end() ? nullptr : *combo});
    }
    Layout();
    for (TQorSerialData* data : FData) {
        data->AddClient(this);
        data->SetOnError([this](TObject* Sender, int Code, bool Writing) {
            ++FErrorCount;
            const auto* c = dynamic_cast<const TComponent*>(Sender);
            char status[16];
            std::snprintf(status, sizeof status, "0x%04X", static_cast<unsigned>(Code));
            ShowStatus((c ? c->Name() : std::string("?")) +
                       (Writing ? ": writing failed, " : ": reading failed, ") +
                       (Code == -1 ? std::string("no communication library")
                                   : "link status " + std::string(status)));
        });
    }
    for (const TValueRow& row : FValues) {
        TWinControl* control =
            row.Edit ? static_cast<TWinControl*>(row.Edit) : static_cast<TWinControl*>(row.Combo);
        control->SetOnKeyPress([this, control](TObject*, char& Key) {
            if (Key != '\r')
                return;
            for (const TValueRow& r : FValues)
                if (r.Edit == control || r.Combo == control)
                    Write(r);
        });
    }
    FBound = true;
}

void TCalibrationWindow::Layout() {
    int top = 12;
    std::vector<TWinControl*> chain;
    if (!FLive.empty()) {
        AddLabel("Live values", 16, top, 480);
        top += RowHeight;
        for (TLiveRow& row : FLive) {
            AddLabel(row.Packet->Name(), 16, top, 180);
            row.Label = AddLabel("-", 200, top, 200);
            top += RowHeight - 4;
        }
        top += 12;
    }
    if (!FValues.empty()) {
        AddLabel("Values (Enter writes to the ECU)", 16, top, 480);
        top += RowHeight;
    }
    for (TValueRow& row : FValues) {
        TQorNumber& n = *row.Number;
        AddLabel(n.Name(), 16, top + 3, 180);
        if (row.Combo) {
            row.Combo->SetParent(this);
            row.Combo->SetBounds(200, top, 160, 24);
            chain.push_back(row.Combo);
        } else {
            row.Edit = new TNumericEdit(this);
            row.Edit->SetParent(this);
            row.Edit->SetBounds(200, top, 100, 24);
            row.Edit->SetPrecision(n.Precision());
            if (n.ValueMin() != 0 || n.ValueMax() != 0) {
                row.Edit->SetMaxValue(n.ValueMax());
                row.Edit->SetMinValue(n.ValueMin());
            } else {
                row.Edit->SetDisableLimit(true);
            }
            row.Edit->SetDataCode(n.SerialCode());
            row.Edit->SetSkinStyle(asShape);
            row.Edit->SetUseUnitLabel(true);
            row.Edit->UnitLabel()->SetAutoSize(false);
            row.Edit->UnitLabel()->SetWidth(60);
            row.Edit->UnitLabel()->SetHeight(16);
            row.Edit->UnitLabel()->SetCaption(n.MeasureUnit());
            row.Edit->SetEnabled(!n.ReadOnly());
            chain.push_back(row.Edit);
        }
        top += RowHeight;
    }
    if (!FArrays.empty()) {
        top += 12;
        AddLabel("Vectors and axes", 16, top, 480);
        top += RowHeight;
    }
    for (TArrayRow& row : FArrays) {
        AddLabel(row.Vector->Name() + " [" + row.Vector->MeasureUnit() + "]", 16, top, 180);
        row.Label = AddLabel("-", 200, top, 310);
        top += RowHeight - 4;
    }
    int mapsBottom = 0;
    for (std::size_t i = 0; i < FMaps.size(); ++i) {
        TQor3DMap* view = FMaps[i];
        const int left = MapsLeft + static_cast<int>(i % 2) * (ViewSize + 20);
        const int mapTop = 12 + static_cast<int>(i / 2) * (ViewSize + 40);
        TQorMatrix* data = view->Data();
        AddLabel((data ? data->Name() + " [" + data->MeasureUnit() + "]" : view->Name()) +
                     (view->RowRef() ? "  rows: " + view->RowRef()->Name() : "") +
                     (view->ColRef() ? ", columns: " + view->ColRef()->Name() : ""),
                 left, mapTop, ViewSize);
        view->SetParent(this);
        view->SetBounds(left, mapTop + 24, ViewSize, ViewSize);
        chain.push_back(view);
        mapsBottom = std::max(mapsBottom, mapTop + 24 + ViewSize);
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        TWinControl* next = chain[(i + 1) % chain.size()];
        TWinControl* prev = chain[(i + chain.size() - 1) % chain.size()];
        if (auto* edit = dynamic_cast<TNumericEdit*>(chain[i])) {
            edit->SetNextControl(next);
            edit->SetPrevControl(prev);
        } else if (auto* combo = dynamic_cast<TKeyComboBox*>(chain[i])) {
            combo->SetNextControl(next);
            combo->SetPrevControl(prev);
        }
    }
    const int bottom = std::max(top, mapsBottom) + 12;
    FStatusLabel = AddLabel("Starting", 16, bottom, 1000);
    const int columns = std::min<int>(2, static_cast<int>(FMaps.size()));
    SetBounds(40, 40, columns ? MapsLeft + columns * (ViewSize + 20) : MapsLeft, bottom + 40);
    if (!chain.empty())
        SetActiveControl(chain.front());
}

void TCalibrationWindow::Unbind() {
    if (!FBound)
        return;
    FBound = false;
    for (TQorSerialData* data : FData) {
        data->SetOnError({});
        data->RemoveClient(this);
    }
    for (const TValueRow& row : FValues) {
        if (row.Edit)
            row.Edit->SetOnKeyPress({});
        if (row.Combo)
            row.Combo->SetOnKeyPress({});
    }
    FData.clear();
    FValues.clear();
    FLive.clear();
    FArrays.clear();
    FMaps.clear();
}

bool TCalibrationWindow::StartSession() {
    FErrorCount = 0;
    if (!FConnection || !FConnection->LoadDll()) {
        ShowStatus("The communication library could not be loaded");
        return false;
    }
    // Values held since loading (a view may have asked before the link was up) count for
    // nothing: everything is read again.
    bool all = true;
    for (TQorSerialData* data : FData)
        if (!dynamic_cast<TQorPacketData*>(data) && data->Connection()) // fixed axes hold theirs
            all = data->ReloadFromEcu() && all;
    for (const TArrayRow& row : FArrays)
        row.Label->SetCaption(ArrayText(*row.Vector));
    for (const TValueRow& row : FValues)
        ShowRow(row);
    if (FRefresher)
        FRefresher->Start();
    if (all)
        ShowStatus("Connected to " + FConnection->DllName() + "; live values refresh");
    return all;
}

std::string TCalibrationWindow::ValueText(const TValueRow& Row) {
    const double value = Row.Number->EcuToUser(Row.Number->RawValue());
    if (Row.Combo) {
        const int index = static_cast<int>(value);
        return index >= 0 && index < Row.Combo->Items()->Count() ? (*Row.Combo->Items())[index]
                                                                 : "?";
    }
    return WithUnit(value, Row.Number->MeasureUnit());
}

std::string TCalibrationWindow::ArrayText(TQorVector& Vector) {
    std::string text;
    for (int i = 0; i < Vector.ArrayDimension(); ++i) {
        double v = 0;
        Vector.GetElementValue(i, v);
        text += (i ? " " : "") + FormatG(v);
    }
    return text;
}

void TCalibrationWindow::Write(const TValueRow& Row) {
    const double value = Row.Combo ? Row.Combo->ItemIndex() : Row.Edit->LastValue();
    const bool written = Row.Number->SetUserValue(value);
    Row.Number->ReloadFromEcu();
    ShowRow(Row);
    if (written)
        ShowStatus(Row.Number->Name() + " = " + ValueText(Row) + " written to the ECU");
}

void TCalibrationWindow::ShowRow(const TValueRow& Row) {
    const double value = Row.Number->EcuToUser(Row.Number->RawValue());
    if (Row.Combo)
        Row.Combo->SetItemIndex(static_cast<int>(value));
    else if (Row.Edit)
        Row.Edit->ShowValue(value);
}

void TCalibrationWindow::ShowLive(const TLiveRow& Row) {
    if (Row.Label)
        Row.Label->SetCaption(
            WithUnit(Row.Packet->EcuToUser(Row.Packet->RawValue()), Row.Packet->MeasureUnit()));
}

void TCalibrationWindow::ShowStatus(const std::string& Text) {
    if (FStatusLabel)
        FStatusLabel->SetCaption(Text);
}

void TCalibrationWindow::Dispatch(TMessage& Message) {
    if (!FBound || Message.Msg != WM_DATA_CHANGED) {
        inherited::Dispatch(Message);
        return;
    }
    auto* source = reinterpret_cast<TComponent*>(Message.WParam);
    for (const TLiveRow& row : FLive)
        if (row.Packet == source)
            ShowLive(row);
    for (const TValueRow& row : FValues)
        if (row.Number == source)
            ShowRow(row);
}

void TCalibrationWindow::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    std::erase_if(FValues, [&](const TValueRow& r) {
        return r.Number == AComponent || r.Edit == AComponent || r.Combo == AComponent;
    });
    std::erase_if(
        FLive, [&](const TLiveRow& r) { return r.Packet == AComponent || r.Label == AComponent; });
    std::erase_if(FArrays, [&](const TArrayRow& r) {
        return r.Vector == AComponent || r.Label == AComponent;
    });
    std::erase(FMaps, AComponent);
    std::erase(FData, AComponent);
    if (FConnection == AComponent)
        FConnection = nullptr;
    if (FRefresher == AComponent)
        FRefresher = nullptr;
    if (FStatusLabel == AComponent)
        FStatusLabel = nullptr;
}

void RegisterCalibrationClasses() {
    RegisterControlClasses();
    RegisterMap3DClasses();
    RegisterLinkClasses();
    RegisterDataClasses();
    RegisterClass<TCalibrationWindow>("TCalibrationWindow");
}

} // namespace qor
