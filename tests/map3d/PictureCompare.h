#pragma once
// Pictures of the rendering tests: turning a presented frame into a QImage, saving it for
// a person to look at, and comparing it with a committed reference within a tolerance.

#include "map3d/GLContextProvider.h"

#include <QDir>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <set>
#include <string>

namespace qor::test {

// Two pictures match when at most MaxDifferentShare of their pixels differ by more than
// ChannelTolerance in some channel, and the mean channel difference stays below
// MaxMeanDifference. llvmpipe is deterministic for one Mesa build; the slack absorbs
// rounding differences between builds and between the literal and batched drawing.
constexpr int ChannelTolerance = 40;
constexpr double MaxDifferentShare = 0.001;
constexpr double MaxMeanDifference = 0.5;

inline QImage ToImage(const TFrameImage& Frame) {
    if (Frame.Pixels.empty())
        return {};
    return QImage(reinterpret_cast<const uchar*>(Frame.Pixels.data()), Frame.Width, Frame.Height,
                  Frame.Width * 4, QImage::Format_ARGB32)
        .convertToFormat(QImage::Format_RGB32);
}

// Saves the picture into the build folder and returns its path.
inline QString SavePicture(const QImage& Image, const std::string& Name) {
    QDir().mkpath(QStringLiteral(QOR_PICTURE_DIR));
    const QString path =
        QStringLiteral(QOR_PICTURE_DIR "/") + QString::fromStdString(Name) + QStringLiteral(".png");
    Image.save(path);
    return path;
}

struct TPictureDifference {
    bool SameSize = false;
    double DifferentShare = 1;
    double MeanDifference = 255;
    bool Matches() const {
        return SameSize && DifferentShare <= MaxDifferentShare &&
               MeanDifference <= MaxMeanDifference;
    }
};

inline TPictureDifference Compare(const QImage& A, const QImage& B) {
    TPictureDifference d;
    if (A.size() != B.size() || A.isNull())
        return d;
    d.SameSize = true;
    const QImage a = A.convertToFormat(QImage::Format_RGB32);
    const QImage b = B.convertToFormat(QImage::Format_RGB32);
    long long different = 0, sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int dr = std::abs(qRed(pa[x]) - qRed(pb[x]));
            const int dg = std::abs(qGreen(pa[x]) - qGreen(pb[x]));
            const int db = std::abs(qBlue(pa[x]) - qBlue(pb[x]));
            sum += dr + dg + db;
            if (std::max({dr, dg, db}) > ChannelTolerance)
                ++different;
        }
    }
    const double pixels = static_cast<double>(a.width()) * a.height();
    d.DifferentShare = different / pixels;
    d.MeanDifference = sum / (pixels * 3);
    return d;
}

// Distinct colours in the picture, up to Limit.
inline int ColourCount(const QImage& Image, int Limit = 64) {
    std::set<QRgb> seen;
    const QImage img = Image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height() && static_cast<int>(seen.size()) < Limit; ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            seen.insert(p[x] & 0xFFFFFF);
    }
    return static_cast<int>(seen.size());
}

} // namespace qor::test
