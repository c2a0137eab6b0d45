#pragma once
// The font of a control's text: colour, size in points and family name. The control
// applies it whenever it changes.

#include "framework/Component.h"
#include "framework/Properties.h"
#include "gui/Graphics.h"

#include <functional>
#include <string>

class QWidget;

namespace qor {

class TFont : public TPersistent {
public:
    using inherited = TPersistent;

    // An empty name and a size of 0 keep the widget's own family and size.
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    int Size() const { return FSize; }
    void SetSize(int Value);
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value);

    void SetOnChange(std::function<void()> Handler) { FOnChange = std::move(Handler); }
    // Puts the font on the widget's text (foreground colour, family, size).
    void ApplyTo(QWidget& Widget) const;

    static void Publish(TPublisher<TFont>& P);

private:
    void Changed();

    TColor FColor = clBlack;
    int FSize = 0;
    std::string FName;
    std::function<void()> FOnChange;
};

} // namespace qor
