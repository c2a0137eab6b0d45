#pragma once
// A control with a real window: a QWidget under the framework's TControl.
//
// The control owns its widget; the widget hands Qt's key, focus, mouse, paint and resize
// events to the control's virtual hooks (KeyDown, KeyPress, DoEnter, DoExit, Click, Paint,
// Resize). A control destroys its child controls before its own widget goes, as the
// framework's parent controls do.

#include "framework/Control.h"
#include "framework/Properties.h"
#include "gui/Events.h"
#include "gui/Graphics.h"
#include "gui/Keys.h"

#include <QPointer>
#include <QWidget>
#include <stdexcept>
#include <vector>

class QPainter;

namespace qor {

class TClientWidgetFilter;

// Raised for an operation the control cannot do in its present state, such as focusing
// a hidden control.
class EInvalidOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TWinControl : public TControl {
public:
    using inherited = TControl;

    // A control on a plain widget.
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    QWidget* Widget() const { return FWidget; }

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int Value);
    void SetTop(int Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    // Every change of position or size comes through here.
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);

    TWinControl* Parent() const { return FParent; }
    // Moves the control (and its widget) into AParent; null takes it out. A control
    // cannot be its own parent or a parent of one of its ancestors.
    virtual void SetParent(TWinControl* AParent);
    // Child controls in z-order, the back-most first.
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TWinControl* Controls(int Index) const { return FControls.at(Index); }

    // The control's own flag; it shows when its parent shows.
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // True when the control and all its parents are visible on screen.
    bool Showing() const;

    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);

    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value);

    // True when the control can take the focus: it takes focus at all, and it and every
    // parent up to a shown form are visible and enabled.
    virtual bool CanFocus() const;
    // Gives the control the focus; raises EInvalidOperation when CanFocus is false.
    virtual void SetFocus();
    bool Focused() const;

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    void BringToFront();
    void SendToBack();
    // Places the control directly behind Sibling, a control of the same parent.
    void StackUnder(TWinControl* Sibling);

    // Scales position and size of the control and its children by M / D.
    void ScaleBy(int M, int D) { ChangeScale(M, D); }

    void SetOnKeyDown(TKeyEvent Handler) { FOnKeyDown = std::move(Handler); }
    void SetOnKeyPress(TKeyPressEvent Handler) { FOnKeyPress = std::move(Handler); }
    void SetOnEnter(TNotifyEvent Handler) { FOnEnter = std::move(Handler); }
    void SetOnExit(TNotifyEvent Handler) { FOnExit = std::move(Handler); }
    void SetOnClick(TNotifyEvent Handler) { FOnClick = std::move(Handler); }
    const TKeyEvent& OnKeyDown() const { return FOnKeyDown; }
    const TKeyPressEvent& OnKeyPress() const { return FOnKeyPress; }
    const TNotifyEvent& OnEnter() const { return FOnEnter; }
    const TNotifyEvent& OnExit() const { return FOnExit; }
    const TNotifyEvent& OnClick() const { return FOnClick; }

    // Form files nest controls under their parent control.
    TComponent* GetParentComponent() const override { return FParent; }
    void SetParentComponent(TComponent* Value) override;

    static void Publish(TPublisher<TWinControl>& P);

protected:
    // For descendants that bring their own widget (made with MakeControlWidget); the
    // control takes ownership of it.
    TWinControl(TComponent* AOwner, QWidget* AWidget);

    // A key went down: Key is its virtual-key code. Calls OnKeyDown. Setting Key to 0
    // swallows the key; setting it to another code passes that key on instead.
    virtual void KeyDown(Word& Key, TShiftState Shift);
    // A key typed a character. Calls OnKeyPress. Setting Key to 0 swallows it; another
    // character is typed instead.
    virtual void KeyPress(char& Key);
    // The control got the focus; calls OnEnter.
    virtual void DoEnter();
    // The control lost the focus; calls OnExit.
    virtual void DoExit();
    // Calls OnClick.
    virtual void Click();
    // Draws over what the widget drew itself.
    virtual void Paint(QPainter& Canvas);
    // The size changed.
    virtual void Resize();
    // Scales bounds through SetBounds, then the children.
    virtual void ChangeScale(int M, int D);
    // Messages sent with Perform. The default leaves Result at 0.
    void Dispatch(TMessage& Message) override;

    // True for top-level windows, which show without a parent.
    virtual bool IsWindow() const { return false; }
    // Controls that never take the focus (labels, shapes, images) clear this.
    void SetFocusable(bool Value);

    // Places Child over the whole control, for descendants that draw through a widget of
    // their own (for example a native OpenGL surface). The child gets the control's
    // focus, and its key, focus and click events go through this control's hooks.
    void HostClientWidget(QWidget* Child);
    QWidget* ClientWidget() const { return FClientWidget; }
    // Routes the key, focus and click events of another widget through this control's
    // hooks, as if they had come to the control. AsList: the widget is the control's
    // drop-down list, which takes the focus while the control keeps it; only its keys go
    // through.
    TClientWidgetFilter* RouteEventsOf(QObject* Watched, bool AsList);

private:
    friend class TControlEvents;

    void ApplyVisibility();
    void ApplyFocusPolicy();
    void RemoveChild(TWinControl* Child);

    QPointer<QWidget> FWidget;
    QPointer<QWidget> FClientWidget;
    std::vector<QPointer<TClientWidgetFilter>> FFilters;
    TWinControl* FParent = nullptr;
    std::vector<TWinControl*> FControls;
    bool FVisible = true;
    bool FEnabled = true;
    bool FTabStop = true;
    bool FFocusable = true;
    TColor FColor = clBtnFace;
    bool FColorSet = false;
    TKeyEvent FOnKeyDown;
    TKeyPressEvent FOnKeyPress;
    TNotifyEvent FOnEnter;
    TNotifyEvent FOnExit;
    TNotifyEvent FOnClick;
};

} // namespace qor
