#pragma once
// The map view's value-modification panel: three radio buttons for the mode ("Assoluta"
// sets, "Relativa" offsets, "Percentuale" scales), a numeric edit for the amount and the
// buttons "&Ok" and "&Annulla". The panel only lays out and holds its controls; the view
// that owns it wires their events and does the modification.

#include "controls/NumericEdit.h"
#include "gui/Button.h"
#include "gui/Panel.h"
#include "gui/RadioButton.h"

namespace qor {

// What the panel does to every selected cell.
enum class TModificationMode { Absolute, Relative, Percent };

class TMapModPanel : public TPanel {
public:
    using inherited = TPanel;

    static constexpr int PanelWidth = 200;
    static constexpr int PanelHeight = 142;

    // Hidden, 200 x 142, with its six controls; "Assoluta" checked; the edit takes any
    // text it is left with (Validation off).
    explicit TMapModPanel(TComponent* AOwner);

    TRadioButton* AbsoluteButton() const { return FAbsolute; }
    TRadioButton* RelativeButton() const { return FRelative; }
    TRadioButton* PercentButton() const { return FPercent; }
    TNumericEdit* ValueEdit() const { return FValueEdit; }
    TButton* OkButton() const { return FOk; }
    TButton* CancelButton() const { return FCancel; }

    // "Assoluta" when checked, else "Relativa" when checked, else "Percentuale".
    TModificationMode Mode() const;

private:
    TRadioButton* FAbsolute;
    TRadioButton* FRelative;
    TRadioButton* FPercent;
    TNumericEdit* FValueEdit;
    TButton* FOk;
    TButton* FCancel;
};

} // namespace qor
