#pragma once
// A control class Base with the control frame (ControlFrame.h): the frame's properties as
// the control's own, and the layout hooks (bounds, scale, parent, visibility, removal
// notification, loading) handed to the frame after Base has done its part.

#include "controls/ControlFrame.h"
#include "gui/Keys.h"

namespace qor {

template <class Base> class TFramedControl : public Base, public IFramedControl {
public:
    explicit TFramedControl(TComponent* AOwner) : Base(AOwner), FFrame(*this) {}
    ~TFramedControl() override {
        // The skin and the label go while the host is still whole.
        FFrame.FreeSubControls();
    }

    TControlFrame& Frame() override { return FFrame; }
    const TControlFrame& Frame() const override { return FFrame; }

    int DataCode() const { return FFrame.DataCode(); }
    void SetDataCode(int Value) { FFrame.SetDataCode(Value); }
    int DataIndex() const { return FFrame.DataIndex(); }
    void SetDataIndex(int Value) { FFrame.SetDataIndex(Value); }
    TWinControl* NextControl() const { return FFrame.NextControl(); }
    void SetNextControl(TWinControl* Value) { FFrame.SetNextControl(Value); }
    TWinControl* PrevControl() const { return FFrame.PrevControl(); }
    void SetPrevControl(TWinControl* Value) { FFrame.SetPrevControl(Value); }
    TSkinStyle SkinStyle() const { return FFrame.SkinStyle(); }
    void SetSkinStyle(TSkinStyle Value) { FFrame.SetSkinStyle(Value); }
    TShape* BackShape() const { return FFrame.BackShape(); }
    TImage* BackImage() const { return FFrame.BackImage(); }
    bool FixedShape() const { return FFrame.FixedShape(); }
    void SetFixedShape(bool Value) { FFrame.SetFixedShape(Value); }
    int ShapeLeftSpacing() const { return FFrame.ShapeLeftSpacing(); }
    void SetShapeLeftSpacing(int Value) { FFrame.SetShapeLeftSpacing(Value); }
    int ShapePenWidth() const { return FFrame.ShapePenWidth(); }
    void SetShapePenWidth(int Value) { FFrame.SetShapePenWidth(Value); }
    bool UseUnitLabel() const { return FFrame.UseUnitLabel(); }
    void SetUseUnitLabel(bool Value) { FFrame.SetUseUnitLabel(Value); }
    TLabel* UnitLabel() const { return FFrame.UnitLabel(); }

    TWinControl* FindNextTarget() const { return FFrame.FindNextTarget(); }
    TWinControl* FindPrevTarget() const { return FFrame.FindPrevTarget(); }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override {
        const int oldWidth = this->Width();
        Base::SetBounds(ALeft, ATop, AWidth, AHeight);
        FFrame.BoundsChanged(ALeft, ATop, AWidth, AHeight, oldWidth);
    }
    void SetParent(TWinControl* AParent) override {
        Base::SetParent(AParent);
        FFrame.ParentChanged();
    }
    void SetVisible(bool Value) override {
        Base::SetVisible(Value);
        FFrame.VisibleChanged();
    }
    void Loaded() override {
        Base::Loaded();
        FFrame.Loaded();
    }

protected:
    void ChangeScale(int M, int D) override {
        FFrame.BeginScaling();
        Base::ChangeScale(M, D);
        FFrame.EndScaling(M, D);
    }
    void Notification(TComponent* AComponent, TOperation Operation) override {
        Base::Notification(AComponent, Operation);
        FFrame.Notification(AComponent, Operation);
    }

    // Moves the focus to Target when there is one that can take it; true when it did.
    static bool FocusTarget(TWinControl* Target) {
        if (!Target || !Target->CanFocus())
            return false;
        Target->SetFocus();
        return true;
    }

    // Up and Down move the focus back and on along the chain, and the key is used up. True
    // when Key was one of them.
    bool MoveFocusOnArrow(Word& Key) const {
        if (Key != VK_UP && Key != VK_DOWN)
            return false;
        FocusTarget(Key == VK_UP ? FindPrevTarget() : FindNextTarget());
        Key = 0;
        return true;
    }

private:
    TControlFrame FFrame;
};

// Publishes the frame's data tags, DataCode and DataIndex.
template <class C> void PublishFrameTags(TPublisher<C>& P) {
    P.Integer("DataCode", &C::DataCode, &C::SetDataCode, -1)
        .Integer("DataIndex", &C::DataIndex, &C::SetDataIndex, -1);
}

// Publishes the rest of the frame, from NextControl on. SkinStyle comes before BackShape
// and BackImage, and UseUnitLabel before UnitLabel, so that a form being read has the
// sub-control when its own stored properties arrive.
template <class C> void PublishFrameLinks(TPublisher<C>& P) {
    P.template Component<TWinControl>("NextControl", &C::NextControl, &C::SetNextControl)
        .template Component<TWinControl>("PrevControl", &C::PrevControl, &C::SetPrevControl)
        .Enum("SkinStyle", &C::SkinStyle, &C::SetSkinStyle, {"asNone", "asShape", "asImage"})
        .Object("BackShape", &C::BackShape)
        .Object("BackImage", &C::BackImage)
        .Bool("FixedShape", &C::FixedShape, &C::SetFixedShape)
        .Integer("ShapeLeftSpacing", &C::ShapeLeftSpacing, &C::SetShapeLeftSpacing)
        // Stored unless 0, so the constructor's 2 is always written.
        .Integer("ShapePenWidth", &C::ShapePenWidth, &C::SetShapePenWidth, 0)
        .Bool("UseUnitLabel", &C::UseUnitLabel, &C::SetUseUnitLabel)
        .Object("UnitLabel", &C::UnitLabel)
        // Already published by the window control; the frame's SetVisible takes the skin
        // and the label along.
        .Bool("Visible", &C::Visible, &C::SetVisible, true);
}

} // namespace qor
