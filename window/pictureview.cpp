#include "pictureview.h"

#include "picturepreparation.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quenzil {

// Draws the picture at a whole zoom, or scaled down to a size, in screen (device) pixels, so
// that a picture pixel is a whole square of them whatever the screen's scaling.
class PictureView::Canvas : public QWidget
{
public:
    using QWidget::QWidget;

    void setPicture(const QImage &picture)
    {
        m_picture = picture;
        // The pictures are opaque: read as RGB32 (no copy), they are drawn and averaged without
        // the alpha's extra pass. The wrapper reads m_picture's pixels, which m_picture keeps.
        m_opaque = picture.format() == QImage::Format_ARGB32
                       ? QImage(picture.constBits(), picture.width(), picture.height(),
                                picture.bytesPerLine(), QImage::Format_RGB32)
                       : picture;
        m_shrunk = QImage();
    }
    QSize pictureSize() const { return m_picture.size(); }

    // Each picture pixel `zoom` x `zoom` screen pixels.
    void showZoomed(int zoom)
    {
        m_zoom = zoom;
        m_shrunk = QImage();
        resizeToScreenPixels(m_picture.size() * zoom);
    }
    // The picture averaged down to `size` screen pixels; made again only for another size or
    // picture.
    void showShrunk(QSize size)
    {
        m_zoom = 0;
        if (m_shrunk.size() != size)
            m_shrunk = m_opaque.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        resizeToScreenPixels(size);
    }
    // Screen pixels a picture pixel takes.
    double scale() const
    {
        if (m_zoom > 0 || m_picture.isNull())
            return m_zoom;
        return double(m_shrunk.width()) / m_picture.width();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (m_picture.isNull())
            return;
        QPainter painter(this);
        const qreal ratio = devicePixelRatioF();
        painter.scale(1 / ratio, 1 / ratio);
        if (m_zoom == 0) {
            painter.drawImage(0, 0, m_shrunk);
            return;
        }
        // Only the picture's pixels under the part to be painted, each enlarged: a picture at
        // 8x is drawn a screenful at a time.
        const QRect exposed =
            QRectF(QPointF(event->rect().topLeft()) * ratio, QSizeF(event->rect().size()) * ratio)
                .toAlignedRect();
        const QRect source = QRect(QPoint(exposed.left() / m_zoom, exposed.top() / m_zoom),
                                   QPoint(exposed.right() / m_zoom, exposed.bottom() / m_zoom))
                                 .intersected(m_opaque.rect());
        if (source.isEmpty())
            return;
        painter.drawImage(QRect(source.topLeft() * m_zoom, source.size() * m_zoom), m_opaque,
                          source);
    }

private:
    void resizeToScreenPixels(QSize pixels)
    {
        const qreal ratio = devicePixelRatioF();
        resize(int(std::ceil(pixels.width() / ratio)), int(std::ceil(pixels.height() / ratio)));
        update();
    }

    QImage m_picture;
    QImage m_opaque;
    QImage m_shrunk;
    int m_zoom = 1; // 0: shrunk
};

const std::vector<int> &PictureView::steps()
{
    static const std::vector<int> zooms = {1, 2, 3, 4, 6, 8};
    return zooms;
}

PictureView::PictureView(QWidget *parent) : QScrollArea(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // Tab passes it by, as it passed the picture before it could zoom; the wheel scrolls it.
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignCenter);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    m_canvas = new Canvas;
    m_canvas->resize(0, 0);
    setWidget(m_canvas);
}

void PictureView::setPicture(const QImage &picture)
{
    m_canvas->setPicture(picture);
    layOut();
}

QString PictureView::zoomName(int zoom)
{
    return zoom == fit ? QStringLiteral("fit") : QString::number(zoom);
}

std::optional<int> PictureView::zoomNamed(QStringView name)
{
    if (name == u"fit")
        return fit;
    for (int step : steps()) {
        if (name == QString::number(step))
            return step;
    }
    return std::nullopt;
}

double PictureView::fittingScale() const
{
    const QSize picture = m_canvas->pictureSize();
    const QSize area = maximumViewportSize() * devicePixelRatioF();
    if (picture.isEmpty() || area.isEmpty())
        return 1;
    if (picture.width() > area.width() || picture.height() > area.height())
        return double(fittedSize(picture, area).width()) / picture.width();
    int largest = 1;
    for (int step : steps()) {
        if (picture.width() * step <= area.width() && picture.height() * step <= area.height())
            largest = step;
    }
    return largest;
}

void PictureView::layOut()
{
    const QSize picture = m_canvas->pictureSize();
    if (m_zoom != fit) {
        m_canvas->showZoomed(m_zoom);
        return;
    }
    const double scale = fittingScale();
    if (scale >= 1 || picture.isEmpty())
        m_canvas->showZoomed(int(scale));
    else
        m_canvas->showShrunk(fittedSize(picture, maximumViewportSize() * devicePixelRatioF()));
}

int PictureView::nextZoom(int direction) const
{
    const double shown = m_zoom == fit ? fittingScale() : m_zoom;
    if (direction > 0) {
        for (int step : steps()) {
            if (step > shown)
                return step;
        }
        return steps().back();
    }
    for (auto step = steps().rbegin(); step != steps().rend(); ++step) {
        if (*step < shown)
            return *step;
    }
    // Below 1x only fitting, which scales a large picture down.
    return fittingScale() < shown ? fit : m_zoom;
}

void PictureView::setZoom(int zoom)
{
    zoomAround(zoom, viewport()->rect().center());
}

void PictureView::zoomIn()
{
    setZoom(nextZoom(+1));
}

void PictureView::zoomOut()
{
    setZoom(nextZoom(-1));
}

void PictureView::zoomAround(int zoom, QPoint anchor)
{
    if (zoom != fit && std::find(steps().begin(), steps().end(), zoom) == steps().end())
        return;
    if (zoom == m_zoom)
        return;
    // The picture's point under the anchor, in picture pixels.
    const double before = m_canvas->scale();
    const QPointF point =
        before > 0 ? QPointF(anchor - m_canvas->pos()) * devicePixelRatioF() / before : QPointF();
    m_zoom = zoom;
    layOut();
    // The scroll bars follow the new size at once; bring the point back under the anchor.
    const QPointF moved = point * m_canvas->scale() / devicePixelRatioF();
    horizontalScrollBar()->setValue(int(std::lround(moved.x())) - anchor.x());
    verticalScrollBar()->setValue(int(std::lround(moved.y())) - anchor.y());
    emit zoomChanged(m_zoom);
}

void PictureView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (m_zoom == fit)
        layOut();
}

void PictureView::wheelEvent(QWheelEvent *event)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier)) {
        QScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    // A notch is 120; a fine wheel or a touchpad sends parts of one.
    m_wheelRest += event->angleDelta().y();
    // The area hands its wheel events on as they came, in its own coordinates.
    const QPoint anchor = event->position().toPoint();
    for (; m_wheelRest >= 120; m_wheelRest -= 120)
        zoomAround(nextZoom(+1), anchor);
    for (; m_wheelRest <= -120; m_wheelRest += 120)
        zoomAround(nextZoom(-1), anchor);
}

} // namespace quenzil
