#include "gui/Shape.h"

#include "gui/ControlWidget.h"

#include <QPainter>
#include <algorithm>

namespace qor {

void TPen::SetColor(TColor Value) {
    FColor = Value;
    if (FOnChange)
        FOnChange();
}

void TPen::SetWidth(int Value) {
    FWidth = std::max(Value, 0);
    if (FOnChange)
        FOnChange();
}

void TPen::Publish(TPublisher<TPen>& P) {
    PublishColor(P, "Color", &TPen::Color, &TPen::SetColor, clBlack);
    P.Integer("Width", &TPen::Width, &TPen::SetWidth, 1);
}

void TBrush::SetColor(TColor Value) {
    FColor = Value;
    if (FOnChange)
        FOnChange();
}

void TBrush::SetStyle(TBrushStyle Value) {
    FStyle = Value;
    if (FOnChange)
        FOnChange();
}

void TBrush::Publish(TPublisher<TBrush>& P) {
    PublishColor(P, "Color", &TBrush::Color, &TBrush::SetColor, clWhite);
    P.Enum("Style", &TBrush::Style, &TBrush::SetStyle, {"bsSolid", "bsClear"});
}

TShape::TShape(TComponent* AOwner) : TWinControl(AOwner, new TControlWidget<QWidget>(*this)) {
    SetFocusable(false);
    FPen.SetOnChange([this] { Widget()->update(); });
    FBrush.SetOnChange([this] { Widget()->update(); });
    SetBounds(0, 0, 65, 65);
}

void TShape::SetShape(TShapeType Value) {
    FShape = Value;
    Widget()->update();
}

void TShape::Paint(QPainter& Canvas) {
    // The outline lies inside the control: half the pen width in from each edge.
    const int pen = FPen.Width();
    const double inset = pen / 2.0;
    double w = Width() - pen, h = Height() - pen;
    double x = inset, y = inset;
    if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
        const double side = std::min(w, h);
        x += (w - side) / 2;
        y += (h - side) / 2;
        w = h = side;
    }
    if (w <= 0 || h <= 0)
        return;
    Canvas.setRenderHint(QPainter::Antialiasing);
    Canvas.setPen(pen > 0 ? QPen(ColorToQColor(FPen.Color()), pen) : QPen(Qt::NoPen));
    Canvas.setBrush(FBrush.Style() == bsSolid ? QBrush(ColorToQColor(FBrush.Color()))
                                              : QBrush(Qt::NoBrush));
    const QRectF rect(x, y, w, h);
    switch (FShape) {
    case stRectangle:
    case stSquare:
        Canvas.drawRect(rect);
        break;
    case stRoundRect:
    case stRoundSquare: {
        const double radius = std::min(w, h) / 8; // corners a quarter of the side across
        Canvas.drawRoundedRect(rect, radius, radius);
        break;
    }
    case stEllipse:
    case stCircle:
        Canvas.drawEllipse(rect);
        break;
    }
}

void TShape::Publish(TPublisher<TShape>& P) {
    P.Object("Brush", &TShape::Brush)
        .Object("Pen", &TShape::Pen)
        .Enum("Shape", &TShape::Shape, &TShape::SetShape,
              {"stRectangle", "stSquare", "stRoundRect", "stRoundSquare", "stEllipse", "stCircle"});
}

} // namespace qor
