#include "picturesource.h"

#include "picturepreparation.h"
#include "picturereading.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h> // open: the name's bytes as they are
#include <sys/stat.h>
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

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString openPictureFile(QFile &file, const QByteArray &name, PictureFiles files)
{
    const QString notRegular = QStringLiteral("Is not a regular file");
    if (name.isEmpty())
        return systemReason(ENOENT);
#ifdef Q_OS_WIN
    // The system takes names as UTF-16, which Qt makes of the UTF-8.
    file.setFileName(QString::fromUtf8(name));
    if (const QFileInfo info(file.fileName()); info.isDir())
        return systemReason(EISDIR);
    else if (files == PictureFiles::RegularOnly && info.exists() && !info.isFile())
        return notRegular;
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return {};
#else
    // The name as given: Qt would make text of it first, and a name that is not valid UTF-8 does
    // not survive that. Opening without waiting lets a FIFO be told from a regular file before
    // anything waits on it; a regular file reads the same either way.
    const bool regularOnly = files == PictureFiles::RegularOnly;
    const int descriptor =
        ::open(name.constData(), O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
    if (descriptor < 0)
        return systemReason(errno);
    const auto refuse = [descriptor](const QString &reason) {
        ::close(descriptor);
        return reason;
    };
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0)
        return refuse(systemReason(errno));
    if (S_ISDIR(status.st_mode))
        return refuse(systemReason(EISDIR));
    if (regularOnly && !S_ISREG(status.st_mode))
        return refuse(notRegular);
    if (regularOnly)
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return refuse(file.errorString());
    return {};
#endif
}

QByteArray systemFileName(const QString &fileName)
{
#ifdef Q_OS_WIN
    return fileName.toUtf8();
#else
    return QFile::encodeName(fileName);
#endif
}

QString fileNameText(const QByteArray &name)
{
#ifdef Q_OS_WIN
    return QString::fromUtf8(name);
#else
    return QFile::decodeName(name);
#endif
}

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
    QFile file;
    if (const QString reason =
            openPictureFile(file, systemFileName(fileName), PictureFiles::RegularOnly);
        !reason.isEmpty())
        return fail(error, reason);
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
