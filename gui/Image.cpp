#include "gui/Image.h"

#include "framework/Filer.h"
#include "gui/ControlWidget.h"

#include <QBuffer>
#include <QPainter>
#include <stdexcept>

namespace qor {

void TPicture::SetImage(const QImage& Value) {
    FImage = Value;
    if (FOnChange)
        FOnChange();
}

void TPicture::LoadFromFile(const std::string& FileName) {
    QImage image;
    if (!image.load(QString::fromStdString(FileName)))
        throw std::runtime_error("cannot read the picture " + FileName);
    SetImage(image);
}

void TPicture::DefineProperties(TFiler& Filer) {
    Filer.DefineProperty(
        "Data",
        [this](TReader& Reader) {
            const TValue v = Reader.ReadValue();
            if (!v.Is<TBinaryValue>())
                Reader.Error("binary picture data was expected");
            const auto& bytes = v.As<TBinaryValue>().Bytes;
            QImage image;
            if (!image.loadFromData(bytes.data(), static_cast<int>(bytes.size())))
                Reader.Error("the picture data cannot be read");
            SetImage(image);
        },
        [this](TWriter& Writer) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            FImage.save(&buffer, "PNG");
            Writer.WriteValue(TValue(TBinaryValue{{png.begin(), png.end()}}));
        },
        !FImage.isNull());
}

TImage::TImage(TComponent* AOwner) : TWinControl(AOwner, new TControlWidget<QWidget>(*this)) {
    SetFocusable(false);
    FPicture.SetOnChange([this] { Widget()->update(); });
    SetBounds(0, 0, 105, 105);
}

void TImage::SetStretch(bool Value) {
    FStretch = Value;
    Widget()->update();
}

void TImage::SetCenter(bool Value) {
    FCenter = Value;
    Widget()->update();
}

void TImage::Paint(QPainter& Canvas) {
    const QImage& image = FPicture.Image();
    if (image.isNull())
        return;
    if (FStretch) {
        Canvas.drawImage(Widget()->rect(), image);
        return;
    }
    QPoint at(0, 0);
    if (FCenter)
        at = QPoint((Width() - image.width()) / 2, (Height() - image.height()) / 2);
    Canvas.drawImage(at, image);
}

void TImage::Publish(TPublisher<TImage>& P) {
    P.Bool("Center", &TImage::Center, &TImage::SetCenter)
        .Object("Picture", &TImage::Picture)
        .Bool("Stretch", &TImage::Stretch, &TImage::SetStretch);
}

} // namespace qor
