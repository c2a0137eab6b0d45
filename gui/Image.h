#pragma once
// A picture shown in a control. It never takes the focus. The picture is stored with the
// form as PNG data (Picture.Data).

#include "gui/WinControl.h"

#include <QImage>
#include <functional>
#include <string>

namespace qor {

class TPicture : public TPersistent {
public:
    using inherited = TPersistent;

    const QImage& Image() const { return FImage; }
    void SetImage(const QImage& Value);
    bool Empty() const { return FImage.isNull(); }
    // Loads any image format Qt reads; raises std::runtime_error when it cannot.
    void LoadFromFile(const std::string& FileName);
    void Clear() { SetImage(QImage()); }

    void SetOnChange(std::function<void()> Handler) { FOnChange = std::move(Handler); }
    void DefineProperties(TFiler& Filer) override;

private:
    QImage FImage;
    std::function<void()> FOnChange;
};

class TImage : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TImage(TComponent* AOwner);

    TPicture* Picture() { return &FPicture; }
    // Scales the picture to the control's size.
    bool Stretch() const { return FStretch; }
    void SetStretch(bool Value);
    // Centres an unstretched picture; otherwise it sits at the top left.
    bool Center() const { return FCenter; }
    void SetCenter(bool Value);

    static void Publish(TPublisher<TImage>& P);

protected:
    void Paint(QPainter& Canvas) override;

private:
    TPicture FPicture;
    bool FStretch = false;
    bool FCenter = false;
};

} // namespace qor
