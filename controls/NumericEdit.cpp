#include "controls/NumericEdit.h"

#include "framework/SysUtils.h"

#include <cmath>
#include <limits>

namespace qor {

namespace {

constexpr char KeyBackspace = 8;
constexpr char KeyEnter = 13;

// Value truncated toward zero and held to int's range (NaN gives 0).
int TruncToInt(double Value) {
    if (std::isnan(Value))
        return 0;
    const double t = std::trunc(Value);
    if (t >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

bool Contains(const std::string& Text, char Ch) {
    return Text.find(Ch) != std::string::npos;
}

} // namespace

TNumericEdit::TNumericEdit(TComponent* AOwner) : TFramedControl<TEdit>(AOwner) {
    SetText("0");
}

void TNumericEdit::SetMaxValue(double Value) {
    if (Value >= FMinValue)
        FMaxValue = Value;
}

void TNumericEdit::SetMinValue(double Value) {
    if (Value <= FMaxValue)
        FMinValue = Value;
}

double TNumericEdit::RoundToPrecision(double Value) const {
    if (FPrecision == 0)
        return Value; // no step: nothing to round to
    const double q = Value / FPrecision;
    const double up = FPrecision * std::ceil(q);
    const double down = FPrecision * std::floor(q);
    return Value - down < up - Value ? down : up;
}

double TNumericEdit::TextValue() const {
    double value = FLastValue;
    if (!TryStrToFloat(Text(), value))
        value = FLastValue;
    return FPrecision != 0 ? RoundToPrecision(value) : value;
}

void TNumericEdit::ShowValue(double Value) {
    if (FPrecision != 0)
        Value = RoundToPrecision(Value);
    SetText(FloatToStr(Value));
    FLastValue = Value;
}

int TNumericEdit::IntValue() const {
    return StrToIntDef(Text(), TruncToInt(FLastValue));
}

bool TNumericEdit::LimitsApply() const {
    return !FDisableLimit && !(FMinValue == 0 && FMaxValue == 0);
}

bool TNumericEdit::SignAllowed() const {
    return FDisableLimit || FMinValue < 0 || (FMinValue == 0 && FMaxValue == 0);
}

bool TNumericEdit::AcceptsDecimalSeparator() const {
    const char separator = FormatSettings().DecimalSeparator;
    const bool stepHasFraction = FPrecision == 0 || Contains(FloatToStr(FPrecision), separator);
    return stepHasFraction && (!Contains(Text(), separator) || Contains(SelText(), separator));
}

bool TNumericEdit::AcceptsMinus() const {
    return SelStart() == 0 && SignAllowed() && (!Contains(Text(), '-') || Contains(SelText(), '-'));
}

void TNumericEdit::Accept(double Value) {
    SetText(FloatToStr(Value));
    FLastValue = Value;
}

void TNumericEdit::Confirm() {
    if (LimitsApply()) {
        // The limits are shown as they are, not rounded to the step.
        const double value = TextValue();
        if (value < FMinValue)
            return Accept(FMinValue);
        if (value > FMaxValue)
            return Accept(FMaxValue);
    }
    SetText(FloatToStr(TextValue()));
    FLastValue = TextValue();
}

void TNumericEdit::KeyPress(char& Key) {
    const TFormatSettings& format = FormatSettings();
    const bool enter = Key == KeyEnter;
    if ((Key >= '0' && Key <= '9') || Key == KeyBackspace) {
        // typed as it is
    } else {
        if (Key == format.ThousandSeparator)
            Key = format.DecimalSeparator;
        if (Key == format.DecimalSeparator) {
            if (!AcceptsDecimalSeparator())
                Key = 0;
        } else if (Key == '-') {
            if (!AcceptsMinus())
                Key = 0;
        } else if (enter) {
            Confirm();
        } else {
            Key = 0; // letters, the paste character and every other control character
        }
    }
    // A discarded character reaches no handler.
    if (Key == 0)
        return;
    TFramedControl<TEdit>::KeyPress(Key);
    if (enter && !FocusTarget(FindNextTarget()))
        SelectAll();
}

void TNumericEdit::KeyDown(Word& Key, TShiftState Shift) {
    if (Key == VK_ESCAPE) {
        ShowValue(FLastValue);
        SelectAll();
    } else {
        MoveFocusOnArrow(Key);
    }
    TFramedControl<TEdit>::KeyDown(Key, Shift);
}

void TNumericEdit::DoEnter() {
    double value = 0;
    if (TryStrToFloat(Text(), value))
        FLastValue = value;
    ShowValue(FLastValue);
    TFramedControl<TEdit>::DoEnter();
}

void TNumericEdit::DoExit() {
    if (FValidation) {
        ShowValue(FLastValue);
    } else {
        // Taken as it stands, without limits.
        FLastValue = TextValue();
        SetText(FloatToStr(FLastValue));
    }
    TFramedControl<TEdit>::DoExit();
}

void TNumericEdit::Publish(TPublisher<TNumericEdit>& P) {
    P.Float("Precision", &TNumericEdit::Precision, &TNumericEdit::SetPrecision)
        .Float("MaxValue", &TNumericEdit::MaxValue, &TNumericEdit::SetMaxValue)
        .Float("MinValue", &TNumericEdit::MinValue, &TNumericEdit::SetMinValue)
        .Bool("DisableLimit", &TNumericEdit::DisableLimit, &TNumericEdit::SetDisableLimit)
        .Bool("Validation", &TNumericEdit::Validation, &TNumericEdit::SetValidation, true);
    PublishFrameTags(P);
    PublishFrameLinks(P);
}

} // namespace qor
