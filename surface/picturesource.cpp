#include "picturesource.h"

#include "picturepreparation.h"
#include "picturereading.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace quenzil {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool PictureSource::read(QIODevice *device, const Preparation &preparation, QString *error)
{
    QByteArray bytes;
    QImage picture = readPicture(device, error, preparation, &bytes);
    if (picture.isNull())
        return false;
    m_bytes = std::move(bytes);
    m_read = std::move(picture);
    return true;
}

bool PictureSource::readFile(const QString &fileName, const Preparation &preparation,
                             QString *error)
{
    // Only a regular file is opened: opening a FIFO would wait for a writer, and a device may
    // never end.
    if (const QFileInfo info(fileName); info.exists() && !info.isFile())
        return fail(error, info.isDir() ? QStringLiteral("Is a directory")
                                        : QStringLiteral("Is not a regular file"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    return read(&file, preparation, error);
}

bool PictureSource::take(const QImage &picture, QString *error)
{
    QImage taken = takePicture(picture, error);
    if (taken.isNull())
        return false;
    m_bytes.clear();
    m_read = std::move(taken);
    return true;
}

bool PictureSource::readFor(const Preparation &preparation, QString *error)
{
    if (m_bytes.isEmpty())
        return true;
    QBuffer bytes(&m_bytes);
    bytes.open(QIODevice::ReadOnly);
    if (pictureReadSize(&bytes, preparation) == m_read.size())
        return true;
    bytes.seek(0);
    QImage picture = readPicture(&bytes, error, preparation);
    if (picture.isNull())
        return false;
    m_read = std::move(picture);
    return true;
}

QImage PictureSource::prepared(const Preparation &preparation, QString *error)
{
    if (m_read.isNull()) {
        fail(error, QStringLiteral("There is no picture"));
        return {};
    }
    // A read for another preparation is kept only once that preparation has succeeded.
    const QImage before = m_read;
    if (!readFor(preparation, error))
        return {};
    QImage picture = prepare(m_read, preparation, error);
    if (picture.isNull())
        m_read = before;
    return picture;
}

QImage PictureSource::takePrepared(const Preparation &preparation, QString *error)
{
    if (m_read.isNull() || !readFor(preparation, error)) {
        if (m_read.isNull())
            fail(error, QStringLiteral("There is no picture"));
        return {};
    }
    QImage picture = std::move(m_read);
    m_read = QImage();
    m_bytes.clear();
    return prepare(std::move(picture), preparation, error);
}

} // namespace quenzil
