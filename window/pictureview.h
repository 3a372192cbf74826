#pragma once

#include <QImage>
#include <QScrollArea>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace quenzil {

// Shows a picture at a zoom of whole steps: each of its pixels a square of zoom x zoom screen
// pixels, drawn from the nearest pixel, so that dithering and banding show as the display has
// them. At Fit (the default) the picture takes the largest step at which it fits the area, and a
// picture larger than the area is scaled down, smoothed, to fit. Scroll bars appear where the
// zoomed picture is larger than the area; it is centred where it is smaller.
class PictureView : public QScrollArea
{
    Q_OBJECT

public:
    // The zoom that fits the picture to the area.
    static constexpr int fit = 0;
    // The steps a user zooms through, 1x to 8x.
    static const std::vector<int> &steps();

    explicit PictureView(QWidget *parent = nullptr);

    // Shows `picture` (32-bit, taken as opaque); a null picture shows nothing.
    void setPicture(const QImage &picture);

    // fit, or one of steps().
    int zoom() const { return m_zoom; }

    // How the settings file keeps a zoom ("fit", "1", "2", ...), and the zoom a kept name gives;
    // nothing for a name that is no zoom.
    static QString zoomName(int zoom);
    static std::optional<int> zoomNamed(QStringView name);

public slots:
    // Shows the picture at `zoom` (fit, or one of steps(); anything else is ignored), keeping
    // the picture's point at the middle of the area where it was.
    void setZoom(int zoom);
    // One step larger or smaller than what is shown; below the smallest step that is no
    // smaller than fitting, Fit.
    void zoomIn();
    void zoomOut();

signals:
    void zoomChanged(int zoom);

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Ctrl and the wheel zoom around the point under the mouse; the wheel alone scrolls.
    void wheelEvent(QWheelEvent *event) override;

private:
    // The screen pixels a picture pixel takes at Fit: a step, or below 1 when scaled down.
    double fittingScale() const;
    // The step next to what is shown, larger (+1) or smaller (-1); fit where there is none.
    int nextZoom(int direction) const;
    // Zooms to `zoom`, keeping the picture's point at `anchor` (in the area) where it was.
    void zoomAround(int zoom, QPoint anchor);
    // Sizes the drawing to the picture at the zoom and the area.
    void layOut();

    class Canvas;
    Canvas *m_canvas = nullptr;
    int m_zoom = fit;
    // The part of a wheel turn not yet zoomed by.
    int m_wheelRest = 0;
};

} // namespace quenzil
