#pragma once

#include <QFrame>
#include <QImage>
#include <QRect>
#include <QSize>

namespace quenzil {

class PictureSurface;

// Shows a picture surface's buffer fitted into the view with its aspect kept: sharp pixels when
// enlarged, smoothed when shrunk. It only draws; call update() after the buffer has changed.
class PictureView : public QFrame
{
    Q_OBJECT

public:
    explicit PictureView(const PictureSurface &surface, QWidget *parent = nullptr);

    // Where a picture of `picture` size goes in `area`: as large as fits, aspect kept, centred,
    // at least one pixel each way. Empty for an empty picture or area.
    static QRect fittedRect(QSize picture, QRect area);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const PictureSurface &m_surface;
    // The last shrunk copy, made again only when the buffer or the target size changes.
    QImage m_shrunk;
    qint64 m_shrunkKey = 0;
};

} // namespace quenzil
