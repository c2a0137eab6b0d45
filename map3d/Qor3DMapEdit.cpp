// The map view's value changes: Ctrl with Up, Down and the custom key, the raise and lower
// rules, and the modification panel. Every change goes to Data through SetCellValue; the
// map's change notification rebuilds and redraws the view.

#include "map3d/Qor3DMap.h"

namespace qor {

namespace {

// The map an edit works on. A handler of the map (BeforeSetData, OnSetData, OnError, a
// conversion) may destroy the view or the map, or bind the view to another map: the edit
// then stops touching either.
class TEditTarget {
public:
    TEditTarget(TQor3DMap& View, TQorMatrix& Map)
        : FView(View), FMap(Map), FViewWatch(&View), FMapWatch(&Map) {}

    bool Alive() const {
        return !FViewWatch.Destroyed() && !FMapWatch.Destroyed() && FView.Data() == &FMap;
    }

    // The user value of a cell (zero-based). False for a cell outside the map and for a
    // failed ECU read, whose value is only what the map held before. A map without a
    // connection has no ECU to read: what it holds is its value.
    bool Read(int Row, int Col, double& Value) {
        if (!Alive() || Row < 0 || Col < 0 || Row >= FMap.RowCount() || Col >= FMap.ColCount())
            return false;
        const bool read = FMap.GetCellValue(Row, Col, Value);
        return Alive() && (read || !FMap.Connection());
    }

    // Refusals (read-only map, a handler that aborts, a failed write) are the map's to
    // report; the view shows what the map then holds.
    void Write(int Row, int Col, double Value) {
        if (Alive())
            FMap.SetCellValue(Row, Col, Value);
    }

private:
    TQor3DMap& FView;
    TQorMatrix& FMap;
    TComponentWatch FViewWatch, FMapWatch;
};

constexpr char KeyEnter = 13;

} // namespace

void TQor3DMap::TrackRange(double Value) {
    if (Value > FCellMax)
        FCellMax = Value >= 2147483647.0 ? INT_MAX : static_cast<int>(Value);
    if (Value < FCellMin)
        FCellMin = Value <= -2147483648.0 ? INT_MIN : static_cast<int>(Value);
}

void TQor3DMap::ChangeValues(Word Key) {
    const bool single = FSelection.Top == FSelection.Bottom && FSelection.Left == FSelection.Right;
    switch (Key) {
    case VK_CUSTUM_UNRISE:
        RaiseCustom(FOnCustumUnrise);
        break;
    case VK_UP:
        if (!single || FEditMode == emSingle)
            StepSelectedCells(+1);
        else if (FEditMode == emMultiple)
            RaiseRule();
        else
            RaiseCustom(FOnCustumRise);
        break;
    case VK_DOWN:
        if (!single || FEditMode == emSingle)
            StepSelectedCells(-1);
        else if (FEditMode == emMultiple)
            LowerRule();
        break;
    default:
        break;
    }
}

void TQor3DMap::RaiseCustom(const TCustumEditEvent& Event) {
    if (!Event)
        return;
    // A copy, so that a handler that replaces itself keeps running.
    const TCustumEditEvent handler = Event;
    handler(this, FData, FSelection);
}

void TQor3DMap::StepSelectedCells(double Delta) {
    if (!FData)
        return;
    TEditTarget map(*this, *FData);
    for (int row = FSelection.Top; row <= FSelection.Bottom; ++row)
        for (int col = FSelection.Left; col <= FSelection.Right; ++col) {
            double value = 0;
            if (!map.Read(row - 1, col - 1, value))
                continue;
            const double v = value + Delta;
            map.Write(row - 1, col - 1, v);
            if (!map.Alive())
                return;
            TrackRange(v);
        }
}

void TQor3DMap::RaiseRule() {
    if (!FData)
        return;
    TEditTarget map(*this, *FData);
    const int r0 = FSelection.Top - 1, c0 = FSelection.Left - 1;
    double centre = 0;
    if (!map.Read(r0, c0, centre))
        return;
    const double v = centre + 1;
    map.Write(r0, c0, v);
    const double third = 1.0 / 3;
    // A cell goes up by one while it stays at most Factor * v * v / (its value + 1).
    const auto raise = [&](int Row, int Col, double Factor) {
        double w = 0;
        if (!map.Read(Row, Col, w) || w + 1 == 0) // -1 gives no divisor: left alone
            return;
        if (w + 1 <= Factor * v * (v / (w + 1)))
            map.Write(Row, Col, w + 1);
    };
    for (int r = r0 - 1; r <= r0 + 1; ++r)
        for (int c = c0 - 1; c <= c0 + 1; ++c)
            raise(r, c, 2 * third);
    for (int r = r0 - 2; r <= r0 + 2; ++r)
        raise(r, c0, third);
    for (int c = c0 - 2; c <= c0 + 2; ++c)
        raise(r0, c, third);
}

void TQor3DMap::LowerRule() {
    if (!FData)
        return;
    TEditTarget map(*this, *FData);
    const int r0 = FSelection.Top - 1, c0 = FSelection.Left - 1;
    double v = 0;
    if (!map.Read(r0, c0, v))
        return;
    const double third = 1.0 / 3;
    // A cell goes down by one while it stays at least Factor * v * v / (its value - 1).
    // False when the rule stops: at a cell of 1, or when the map went away.
    const auto lower = [&](int Row, int Col, double Factor) {
        double w = 0;
        if (!map.Read(Row, Col, w))
            return map.Alive();
        if (w - 1 == 0)
            return false;
        if (w - 1 >= Factor * v * (v / (w - 1)))
            map.Write(Row, Col, w - 1);
        return map.Alive();
    };
    for (int r = r0 - 1; r <= r0 + 1; ++r)
        for (int c = c0 - 1; c <= c0 + 1; ++c)
            if (!lower(r, c, 2 * third))
                return;
    for (int r = r0 - 2; r <= r0 + 2; ++r)
        if (!lower(r, c0, third))
            return;
    for (int c = c0 - 2; c <= c0 + 2; ++c)
        if (!lower(r0, c, third))
            return;
}

void TQor3DMap::ApplyModification() {
    if (!FData || !FModPanel)
        return;
    const int amount = FModPanel->ValueEdit()->IntValue();
    const TModificationMode mode = FModPanel->Mode();
    TComponentWatch self(this);
    {
        TEditAction action(FHistory);
        TEditTarget map(*this, *FData);
        for (int row = FSelection.Top; row <= FSelection.Bottom && map.Alive(); ++row)
            for (int col = FSelection.Left; col <= FSelection.Right && map.Alive(); ++col) {
                double v = amount;
                if (mode != TModificationMode::Absolute) {
                    double old = 0;
                    if (!map.Read(row - 1, col - 1, old))
                        continue; // no value to offset or scale: the cell keeps its own
                    v = mode == TModificationMode::Relative ? old + amount
                                                            : old + amount * old * 0.01;
                }
                map.Write(row - 1, col - 1, v);
                if (map.Alive())
                    TrackRange(v);
            }
    }
    if (!self.Destroyed())
        CancelModification();
}

void TQor3DMap::EditKeyPress(char& Key) {
    if (Key == KeyEnter)
        ApplyModification();
}

} // namespace qor
