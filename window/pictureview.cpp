#include "pictureview.h"

#include "picturepreparation.h"
#include "picturesurface.h"

#include <QPainter>

namespace quenzil {

PictureView::PictureView(const PictureSurface &surface, QWidget *parent)
    : QFrame(parent), m_surface(surface)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

QRect PictureView::fittedRect(QSize picture, QRect area)
{
    const QSize size = fittedSize(picture, area.size());
    if (size.isEmpty())
        return {};
    return {area.x() + (area.width() - size.width()) / 2,
            area.y() + (area.height() - size.height()) / 2, size.width(), size.height()};
}

void PictureView::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    const QImage &image = m_surface.image();
    const QRect target = fittedRect(image.size(), contentsRect());
    if (target.isEmpty())
        return;

    QPainter painter(this);
    if (target.width() >= image.width()) {
        // Enlarged: each picture pixel becomes a sharp block.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, image);
        return;
    }
    // Shrunk: averaged down once, then drawn as it is on every repaint.
    const qint64 key = image.cacheKey();
    if (key != m_shrunkKey || m_shrunk.size() != target.size()) {
        // The surface's pictures are opaque: read as RGB32 (no copy), they are averaged without
        // the alpha's extra pass, some five times faster for a large picture.
        const QImage opaque = image.format() == QImage::Format_ARGB32
                                  ? QImage(image.constBits(), image.width(), image.height(),
                                           image.bytesPerLine(), QImage::Format_RGB32)
                                  : image;
        m_shrunk = opaque.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_shrunkKey = key;
    }
    painter.drawImage(target.topLeft(), m_shrunk);
}

} // namespace quenzil
