#pragma once
// A single-line edit for one decimal number, worked from the keyboard.
//
// Typed keys are filtered (digits, Backspace, one decimal separator when the step allows
// it, a leading minus sign when the limits allow one; the thousand separator types the
// decimal separator). Enter rounds the text to the step Precision, clamps it to MinValue
// and MaxValue and moves the focus along the frame's chain; Esc restores the last
// accepted value; Up and Down move the focus. Separators and number texts follow the
// framework's format settings (FormatSettings, FloatToStr).

#include "controls/FramedControl.h"
#include "gui/Edit.h"

namespace qor {

class TNumericEdit : public TFramedControl<TEdit> {
public:
    // The registered ancestor; the frame in between adds no class of its own.
    using inherited = TEdit;

    // Shows "0".
    explicit TNumericEdit(TComponent* AOwner);

    // Rounding step; 0 means no rounding.
    double Precision() const { return FPrecision; }
    void SetPrecision(double Value) { FPrecision = Value; }
    // Taken only when at least MinValue.
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value);
    // Taken only when at most MaxValue.
    double MinValue() const { return FMinValue; }
    void SetMinValue(double Value);
    // When set, Enter applies no limits and the minus sign is allowed whatever they are.
    bool DisableLimit() const { return FDisableLimit; }
    void SetDisableLimit(bool Value) { FDisableLimit = Value; }
    // When set, leaving the control discards text that was not confirmed with Enter.
    bool Validation() const { return FValidation; }
    void SetValidation(bool Value) { FValidation = Value; }

    // The last accepted value; 0 at creation.
    double LastValue() const { return FLastValue; }

    // The text as a number (LastValue when it is none), rounded to Precision.
    double TextValue() const;
    // Shows Value rounded to Precision and makes it LastValue.
    void ShowValue(double Value);
    // The text as an integer; LastValue truncated toward zero when it is none (also for
    // a text with a decimal separator).
    int IntValue() const;
    // The multiple of Precision nearest to Value; half-way goes up.
    double RoundToPrecision(double Value) const;

    static void Publish(TPublisher<TNumericEdit>& P);

protected:
    void KeyPress(char& Key) override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void DoEnter() override;
    void DoExit() override;

private:
    // The limits apply unless disabled or both 0.
    bool LimitsApply() const;
    bool SignAllowed() const;
    bool AcceptsDecimalSeparator() const;
    bool AcceptsMinus() const;
    void Confirm();
    void Accept(double Value);

    double FPrecision = 0;
    double FMaxValue = 0;
    double FMinValue = 0;
    bool FDisableLimit = false;
    bool FValidation = true;
    double FLastValue = 0;
};

} // namespace qor
