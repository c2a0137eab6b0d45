#pragma once
// A drawn shape (rectangle, rounded rectangle, ellipse and their square forms) with a pen
// for the outline and a brush for the inside. It never takes the focus.

#include "gui/WinControl.h"

#include <functional>

namespace qor {

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
enum TBrushStyle { bsSolid, bsClear };

class TPen : public TPersistent {
public:
    using inherited = TPersistent;

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    // 0 draws no outline.
    int Width() const { return FWidth; }
    void SetWidth(int Value);

    void SetOnChange(std::function<void()> Handler) { FOnChange = std::move(Handler); }
    static void Publish(TPublisher<TPen>& P);

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    std::function<void()> FOnChange;
};

class TBrush : public TPersistent {
public:
    using inherited = TPersistent;

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle Value);

    void SetOnChange(std::function<void()> Handler) { FOnChange = std::move(Handler); }
    static void Publish(TPublisher<TBrush>& P);

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    std::function<void()> FOnChange;
};

class TShape : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TShape(TComponent* AOwner);

    TShapeType Shape() const { return FShape; }
    void SetShape(TShapeType Value);
    TPen* Pen() { return &FPen; }
    TBrush* Brush() { return &FBrush; }

    static void Publish(TPublisher<TShape>& P);

protected:
    void Paint(QPainter& Canvas) override;

private:
    TShapeType FShape = stRectangle;
    TPen FPen;
    TBrush FBrush;
};

} // namespace qor
