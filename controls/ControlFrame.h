#pragma once
// The frame shared by the data-bound edit controls: two data tags, a focus chain through
// NextControl and PrevControl, a skin (a rounded shape or a picture) behind the control
// and a unit label to its right.
//
// The skin and the label are sibling controls on the host control's parent, owned by the
// host and kept in step with its bounds, scale, parent and visibility. A control carries
// the frame through TFramedControl (FramedControl.h), which forwards its layout hooks here.
//
// Layout, with L, T, W, H the host's bounds, p = ShapePenWidth, s = ShapeLeftSpacing (or p
// when that is 0), lw and lh the label's size:
//   label  left L + W + 10, top T + (H - lh) / 2, size unchanged
//   shape  left L - s, top T - p, width s + W + lw + 24 (with a label) or s + W + p,
//          height H + 2p; the label is brought in front of it
//   image  left L - 2, top T - 2, width W + lw + 24 (with a label) or W + 4, height H + 4

#include "gui/Image.h"
#include "gui/Label.h"
#include "gui/Shape.h"
#include "gui/WinControl.h"

namespace qor {

enum TSkinStyle { asNone, asShape, asImage };

// Colour of a new skin shape's brush and pen: red 225, green 31, blue 38.
constexpr TColor clSkinShape = RGB(225, 31, 38);

class TControlFrame;

// What a framed control answers, so that a focus chain can pass through it.
class IFramedControl {
public:
    virtual TControlFrame& Frame() = 0;
    virtual const TControlFrame& Frame() const = 0;

protected:
    ~IFramedControl() = default;
};

class TControlFrame {
public:
    explicit TControlFrame(TWinControl& Host);
    TControlFrame(const TControlFrame&) = delete;
    TControlFrame& operator=(const TControlFrame&) = delete;
    ~TControlFrame();

    // Tags for the application; the controls do not use them.
    int DataCode() const { return FDataCode; }
    void SetDataCode(int Value) { FDataCode = Value; }
    int DataIndex() const { return FDataIndex; }
    void SetDataIndex(int Value) { FDataIndex = Value; }

    // Neighbours in the focus chain (never owned; cleared when they are destroyed).
    TWinControl* NextControl() const { return FNextControl; }
    void SetNextControl(TWinControl* Value);
    TWinControl* PrevControl() const { return FPrevControl; }
    void SetPrevControl(TWinControl* Value);

    // asShape creates BackShape, asImage BackImage; each frees the other skin (and asNone
    // both), so a skin created again starts from its defaults.
    TSkinStyle SkinStyle() const { return FSkinStyle; }
    void SetSkinStyle(TSkinStyle Value);
    TShape* BackShape() const { return FBackShape; }
    TImage* BackImage() const { return FBackImage; }

    // When set, moving, resizing, scaling and the spacing and pen settings leave the
    // shape's bounds alone; removing the label still shrinks it.
    bool FixedShape() const { return FFixedShape; }
    void SetFixedShape(bool Value) { FFixedShape = Value; }
    int ShapeLeftSpacing() const { return FShapeLeftSpacing; }
    void SetShapeLeftSpacing(int Value);
    int ShapePenWidth() const { return FShapePenWidth; }
    void SetShapePenWidth(int Value);

    bool UseUnitLabel() const { return FUseUnitLabel; }
    void SetUseUnitLabel(bool Value);
    TLabel* UnitLabel() const { return FUnitLabel; }

    // The control that focus movement goes to: NextControl (PrevControl) when it can take
    // the focus; through one that cannot but is itself framed, that one's own target;
    // otherwise none. A chain that comes back to a framed control it passed already gives
    // none.
    TWinControl* FindNextTarget() const;
    TWinControl* FindPrevTarget() const;

    // Hooks of the host control.
    // After the host's bounds changed; OldWidth is its width before.
    void BoundsChanged(int ALeft, int ATop, int AWidth, int AHeight, int OldWidth);
    // Around the framework's scaling of the host.
    void BeginScaling() { FScaling = true; }
    void EndScaling(int M, int D);
    // After the host moved to another parent (or none).
    void ParentChanged();
    // After the host was shown or hidden.
    void VisibleChanged();
    // After a form holding the host was read: the label and an unfixed shape are laid out
    // with their final captions and sizes.
    void Loaded();
    void Notification(TComponent* AComponent, TOperation Operation);
    // Frees the skin and the label; the host calls it first thing in its destructor.
    void FreeSubControls();

private:
    int LeftReach() const { return FShapeLeftSpacing != 0 ? FShapeLeftSpacing : FShapePenWidth; }
    int LabelWidth() const { return FUnitLabel ? FUnitLabel->Width() : 0; }
    void PlaceLabel();
    void LayOutShape();
    void LayOutImage();
    // Gives a new sub-control the host's parent, visibility and a place in the z-order.
    void Adopt(TWinControl& Sub, bool IsSkin);
    void StackSkin(TWinControl& Skin);
    void SetNeighbour(TWinControl*& Link, TWinControl* Value, const TWinControl* Other);
    TWinControl* FindTarget(bool Forward) const;
    void FreeShape();
    void FreeImage();
    void FreeLabel();

    TWinControl& FHost;
    int FDataCode = -1;
    int FDataIndex = -1;
    TWinControl* FNextControl = nullptr;
    TWinControl* FPrevControl = nullptr;
    TSkinStyle FSkinStyle = asNone;
    // Owned by the host as components; also destroyed by their parent control when it
    // goes first, which Notification hears of.
    TShape* FBackShape = nullptr;
    TImage* FBackImage = nullptr;
    TLabel* FUnitLabel = nullptr;
    bool FUseUnitLabel = false;
    bool FFixedShape = false;
    int FShapeLeftSpacing = 0;
    int FShapePenWidth = 2;
    bool FScaling = false;
};

} // namespace qor
