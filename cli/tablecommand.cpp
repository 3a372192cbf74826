#include "tablecommand.h"

#include "commandline.h"
#include "imagepixels.h"
#include "interruption.h"
#include "picturepreparation.h"
#include "picturereading.h"
#include "streamtableoutput.h"
#include "tablebuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#ifdef __linux__
#include <fcntl.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quenzil {

namespace {

// A file device whose every write first asks whether a stopping signal came: then it fails, and
// the writer (the table's sink, the PNG writer) stops at once.
template <class File> class Interruptible : public File
{
public:
    using File::File;

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        if (interruption() != 0) {
            this->setErrorString(QStringLiteral("Interrupted"));
            return -1;
        }
        return File::writeData(data, size);
    }
};

// Where the table or the preview goes. A new or regular file is written through QSaveFile, so it
// appears only complete, keeps an existing file's permissions and is written through a link to
// its target; until commit() a temporary file beside it holds the text and is removed when this
// goes uncommitted. An existing file that is not regular (a device, a pipe) is written directly,
// as is standard output.
class OutputFile
{
public:
    // An empty name opens `standardOutput`.
    bool open(const std::string &name, std::FILE *standardOutput, std::string &error)
    {
        if (name.empty()) {
            m_direct = std::make_unique<Interruptible<QFile>>();
            return m_direct->open(standardOutput, QIODevice::WriteOnly,
                                  QFileDevice::DontCloseHandle) ||
                   failed(*m_direct, error);
        }
        const QString fileName = QFile::decodeName(QByteArray::fromStdString(name));
        const QFileInfo info(fileName);
        if (info.isDir()) {
            error = std::strerror(EISDIR);
            return false;
        }
        if (info.exists() && !info.isFile()) {
            m_direct = std::make_unique<Interruptible<QFile>>(fileName);
            return m_direct->open(QIODevice::WriteOnly) || failed(*m_direct, error);
        }
        m_saved = std::make_unique<Interruptible<QSaveFile>>(fileName);
        return m_saved->open(QIODevice::WriteOnly) || failed(*m_saved, error);
    }

    QIODevice &device() { return m_saved ? static_cast<QIODevice &>(*m_saved) : *m_direct; }

    bool write(std::string_view data, std::string &error)
    {
        if (device().write(data.data(), qint64(data.size())) != qint64(data.size()))
            return failed(device(), error);
#ifdef __linux__
        // QSaveFile waits at commit until the whole file is on the disk. Asking the system to
        // start writing what is there already lets that overlap with building the rest; Linux
        // alone has the call, elsewhere the commit waits for all of it.
        if (m_saved && m_saved->handle() >= 0)
            ::sync_file_range(m_saved->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
        return true;
    }

    // Hands on what is buffered, so a device or a full disk refuses the data now, before any
    // other file is committed.
    bool flush(std::string &error)
    {
        QFileDevice &file = m_saved ? static_cast<QFileDevice &>(*m_saved) : *m_direct;
        return (file.flush() && file.error() == QFileDevice::NoError) || failed(file, error);
    }

    // Gives a saved file its name, or flushes a direct one.
    bool commit(std::string &error)
    {
        if (m_saved)
            return m_saved->commit() || failed(*m_saved, error);
        return (m_direct->flush() && m_direct->error() == QFileDevice::NoError) ||
               failed(*m_direct, error);
    }

private:
    static bool failed(const QIODevice &device, std::string &error)
    {
        error = device.errorString().toStdString();
        return false;
    }

    std::unique_ptr<Interruptible<QSaveFile>> m_saved;
    std::unique_ptr<Interruptible<QFile>> m_direct;
};

void report(std::FILE *errors, const std::string &what, const std::string &reason)
{
    std::fprintf(errors, "%s: %s: %s\n", tableCommandName.data(), what.c_str(), reason.c_str());
    std::fflush(errors);
}

std::string quotedName(const std::string &name)
{
    return "'" + readableName(name) + "'";
}

// Reads the picture by the bytes of its name as given, through the standard library: Qt would
// turn the name into Unicode text first, and a name that is not valid UTF-8 does not survive
// that. The opened file is an ordinary QFile to the reader, so it gets every check a file gets.
QImage readPictureNamed(const std::string &name, const Preparation &preparation,
                        std::string &reason)
{
    QFile file;
    QString text;
    QImage picture;
    if (name == standardInputName) {
        if (file.open(stdin, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            picture = readPicture(&file, &text, preparation);
    } else {
        std::error_code ignored;
        if (std::filesystem::is_directory(std::filesystem::path(name), ignored)) {
            reason = std::strerror(EISDIR);
            return {};
        }
        const std::unique_ptr<std::FILE, int (*)(std::FILE *)> stream(
            std::fopen(name.c_str(), "rb"), &std::fclose);
        if (!stream) {
            reason = std::strerror(errno);
            return {};
        }
        if (file.open(stream.get(), QIODevice::ReadOnly))
            picture = readPicture(&file, &text, preparation);
    }
    if (picture.isNull())
        reason = (text.isEmpty() ? file.errorString() : text).toStdString();
    return picture;
}

// Reads a picture and makes it what its table codes: inverted and prepared as asked. On failure
// returns a null image, `failure` is the message's first part ("cannot load 'NAME'", "cannot
// prepare 'NAME'") and `reason` says why.
QImage pictureForTable(const std::string &name, const TableOptions &options, std::string &failure,
                       std::string &reason)
{
    Preparation preparation = options.prepare.preparation;
    preparation.invert = options.invert;
    QImage picture = readPictureNamed(name, preparation, reason);
    if (picture.isNull()) {
        failure = "cannot load " + quotedName(name);
        return picture;
    }
    QString text;
    QImage prepared = prepare(std::move(picture), preparation, &text);
    if (prepared.isNull()) {
        failure = "cannot prepare " + quotedName(name);
        reason = text.toStdString();
    }
    return prepared;
}

// Pictures loaded in the check before writing stay loaded while they hold no more pixels than
// this in all (the first picture is always kept); the others are loaded again when written.
constexpr qint64 keptPixelBudget = qint64(16) << 20;

// Several tables into one output, one after another, each starting on a line of its own; counts
// the characters of the table being written.
class TableSequence
{
public:
    explicit TableSequence(StreamTableOutput &output) : m_output(output) {}

    void setText(std::string_view text)
    {
        if (m_tables++ == 0) {
            m_output.setText(text);
        } else {
            m_output.append(basicDialect.lineBreak);
            m_output.append(text);
        }
        m_length = text.size();
    }
    QUENZIL_FORCE_INLINE void append(std::string_view piece)
    {
        m_output.append(piece);
        m_length += piece.size();
    }
    std::size_t tableLength() const { return m_length; }

private:
    StreamTableOutput &m_output;
    std::size_t m_tables = 0;
    std::size_t m_length = 0;
};

// What --stats tells of one table.
struct TableFigures
{
    std::string label;
    int width;
    int height;
    std::uint64_t items; // codes, or run-length pairs
    std::size_t characters;
    std::uint64_t dataLines;
};

void reportFigures(std::FILE *errors, const std::vector<TableFigures> &figures, bool runLength)
{
    for (const TableFigures &table : figures)
        std::fprintf(errors, "%s: %d x %d, %lld pixels, %llu %s, %zu characters, %llu Data lines\n",
                     table.label.c_str(), table.width, table.height,
                     static_cast<long long>(table.width) * table.height,
                     static_cast<unsigned long long>(table.items),
                     runLength ? "pairs" : "data bytes", table.characters,
                     static_cast<unsigned long long>(table.dataLines));
    std::fflush(errors);
}

bool writePreview(const QImage &picture, OutputFile &file, std::string &error)
{
    const QImage preview = displayPreview(picture);
    if (preview.isNull()) {
        error = noMemoryText().toStdString();
        return false;
    }
    QImageWriter writer(&file.device(), "png");
    if (!writer.write(preview)) {
        error = file.device().errorString().toStdString();
        if (error.empty() || error == "Unknown error")
            error = writer.errorString().toStdString();
        return false;
    }
    return file.flush(error);
}

} // namespace

int runTableCommand(const TableOptions &options, std::FILE *standardOutput, std::FILE *errors)
{
    const std::vector<std::string> &names = options.pictures;
    const std::vector<std::string> labels = tableLabels(names, options.shape.format);
    noteLongLines(options.shape.format, errors);

    // Every picture is loaded before anything is written: if one cannot be, each failing name
    // is reported and nothing is written. Pictures are kept loaded up to a budget; the others
    // are loaded again when their table is due.
    std::vector<QImage> pictures(names.size());
    std::string failure;
    std::string error;
    bool allLoaded = true;
    qint64 keptPixels = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        pictures[i] = pictureForTable(names[i], options, failure, error);
        if (pictures[i].isNull()) {
            report(errors, failure, error);
            allLoaded = false;
            continue;
        }
        const qint64 pixels = qint64(pictures[i].width()) * pictures[i].height();
        if (names[i] != standardInputName && i > 0 && keptPixels + pixels > keptPixelBudget)
            pictures[i] = QImage();
        else
            keptPixels += pixels;
    }
    if (!allLoaded)
        return 1;

    // From the first temporary file to the last commit a stopping signal only stops the writing;
    // the output files go first, so their temporary files are removed while it still does.
    // Without files (the table to standard output alone) a signal ends the program at once, as
    // usual, even while it waits for a pipe's reader.
    std::optional<InterruptionGuard> guard;
    if (!options.output.empty() || !options.preview.empty())
        guard.emplace();
    const auto failed = [&](const std::string &what) {
        if (const int signal = interruption())
            return 128 + signal;
        report(errors, "cannot write " + what, error);
        return 1;
    };

    OutputFile preview;
    if (!options.preview.empty() && (!preview.open(options.preview, standardOutput, error) ||
                                     !writePreview(pictures.front(), preview, error)))
        return failed(quotedName(options.preview));

    const std::string tableName =
        options.output.empty() ? std::string("the table") : quotedName(options.output);
    OutputFile table;
    if (!table.open(options.output, standardOutput, error))
        return failed(tableName);
    std::vector<TableFigures> figures;
    {
        StreamTableOutput output([&](std::string_view chunk) { return table.write(chunk, error); });
        TableSequence sequence(output);
        for (std::size_t i = 0; i < names.size() && interruption() == 0; ++i) {
            if (pictures[i].isNull()) {
                std::string loadError;
                pictures[i] = pictureForTable(names[i], options, failure, loadError);
                if (pictures[i].isNull()) {
                    // It changed since the check. Nothing more is written, and the -o file
                    // is not given its name.
                    report(errors, failure, loadError);
                    return 1;
                }
            }
            ImagePixels pixels(pictures[i]);
            TableFormat format = options.shape.format;
            format.label = labels[i];
            ProgressCounter progress;
            NoEventPump pump;
            TableBuilder builder(pixels, sequence, progress, pump, format);
            builder.run();
            figures.push_back({labels[i], pictures[i].width(), pictures[i].height(),
                               builder.items(), sequence.tableLength(), builder.dataLines()});
            if (i > 0)
                pictures[i] = QImage();
        }
        if (!output.finish() || interruption() != 0 || !table.commit(error))
            return failed(tableName);
    }
    if (!options.preview.empty() && !preview.commit(error))
        return failed(quotedName(options.preview));
    if (options.shape.stats)
        reportFigures(errors, figures, options.shape.format.runLength);
    // A signal during the commits came too late to stop anything, but it still asked to stop.
    return interruption() != 0 ? 128 + interruption() : 0;
}

} // namespace quenzil
