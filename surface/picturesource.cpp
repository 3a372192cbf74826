#include "picturesource.h"

#include "namedfile.h"
#include "picturepreparation.h"
#include "picturereading.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quenzil {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// While it lives, what the picture libraries write to standard error on their own goes nowhere:
// libpng prints "libpng error: ..." past Qt's message handler before the reader fails, naming no
// picture. The libraries write to the descriptor directly, so the descriptor itself is pointed
// at the null device for the while; Windows spells the same POSIX calls with an underscore.
class LibraryChatterMuted
{
public:
    LibraryChatterMuted()
    {
        std::fflush(stderr);
#ifdef _WIN32
        const int null = _open("NUL", _O_WRONLY);
        m_saved = null >= 0 ? _dup(2) : -1;
        if (m_saved >= 0)
            _dup2(null, 2);
        if (null >= 0)
            _close(null);
#else
        const int null = ::open("/dev/null", O_WRONLY);
        m_saved = null >= 0 ? ::dup(2) : -1;
        if (m_saved >= 0)
            ::dup2(null, 2);
        if (null >= 0)
            ::close(null);
#endif
    }
    ~LibraryChatterMuted()
    {
        if (m_saved < 0)
            return;
#ifdef _WIN32
        _dup2(m_saved, 2);
        _close(m_saved);
#else
        ::dup2(m_saved, 2);
        ::close(m_saved);
#endif
    }
    LibraryChatterMuted(const LibraryChatterMuted &) = delete;
    LibraryChatterMuted &operator=(const LibraryChatterMuted &) = delete;

private:
    int m_saved = -1;
};

QImage quietlyRead(QIODevice *device, QString *error, const Preparation &preparation,
                   QByteArray *keptBytes = nullptr)
{
    const LibraryChatterMuted muted;
    return readPicture(device, error, preparation, keptBytes);
}

} // namespace

bool PictureSource::read(QIODevice *device, const Preparation &preparation, QString *error)
{
    QByteArray bytes;
    QImage picture = quietlyRead(device, error, preparation, &bytes);
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

bool PictureSource::readNamed(const std::string &name, const Preparation &preparation,
                              QString *error)
{
    NamedFile named;
    if (const QString reason = named.open(name); !reason.isEmpty())
        return fail(error, reason);
    return read(&named.file(), preparation, error);
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
    QImage picture = quietlyRead(&bytes, error, preparation);
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
