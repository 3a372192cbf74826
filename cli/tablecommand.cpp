#include "tablecommand.h"

#include "commandline.h"
#include "displaycolour.h"
#include "picturesurface.h"
#include "streamtableoutput.h"
#include "tablebuilder.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenzil {

namespace {

std::string systemError(int error)
{
    return std::strerror(error);
}

// Writes all of `data` to a file descriptor, through short writes and interruptions.
bool writeAll(int fd, std::string_view data, int &error)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        data.remove_prefix(std::size_t(written));
    }
    return true;
}

// An output file that only appears under its name once it is complete: it is written to a
// temporary file in the same folder and renamed at the end, or removed when something fails.
// A target that exists and is not a regular file (a device, a pipe) is written to directly.
class PendingFile
{
public:
    explicit PendingFile(std::string target) : m_target(std::move(target)) {}
    ~PendingFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_temporary.empty())
            ::unlink(m_temporary.c_str());
    }
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    bool open(std::string &error)
    {
        struct stat info
        {
        };
        if (::stat(m_target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            if (S_ISDIR(info.st_mode))
                return fail(EISDIR, error);
            m_fd = ::open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            return m_fd >= 0 || fail(errno, error);
        }
        // Write through a symbolic link to the file it names.
        std::string destination = m_target;
        if (char *resolved = ::realpath(m_target.c_str(), nullptr)) {
            destination = resolved;
            std::free(resolved);
        }
        const std::size_t slash = destination.rfind('/');
        const std::string folder =
            slash == std::string::npos ? "" : destination.substr(0, slash + 1);
        const std::string name =
            slash == std::string::npos ? destination : destination.substr(slash + 1);
        std::string pattern = folder + "." + name + ".XXXXXX";
        m_fd = ::mkstemp(pattern.data());
        if (m_fd < 0)
            return fail(errno, error);
        m_temporary = pattern;
        m_destination = destination;
        return true;
    }

    int fd() const { return m_fd; }

    // Closes the file and gives it its name. The file gets the usual rights of a new file.
    bool commit(std::string &error)
    {
        if (!m_temporary.empty()) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (::fchmod(m_fd, 0666 & ~mask) != 0)
                return fail(errno, error);
        }
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            return fail(errno, error);
        if (m_temporary.empty())
            return true;
        if (::rename(m_temporary.c_str(), m_destination.c_str()) != 0)
            return fail(errno, error);
        m_temporary.clear();
        return true;
    }

private:
    static bool fail(int code, std::string &error)
    {
        error = systemError(code);
        return false;
    }

    std::string m_target;
    std::string m_destination;
    std::string m_temporary;
    int m_fd = -1;
};

void report(std::FILE *errors, const std::string &what, const std::string &reason)
{
    std::fprintf(errors, "%s: %s: %s\n", tableCommandName.data(), what.c_str(), reason.c_str());
    std::fflush(errors);
}

std::string quoted(const std::string &name)
{
    return "'" + name + "'";
}

bool writePreview(const PictureSurface &surface, PendingFile &file, std::string &error)
{
    QFile device;
    if (!device.open(file.fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        error = device.errorString().toStdString();
        return false;
    }
    QImageWriter writer(&device, "png");
    if (!writer.write(displayPreview(surface))) {
        error = writer.errorString().toStdString();
        return false;
    }
    if (!device.flush() || device.error() != QFileDevice::NoError) {
        error = device.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace

QImage displayPreview(const PictureSurface &surface)
{
    const int width = int(surface.width());
    const int height = int(surface.height());
    if (width <= 0 || height <= 0)
        return {};
    std::array<QRgb, 256> colours{};
    for (unsigned code = 0; code < 256; ++code) {
        const ColourValue colour = displayColour(std::uint8_t(code));
        colours[code] =
            qRgb(int(colour & 0xFFu), int(colour >> 8 & 0xFFu), int(colour >> 16 & 0xFFu));
    }
    QImage preview(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(preview.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = colours[PixelCode::code(surface.colourAt(x, y))];
    }
    return preview;
}

int runTableCommand(const TableOptions &options, int standardOutput, std::FILE *errors)
{
    PictureSurface surface;
    QString reason;
    if (!surface.load(QFile::decodeName(options.picture.c_str()), &reason)) {
        report(errors, "cannot load " + quoted(options.picture), reason.toStdString());
        return 1;
    }
    if (options.invert)
        surface.invert();

    std::string error;
    PendingFile preview(options.preview);
    if (!options.preview.empty()) {
        if (!preview.open(error) || !writePreview(surface, preview, error)) {
            report(errors, "cannot write " + quoted(options.preview), error);
            return 1;
        }
    }

    PendingFile tableFile(options.output);
    int fd = standardOutput;
    if (!options.output.empty()) {
        if (!tableFile.open(error)) {
            report(errors, "cannot write " + quoted(options.output), error);
            return 1;
        }
        fd = tableFile.fd();
    }
    int writeError = 0;
    StreamTableOutput output(
        [fd, &writeError](std::string_view chunk) { return writeAll(fd, chunk, writeError); });
    ProgressCounter progress;
    NoEventPump pump;
    TableBuilder(surface, output, progress, pump).run();
    const std::string tableName =
        options.output.empty() ? std::string("the table") : quoted(options.output);
    if (!output.finish()) {
        report(errors, "cannot write " + tableName, systemError(writeError));
        return 1;
    }

    if (!options.output.empty() && !tableFile.commit(error)) {
        report(errors, "cannot write " + tableName, error);
        return 1;
    }
    if (!options.preview.empty() && !preview.commit(error)) {
        report(errors, "cannot write " + quoted(options.preview), error);
        return 1;
    }
    return 0;
}

} // namespace quenzil
