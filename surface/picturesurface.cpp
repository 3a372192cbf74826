#include "picturesurface.h"

#include "picturepreparation.h"
#include "picturereading.h"

namespace quenzil {

bool PictureSurface::load(const QString &fileName, QString *error)
{
    return show(readPicture(fileName, error), m_preparation, error);
}

bool PictureSurface::load(QIODevice *device, QString *error)
{
    return show(readPicture(device, error), m_preparation, error);
}

bool PictureSurface::loadFromData(const QByteArray &data, QString *error)
{
    return show(readPictureData(data, error), m_preparation, error);
}

bool PictureSurface::takePicture(const QImage &picture, QString *error)
{
    return show(quenzil::takePicture(picture, error), m_preparation, error);
}

bool PictureSurface::invert(QString *error)
{
    if (m_picture.isNull())
        return true;
    // A picture held only here is inverted in place. One that someone else holds too (a copy
    // of what the window showed) is copied first; should that fail, the held one is still there.
    const QImage shared = m_picture.isDetached() ? QImage() : m_picture;
    m_picture.invertPixels(QImage::InvertRgb);
    if (m_picture.isNull()) {
        m_picture = shared;
        if (error)
            *error = noMemoryText();
        return false;
    }
    if (show(m_picture, m_preparation, error))
        return true;
    m_picture.invertPixels(QImage::InvertRgb);
    m_pixels = ImagePixels(coded());
    return false;
}

bool PictureSurface::setPreparation(const Preparation &preparation, QString *error)
{
    if (m_picture.isNull()) {
        m_preparation = preparation;
        return true;
    }
    return show(m_picture, preparation, error);
}

const QImage &PictureSurface::image() const
{
    return m_preview.isNull() ? coded() : m_preview;
}

const QImage &PictureSurface::coded() const
{
    return m_prepared.isNull() ? m_picture : m_prepared;
}

bool PictureSurface::show(QImage picture, const Preparation &preparation, QString *error)
{
    // A null picture is a failed read, its reason given already.
    if (picture.isNull())
        return false;
    QImage prepared = prepare(picture, preparation, error);
    if (prepared.isNull())
        return false;
    // Prepared as it is, the picture shares its pixels with the prepared one: held once, and
    // inverted without a copy.
    if (prepared.cacheKey() == picture.cacheKey())
        prepared = QImage();
    const QImage &toCode = prepared.isNull() ? picture : prepared;
    // Reduced colours are display colours already.
    QImage preview;
    if (preparation.changesPicture() && preparation.reduction == ColourReduction::Bands) {
        preview = displayPreview(toCode);
        if (preview.isNull()) {
            if (error)
                *error = noMemoryText();
            return false;
        }
    }
    m_picture = std::move(picture);
    m_prepared = std::move(prepared);
    m_preview = std::move(preview);
    m_preparation = preparation;
    m_pixels = ImagePixels(coded());
    return true;
}

} // namespace quenzil
