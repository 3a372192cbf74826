#include "picturesurface.h"

#include "picturepreparation.h"
#include "picturereading.h"

namespace quenzil {

bool PictureSurface::load(const QString &fileName, const Preparation &preparation, QString *error)
{
    PictureSource source;
    return source.readFile(fileName, preparation, error) && show(source, preparation, error);
}

bool PictureSurface::read(QIODevice *device, const Preparation &preparation, QString *error)
{
    PictureSource source;
    return source.read(device, preparation, error) && show(source, preparation, error);
}

bool PictureSurface::take(const QImage &picture, const Preparation &preparation, QString *error)
{
    PictureSource source;
    return source.take(picture, error) && show(source, preparation, error);
}

bool PictureSurface::prepare(const Preparation &preparation, QString *error)
{
    return m_source.isNull() || show(m_source, preparation, error);
}

bool PictureSurface::show(PictureSource &source, const Preparation &preparation, QString *error)
{
    QImage prepared = source.prepared(preparation, error);
    if (prepared.isNull())
        return false;
    // Reduced colours are display colours already; the key's pixels still show as a checkerboard.
    QImage preview;
    if (preparation.changesPicture() &&
        (preparation.reduction == ColourReduction::Bands || preparation.key)) {
        preview = displayPreview(prepared, preparation.key);
        if (preview.isNull()) {
            if (error)
                *error = noMemoryText();
            return false;
        }
    }
    if (&source != &m_source)
        m_source = std::move(source);
    m_prepared = std::move(prepared);
    m_preview = std::move(preview);
    m_pixels = ImagePixels(m_prepared);
    return true;
}

QImage PictureSurface::displayed() const
{
    return m_preview.isNull() ? displayPreview(m_prepared) : m_preview;
}

} // namespace quenzil
