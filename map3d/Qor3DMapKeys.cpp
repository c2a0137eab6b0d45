// The map view's keyboard: camera characters, selection moves and growth, the panel key.
// Value changes (Ctrl with a key) are in Qor3DMapEdit.cpp.

#include "map3d/Qor3DMap.h"

#include <algorithm>
#include <cmath>

namespace qor {

namespace {

constexpr char KeyEnter = 13;
constexpr char KeySpace = 32;
// The fixed heading of the camera, in radians.
constexpr double Heading = -0.35;

// While the map is rotated, screen directions and map directions are swapped.
Word RemapArrow(Word Key) {
    switch (Key) {
    case VK_UP:
        return VK_LEFT;
    case VK_DOWN:
        return VK_RIGHT;
    case VK_RIGHT:
        return VK_UP;
    case VK_LEFT:
        return VK_DOWN;
    default:
        return Key;
    }
}

bool IsArrow(Word Key) {
    return Key == VK_LEFT || Key == VK_UP || Key == VK_RIGHT || Key == VK_DOWN;
}

} // namespace

void TQor3DMap::MoveCamera(TCameraAction Action) {
    switch (Action) {
    case TCameraAction::Forward:
        FCamera.EyeX += 0.5 * std::sin(Heading);
        FCamera.EyeZ -= 0.5 * std::cos(Heading);
        break;
    case TCameraAction::Backward:
        FCamera.EyeX -= 0.5 * std::sin(Heading);
        FCamera.EyeZ += 0.5 * std::cos(Heading);
        break;
    case TCameraAction::TurnLeft:
        FCamera.ViewAngle = std::min(FCamera.ViewAngle + 3, 30.0);
        break;
    case TCameraAction::TurnRight:
        FCamera.ViewAngle = std::max(FCamera.ViewAngle - 3, -99.0);
        break;
    case TCameraAction::Reset:
        FCamera = FDefaultCamera;
        break;
    case TCameraAction::Up:
        FCamera.EyeY += 1;
        break;
    case TCameraAction::Down:
        FCamera.EyeY -= 1;
        break;
    case TCameraAction::TiltUp:
        FCamera.Tilt += 0.01f;
        break;
    case TCameraAction::TiltDown:
        FCamera.Tilt -= 0.01f;
        break;
    }
    if (Action == TCameraAction::TurnLeft || Action == TCameraAction::TurnRight ||
        Action == TCameraAction::Reset)
        FRotated = FCamera.ViewAngle < -40;
}

void TQor3DMap::KeyPress(char& Key) {
    // The view's own handling; OnKeyPress is only stored for the form.
    const auto match = std::find_if(FCameraKeys.begin(), FCameraKeys.end(),
                                    [&](const TCameraKey& k) { return k.Key == Key; });
    if (match != FCameraKeys.end())
        MoveCamera(match->Action);
    else if (Key == KeyEnter)
        ToggleModPanel();
    else if (Key == KeySpace && FShowOperatingPoint)
        SelectOperatingCell();
    RenderScene();
}

void TQor3DMap::KeyDown(Word& Key, TShiftState Shift) {
    // The view's own handling; OnKeyDown is only stored for the form.
    if (!FData)
        return;
    if (Shift.Contains(ssCtrl)) {
        TEditAction action(FHistory);
        ChangeValues(Key == VK_CUSTUM_UNRISE_KEY ? VK_CUSTUM_UNRISE : Key);
        return;
    }
    const Word key = FRotated ? RemapArrow(Key) : Key;
    if (Shift.Contains(ssShift))
        GrowSelection(key);
    else
        MoveSelection(key);
    RefreshSelectionFlags();
    RenderScene();
}

void TQor3DMap::GrowSelection(Word Key) {
    switch (Key) {
    case VK_LEFT:
        FSelection.Left = std::max(FSelection.Left - 1, 1);
        break;
    case VK_UP:
        FSelection.Top = std::max(FSelection.Top - 1, 1);
        break;
    case VK_RIGHT:
        FSelection.Right = std::min(FSelection.Right + 1, FColCountSnapshot);
        break;
    case VK_DOWN:
        FSelection.Bottom = std::min(FSelection.Bottom + 1, FRowCountSnapshot);
        break;
    default:
        break;
    }
}

void TQor3DMap::MoveSelection(Word Key) {
    if (!IsArrow(Key))
        return;
    // A block collapses onto its first cell before it moves.
    FSelection.Bottom = FSelection.Top;
    FSelection.Right = FSelection.Left;
    switch (Key) {
    case VK_UP:
        FSelection.Top = std::max(FSelection.Top - 1, 1);
        FSelection.Bottom = std::max(FSelection.Bottom - 1, 1);
        break;
    case VK_DOWN:
        FSelection.Top = std::min(FSelection.Top + 1, FRowCountSnapshot);
        FSelection.Bottom = std::min(FSelection.Bottom + 1, FRowCountSnapshot);
        break;
    case VK_LEFT:
        FSelection.Left = std::max(FSelection.Left - 1, 1);
        FSelection.Right = std::max(FSelection.Right - 1, 1);
        break;
    case VK_RIGHT:
        FSelection.Left = std::min(FSelection.Left + 1, FColCountSnapshot);
        FSelection.Right = std::min(FSelection.Right + 1, FColCountSnapshot);
        break;
    default:
        break;
    }
}

void TQor3DMap::ToggleModPanel() {
    if (!FModPanel || !FEnableModPanel)
        return;
    if (FModPanel->Visible()) {
        FModPanel->Hide();
        return;
    }
    FModPanel->Show();
    TNumericEdit* edit = FModPanel->ValueEdit();
    if (edit->CanFocus()) {
        edit->SetFocus();
        edit->SelectAll();
    }
}

void TQor3DMap::CancelModification() {
    // The view takes the focus first, so that it does not pass through another control
    // when the panel that holds it goes.
    FocusView();
    if (FModPanel)
        FModPanel->Hide();
}

void TQor3DMap::FocusView() {
    if (CanFocus())
        SetFocus();
}

} // namespace qor
