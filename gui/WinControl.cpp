#include "gui/WinControl.h"

#include "gui/ClientWidgetFilter.h"
#include "gui/ControlEvents.h"
#include "gui/ControlWidget.h"

#include <QPalette>
#include <QVBoxLayout>
#include <algorithm>

namespace qor {

namespace {

int MulDiv(int Value, int M, int D) {
    return D == 0 ? Value : static_cast<int>(static_cast<long long>(Value) * M / D);
}

} // namespace

TWinControl::TWinControl(TComponent* AOwner)
    : TWinControl(AOwner, new TControlWidget<QWidget>(*this)) {}

TWinControl::TWinControl(TComponent* AOwner, QWidget* AWidget)
    : TControl(AOwner), FWidget(AWidget) {
    FWidget->hide();
    ApplyFocusPolicy();
}

TWinControl::~TWinControl() {
    Destroying();
    TControlEvents::Forget(*this);
    if (auto* link = dynamic_cast<IControlWidget*>(FWidget.data()))
        link->Detach();
    for (const auto& filter : FFilters)
        if (filter)
            filter->Detach();
    // A parent control destroys its children, whoever owns them.
    while (!FControls.empty())
        delete FControls.back();
    if (FParent)
        FParent->RemoveChild(this);
    delete FWidget.data();
}

int TWinControl::Left() const {
    return FWidget->x();
}
int TWinControl::Top() const {
    return FWidget->y();
}
int TWinControl::Width() const {
    return FWidget->width();
}
int TWinControl::Height() const {
    return FWidget->height();
}
void TWinControl::SetLeft(int Value) {
    SetBounds(Value, Top(), Width(), Height());
}
void TWinControl::SetTop(int Value) {
    SetBounds(Left(), Value, Width(), Height());
}
void TWinControl::SetWidth(int Value) {
    SetBounds(Left(), Top(), Value, Height());
}
void TWinControl::SetHeight(int Value) {
    SetBounds(Left(), Top(), Width(), Value);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    FWidget->setGeometry(ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0));
}

void TWinControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent)
        return;
    for (TWinControl* p = AParent; p; p = p->FParent)
        if (p == this)
            throw EInvalidOperation("A control cannot be its own parent");
    if (FParent)
        FParent->RemoveChild(this);
    FParent = AParent;
    const QRect bounds = FWidget->geometry();
    if (FParent) {
        FParent->FControls.push_back(this);
        FWidget->setParent(FParent->FWidget);
    } else {
        FWidget->setParent(nullptr, IsWindow() ? Qt::Window : Qt::Widget);
    }
    FWidget->setGeometry(bounds);
    ApplyVisibility();
}

void TWinControl::SetParentComponent(TComponent* Value) {
    if (auto* parent = dynamic_cast<TWinControl*>(Value))
        SetParent(parent);
}

void TWinControl::RemoveChild(TWinControl* Child) {
    FControls.erase(std::remove(FControls.begin(), FControls.end(), Child), FControls.end());
}

void TWinControl::SetVisible(bool Value) {
    FVisible = Value;
    ApplyVisibility();
}

void TWinControl::ApplyVisibility() {
    // Without a parent only a window may show; anything else would become one.
    FWidget->setVisible(FVisible && (FParent || IsWindow()));
}

bool TWinControl::Showing() const {
    return FWidget->isVisible();
}

void TWinControl::SetEnabled(bool Value) {
    FEnabled = Value;
    FWidget->setEnabled(Value);
}

void TWinControl::SetTabStop(bool Value) {
    FTabStop = Value;
    ApplyFocusPolicy();
}

void TWinControl::SetFocusable(bool Value) {
    FFocusable = Value;
    ApplyFocusPolicy();
}

void TWinControl::ApplyFocusPolicy() {
    const Qt::FocusPolicy policy =
        !FFocusable ? Qt::NoFocus : (FTabStop ? Qt::StrongFocus : Qt::ClickFocus);
    FWidget->setFocusPolicy(policy);
    if (FClientWidget)
        FClientWidget->setFocusPolicy(policy);
}

bool TWinControl::CanFocus() const {
    if (!FFocusable)
        return false;
    const TWinControl* c = this;
    for (; c; c = c->FParent) {
        if (!c->FVisible || !c->FEnabled)
            return false;
        if (!c->FParent)
            break;
    }
    return c->IsWindow();
}

void TWinControl::SetFocus() {
    if (!CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    FWidget->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
    return FWidget->hasFocus();
}

void TWinControl::SetColor(TColor Value) {
    FColor = Value;
    QPalette palette = FWidget->palette();
    palette.setColor(QPalette::Window, ColorToQColor(Value));
    palette.setColor(QPalette::Base, ColorToQColor(Value));
    FWidget->setPalette(palette);
    FWidget->setAutoFillBackground(true);
}

void TWinControl::BringToFront() {
    FWidget->raise();
    if (FParent) {
        FParent->RemoveChild(this);
        FParent->FControls.push_back(this);
    }
}

void TWinControl::SendToBack() {
    FWidget->lower();
    if (FParent) {
        FParent->RemoveChild(this);
        FParent->FControls.insert(FParent->FControls.begin(), this);
    }
}

void TWinControl::StackUnder(TWinControl* Sibling) {
    if (!FParent || !Sibling || Sibling == this || Sibling->FParent != FParent)
        return;
    FWidget->stackUnder(Sibling->FWidget);
    FParent->RemoveChild(this);
    auto& siblings = FParent->FControls;
    siblings.insert(std::find(siblings.begin(), siblings.end(), Sibling), this);
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
    if (FOnKeyDown)
        FOnKeyDown(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
    if (FOnKeyPress)
        FOnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
    if (FOnEnter)
        FOnEnter(this);
}

void TWinControl::DoExit() {
    if (FOnExit)
        FOnExit(this);
}

void TWinControl::Click() {
    if (FOnClick)
        FOnClick(this);
}

void TWinControl::Paint(QPainter& /*Canvas*/) {}

void TWinControl::Resize() {}

void TWinControl::ChangeScale(int M, int D) {
    SetBounds(MulDiv(Left(), M, D), MulDiv(Top(), M, D), MulDiv(Width(), M, D),
              MulDiv(Height(), M, D));
    for (TWinControl* child : std::vector<TWinControl*>(FControls))
        child->ChangeScale(M, D);
}

void TWinControl::Dispatch(TMessage& /*Message*/) {}

void TWinControl::HostClientWidget(QWidget* Child) {
    delete FClientWidget.data();
    FClientWidget = Child;
    if (!Child)
        return;
    auto* layout = qobject_cast<QVBoxLayout*>(FWidget->layout());
    if (!layout) {
        delete FWidget->layout();
        layout = new QVBoxLayout(FWidget);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    Child->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(Child);
    FWidget->setFocusProxy(Child);
    ApplyFocusPolicy();
    RouteEventsOf(Child, false);
}

TClientWidgetFilter* TWinControl::RouteEventsOf(QObject* Watched, bool AsList) {
    auto* filter = new TClientWidgetFilter(
        *this, Watched, AsList ? TClientWidgetFilter::rtList : TClientWidgetFilter::rtAll);
    FFilters.emplace_back(filter);
    return filter;
}

void TWinControl::Publish(TPublisher<TWinControl>& P) {
    P.Integer("Left", &TWinControl::Left, &TWinControl::SetLeft)
        .Integer("Top", &TWinControl::Top, &TWinControl::SetTop)
        .Integer("Width", &TWinControl::Width, &TWinControl::SetWidth)
        .Integer("Height", &TWinControl::Height, &TWinControl::SetHeight)
        .Bool("Enabled", &TWinControl::Enabled, &TWinControl::SetEnabled, true)
        .Bool("Visible", &TWinControl::Visible, &TWinControl::SetVisible, true);
}

} // namespace qor
