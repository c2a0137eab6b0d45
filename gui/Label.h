#pragma once
// A text label. It never takes the focus; with AutoSize it fits its caption.

#include "gui/Font.h"
#include "gui/WinControl.h"

#include <string>

class QLabel;

namespace qor {

enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TLabel(TComponent* AOwner);

    std::string Caption() const;
    void SetCaption(const std::string& Value);
    TFont* Font() { return &FFont; }
    // Vertical placement of the text in the label.
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);

    static void Publish(TPublisher<TLabel>& P);

private:
    QLabel* LabelWidget() const;
    void ApplyAlignment();
    void AdjustSize();

    TFont FFont;
    TTextLayout FLayout = tlTop;
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
};

} // namespace qor
