#include "controls/ControlFrame.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace qor {

namespace {

// Destroys a component the frame created and forgets it first, so that the removal
// notification that follows finds nothing to clear.
template <class T> void FreeAndNil(T*& Component) {
    std::unique_ptr<T> doomed(std::exchange(Component, nullptr));
}

int MulDiv(int Value, int M, int D) {
    return D == 0 ? Value : static_cast<int>(static_cast<long long>(Value) * M / D);
}

} // namespace

TControlFrame::TControlFrame(TWinControl& Host) : FHost(Host) {}

TControlFrame::~TControlFrame() {
    FreeSubControls();
}

void TControlFrame::FreeSubControls() {
    FreeLabel();
    FreeShape();
    FreeImage();
}

void TControlFrame::FreeShape() {
    FreeAndNil(FBackShape);
}
void TControlFrame::FreeImage() {
    FreeAndNil(FBackImage);
}
void TControlFrame::FreeLabel() {
    FreeAndNil(FUnitLabel);
}

// ---- focus chain ----

void TControlFrame::SetNeighbour(TWinControl*& Link, TWinControl* Value, const TWinControl* Other) {
    if (Link == Value)
        return;
    // A control that is both neighbours (a ring of two) stays registered while the other
    // link still refers to it; otherwise its destruction would leave that link dangling.
    if (Link && Link != Other)
        FHost.RemoveFreeNotification(Link);
    Link = Value;
    if (Value)
        FHost.FreeNotification(Value);
}

void TControlFrame::SetNextControl(TWinControl* Value) {
    SetNeighbour(FNextControl, Value, FPrevControl);
}

void TControlFrame::SetPrevControl(TWinControl* Value) {
    SetNeighbour(FPrevControl, Value, FNextControl);
}

TWinControl* TControlFrame::FindTarget(bool Forward) const {
    std::vector<const TControlFrame*> passed;
    const TControlFrame* frame = this;
    for (;;) {
        TWinControl* candidate = Forward ? frame->FNextControl : frame->FPrevControl;
        if (!candidate)
            return nullptr;
        if (candidate->CanFocus())
            return candidate;
        const auto* framed = dynamic_cast<const IFramedControl*>(candidate);
        if (!framed)
            return nullptr;
        frame = &framed->Frame();
        if (std::find(passed.begin(), passed.end(), frame) != passed.end())
            return nullptr; // round the ring once without a control that takes the focus
        passed.push_back(frame);
    }
}

TWinControl* TControlFrame::FindNextTarget() const {
    return FindTarget(true);
}

TWinControl* TControlFrame::FindPrevTarget() const {
    return FindTarget(false);
}

// ---- skin and label ----

void TControlFrame::StackSkin(TWinControl& Skin) {
    // The framework draws a shape or a picture beneath every windowed control; a new
    // widget would sit on top of the host, so the skin goes directly behind it. In design
    // mode it goes behind everything, out of the designer's way.
    if (FHost.ComponentState().Contains(csDesigning))
        Skin.SendToBack();
    else
        Skin.StackUnder(&FHost);
}

void TControlFrame::Adopt(TWinControl& Sub, bool IsSkin) {
    Sub.SetVisible(FHost.Visible());
    Sub.SetParent(FHost.Parent());
    if (IsSkin)
        StackSkin(Sub);
}

void TControlFrame::PlaceLabel() {
    if (!FUnitLabel)
        return;
    const int lw = FUnitLabel->Width(), lh = FUnitLabel->Height();
    FUnitLabel->SetBounds(FHost.Left() + FHost.Width() + 10,
                          FHost.Top() + (FHost.Height() - lh) / 2, lw, lh);
}

void TControlFrame::LayOutShape() {
    const int s = LeftReach(), p = FShapePenWidth, w = FHost.Width();
    const int width = FUnitLabel ? s + w + LabelWidth() + 24 : s + w + p;
    FBackShape->SetBounds(FHost.Left() - s, FHost.Top() - p, width, FHost.Height() + 2 * p);
    if (FUnitLabel)
        FUnitLabel->BringToFront();
}

void TControlFrame::LayOutImage() {
    const int w = FHost.Width();
    const int width = FUnitLabel ? w + LabelWidth() + 24 : w + 4;
    FBackImage->SetBounds(FHost.Left() - 2, FHost.Top() - 2, width, FHost.Height() + 4);
}

void TControlFrame::SetSkinStyle(TSkinStyle Value) {
    switch (Value) {
    case asNone:
        FreeShape();
        FreeImage();
        break;
    case asShape:
        FreeImage();
        if (!FBackShape) {
            FBackShape = new TShape(&FHost); // owned by the host
            FBackShape->SetName("BackShape");
            FBackShape->Brush()->SetColor(clSkinShape);
            FBackShape->Pen()->SetColor(clSkinShape);
            FBackShape->SetShape(stRoundRect);
            Adopt(*FBackShape, true);
        } else if (FHost.ComponentState().Contains(csDesigning)) {
            FBackShape->SendToBack();
        }
        FBackShape->Pen()->SetWidth(FShapePenWidth);
        LayOutShape(); // whatever FixedShape says
        break;
    case asImage:
        FreeShape();
        if (!FBackImage) {
            FBackImage = new TImage(&FHost); // owned by the host
            FBackImage->SetName("BackImage");
            Adopt(*FBackImage, true);
        } else if (FHost.ComponentState().Contains(csDesigning)) {
            FBackImage->SendToBack();
        }
        LayOutImage();
        break;
    default:
        return; // not a skin style: ignored
    }
    FSkinStyle = Value;
}

void TControlFrame::SetUseUnitLabel(bool Value) {
    if (Value) {
        if (!FUnitLabel) {
            FUnitLabel = new TLabel(&FHost); // owned by the host
            FUnitLabel->SetName("UnitLabel");
            FUnitLabel->SetCaption("UnitLabel");
            FUnitLabel->Font()->SetColor(clWhite);
            FUnitLabel->SetLayout(tlCenter);
            Adopt(*FUnitLabel, false);
            PlaceLabel();
        }
        if (FBackShape && !FFixedShape)
            LayOutShape();
    } else {
        FreeLabel();
        if (FBackShape)
            LayOutShape(); // shrinks even while FixedShape is set
    }
    FUseUnitLabel = Value;
}

void TControlFrame::SetShapeLeftSpacing(int Value) {
    FShapeLeftSpacing = Value;
    if (FBackShape && !FFixedShape)
        LayOutShape();
}

void TControlFrame::SetShapePenWidth(int Value) {
    FShapePenWidth = Value;
    if (FBackShape && !FFixedShape) {
        FBackShape->Pen()->SetWidth(Value);
        LayOutShape();
    }
}

// ---- hooks ----

void TControlFrame::BoundsChanged(int ALeft, int ATop, int AWidth, int AHeight, int OldWidth) {
    if (FScaling)
        return;
    PlaceLabel();
    // A change of width stretches the skin by as much; what reaches past the label stays.
    if (FBackShape && !FFixedShape) {
        const int p = FShapePenWidth;
        FBackShape->SetBounds(ALeft - LeftReach(), ATop - p,
                              FBackShape->Width() + AWidth - OldWidth, AHeight + 2 * p);
    }
    if (FBackImage)
        FBackImage->SetBounds(ALeft - 2, ATop - 2, FBackImage->Width() + AWidth - OldWidth,
                              AHeight + 4);
}

void TControlFrame::EndScaling(int M, int D) {
    FScaling = false;
    PlaceLabel();
    if (FBackShape && !FFixedShape)
        LayOutShape();
    if (FBackImage)
        FBackImage->SetBounds(FBackImage->Left(), FBackImage->Top(),
                              MulDiv(FBackImage->Width(), M, D),
                              MulDiv(FBackImage->Height(), M, D));
}

void TControlFrame::ParentChanged() {
    TWinControl* parent = FHost.Parent();
    for (TWinControl* skin :
         {static_cast<TWinControl*>(FBackShape), static_cast<TWinControl*>(FBackImage)}) {
        if (skin) {
            skin->SetParent(parent);
            StackSkin(*skin);
        }
    }
    if (FUnitLabel)
        FUnitLabel->SetParent(parent);
}

void TControlFrame::VisibleChanged() {
    const bool visible = FHost.Visible();
    for (TWinControl* sub :
         {static_cast<TWinControl*>(FBackShape), static_cast<TWinControl*>(FBackImage),
          static_cast<TWinControl*>(FUnitLabel)})
        if (sub)
            sub->SetVisible(visible);
}

void TControlFrame::Loaded() {
    PlaceLabel();
    if (FBackShape && !FFixedShape)
        LayOutShape();
}

void TControlFrame::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation != opRemove || !AComponent)
        return;
    if (AComponent == FNextControl)
        FNextControl = nullptr;
    if (AComponent == FPrevControl)
        FPrevControl = nullptr;
    if (AComponent == FBackShape)
        FBackShape = nullptr;
    if (AComponent == FBackImage)
        FBackImage = nullptr;
    if (AComponent == FUnitLabel)
        FUnitLabel = nullptr;
}

} // namespace qor
