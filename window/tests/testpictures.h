#pragma once

#include <QColor>
#include <QDir>
#include <QImage>
#include <QString>

#include <functional>

namespace quenzil::testing {

// A picture whose every pixel's colour comes from a function of its place.
inline QImage makePicture(int width, int height, const std::function<QRgb(int x, int y)> &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, colour(x, y));
    }
    return image;
}

// Colours that differ from pixel to pixel, so a table shows which pixel went where.
inline QRgb patternColour(int x, int y)
{
    return qRgb((x * 37 + y * 11) & 0xFF, (x * 5 + y * 71) & 0xFF, (x * 97 + y * 23) & 0xFF);
}

// Saves a picture as a BMP file in `dir` and returns its path.
inline QString saveBitmap(const QDir &dir, const QString &name, const QImage &image)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, "BMP"))
        return {};
    return path;
}

} // namespace quenzil::testing
