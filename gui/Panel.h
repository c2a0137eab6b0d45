#pragma once
// A panel: a rectangle with a bevel and a centred caption that holds other controls.
//
// A descendant that draws through a widget of its own, such as a native OpenGL surface,
// places it with HostClientWidget: the widget fills the panel and its keys, focus and
// clicks still reach the panel's KeyDown, KeyPress, DoEnter, DoExit and Click.

#include "gui/WinControl.h"

#include <string>

namespace qor {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TPanel(TComponent* AOwner);

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);

    static void Publish(TPublisher<TPanel>& P);

protected:
    void Paint(QPainter& Canvas) override;

private:
    std::string FCaption;
    TBevelCut FBevelOuter = bvRaised;
};

} // namespace qor
