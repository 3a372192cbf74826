#include "tablecommand.h"

#include "commandline.h"
#include "imagepixels.h"
#include "picturepreparation.h"
#include "picturereading.h"
#include "picturesource.h"
#include "streamtableoutput.h"
#include "tablebuilder.h"
#include "tabledecoder.h"
#include "tabledialect.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace quenzil {

namespace {

// The descriptor of a C stream: Windows spells the POSIX call with an underscore.
int descriptorOf(std::FILE *stream)
{
#ifdef _WIN32
    return _fileno(stream);
#else
    return fileno(stream);
#endif
}

void report(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", tableCommandName.data(), message.c_str());
    std::fflush(stderr);
}

// Where the table or the preview goes. A new or regular file is written through QSaveFile, so it
// appears only complete, keeps an existing file's permissions and is written through a link to
// its target; until finish() the text is in a temporary file, on Linux one without a name. An
// existing file that is not regular (a device, a pipe) is written directly, as is standard
// output. Writes go straight to the system (the text comes in large chunks anyway), so a failed
// one has the system's reason. Every failure is reported as "cannot write NAME: REASON".
class Output
{
public:
    // `name` is what messages call the output.
    explicit Output(std::string name) : m_name(std::move(name)) {}

    // Opens the file `path`; an empty path is standard output.
    bool open(const std::string &path)
    {
        if (path.empty())
            return openDescriptor(descriptorOf(stdout), QIODevice::WriteOnly);
        const QString fileName = QString::fromUtf8(path.data(), qsizetype(path.size()));
        const QFileInfo info(fileName);
        if (info.isDir())
            return fail(std::strerror(EISDIR));
        if (info.exists() && !info.isFile())
            m_file = std::make_unique<QFile>(fileName);
        else
            m_file = std::make_unique<QSaveFile>(fileName);
        return m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered) || failed();
    }

    // An unnamed temporary file (glibc unlinks it at once, Windows when it is closed), for tables
    // that go to standard output only once all of them were made.
    bool openTemporary()
    {
        m_temporary.reset(std::tmpfile());
        return m_temporary ? openDescriptor(descriptorOf(m_temporary.get()), QIODevice::ReadWrite)
                           : fail(std::strerror(errno));
    }

    bool write(std::string_view data)
    {
        // A short write is tried again for the rest: the system tells its reason only then.
        while (!data.empty()) {
            const qint64 written = m_file->write(data.data(), qint64(data.size()));
            if (written <= 0)
                return failed();
            data.remove_prefix(std::size_t(written));
        }
        return true;
    }

    // Copies all that was written into `target`.
    bool copyTo(Output &target)
    {
        if (!m_file->seek(0))
            return failed();
        while (!m_file->atEnd()) {
            const QByteArray piece = m_file->read(qint64(StreamTableOutput::defaultChunkSize));
            if (piece.isEmpty())
                return failed();
            if (!target.write({piece.constData(), std::size_t(piece.size())}))
                return false;
        }
        return true;
    }

    // Gives a saved file its name; a direct one has taken everything already.
    bool finish()
    {
        auto *saved = qobject_cast<QSaveFile *>(m_file.get());
        return !saved || saved->commit() || failed();
    }

    bool fail(const std::string &reason)
    {
        report("cannot write " + m_name + ": " + reason);
        return false;
    }

private:
    bool failed() { return fail(m_file->errorString().toStdString()); }

    bool openDescriptor(int descriptor, QIODevice::OpenMode mode)
    {
        auto file = std::make_unique<QFile>();
        const bool opened =
            file->open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
        m_file = std::move(file);
        return opened || failed();
    }

    std::string m_name;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> m_temporary{nullptr, &std::fclose};
    std::unique_ptr<QFileDevice> m_file;
};

// Opens a picture or a table by its name as the system has it (see openPictureFile()), or
// standard input for "-". Returns why it cannot be opened, or nothing.
std::string openInput(QFile &file, const std::string &name)
{
    if (name == standardStreamName) {
        file.open(stdin, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
        return {};
    }
    return openPictureFile(file, QByteArray(name.data(), qsizetype(name.size())), PictureFiles::Any)
        .toStdString();
}

// Reads a picture and prepares it as the settings ask. On failure returns a null picture and
// sets `error` to the message.
QImage readPrepared(const std::string &name, const Preparation &preparation, std::string &error)
{
    QFile file;
    QString reason;
    PictureSource source;
    if (error = openInput(file, name); error.empty() && !source.read(&file, preparation, &reason))
        error = (reason.isEmpty() ? file.errorString() : reason).toStdString();
    if (source.isNull()) {
        error = "cannot load " + quotedText(name) + ": " + error;
        return {};
    }
    QImage picture = source.takePrepared(preparation, &reason);
    error = "cannot prepare " + quotedText(name) + ": " + reason.toStdString();
    return picture;
}

// A preview as PNG (see previewPicture()), made in memory: a write that fails is then ours to report,
// with the system's reason, and the PNG library has nothing to complain about on its own.
bool writePreview(const QImage &preview, Output &output)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(preview))
        return output.fail(noMemoryText().toStdString());
    return output.write({png.constData(), std::size_t(png.size())});
}

// Keeps nothing: for a table whose length alone counts.
struct NoOutput
{
    void setText(std::string_view) {}
    void append(std::string_view) {}
};

// What the builder tells of a table it made, for --stats and the run-length note.
struct TableFigures
{
    std::uint64_t items; // codes, or run-length pairs
    std::uint64_t dataLines;
    std::uint64_t characters;
};

template <typename Output>
TableFigures buildTable(const ImagePixels &pixels, const TableFormat &format, Output &&output)
{
    NoProgress progress;
    NoEventPump pump;
    TableBuilder builder(pixels, output, progress, pump, format);
    builder.run();
    return {builder.items(), builder.dataLines(), builder.characters()};
}

// Many BASICs read lines of at most this many characters (bwbasic drops a longer line without a
// word), so a format whose Data lines may be longer gets a note.
constexpr std::size_t commonLineLimit = 255;

// Reads the table TABLE back and writes the picture it holds as --preview would have shown it.
int runDecodeCommand(const CommandOptions &options)
{
    const std::string &name = options.pictures.front();
    QFile file;
    if (const std::string error = openInput(file, name); !error.empty()) {
        report("cannot read " + quotedText(name) + ": " + error);
        return 1;
    }
    // A chunk at a time, so that memory holds the codes and not the text as well.
    TableDecoder decoder(options.table.format, options.width, std::uint64_t(pixelLimit()));
    QByteArray chunk(qsizetype(StreamTableOutput::defaultChunkSize), Qt::Uninitialized);
    for (bool more = true; more;) {
        const qint64 read = file.read(chunk.data(), chunk.size());
        if (read < 0) {
            report("cannot read " + quotedText(name) + ": " + file.errorString().toStdString());
            return 1;
        }
        more = read > 0 && decoder.read({chunk.constData(), std::size_t(read)});
    }
    DecodedTable table = decoder.finish();
    if (!table.error.empty()) {
        report("cannot decode " + quotedText(name) + ": " + table.error);
        return 1;
    }
    // The decoder holds the size to the pixel limit, so each side fits an int.
    QImage picture = codedPicture(int(table.width), int(table.height), table.codes);
    table.codes = {};
    Output output(options.output.empty() ? "the picture" : quotedText(options.output));
    if (!picture.isNull())
        picture = previewPicture(picture, options.table.preparation.key);
    if (picture.isNull()) {
        output.fail(noMemoryText().toStdString());
        return 1;
    }
    if (!output.open(options.output) || !writePreview(picture, output) || !output.finish())
        return 1;
    return 0;
}

// A single table takes the format's label; among several each is labelled from its file name.
std::vector<std::string> tableLabels(const CommandOptions &options)
{
    if (options.pictures.size() == 1)
        return {options.table.format.label};
    LabelRegistry registry;
    std::vector<std::string> labels;
    for (const std::string &name : options.pictures) {
        const std::string stem = std::filesystem::path(name).filename().stem().string();
        labels.push_back(
            registry.claim(name == standardStreamName ? TableFormat{}.label : labelFromName(stem)));
    }
    return labels;
}

} // namespace

int runTableCommand(const CommandOptions &options)
{
    if (options.decode)
        return runDecodeCommand(options);
    const std::vector<std::string> &names = options.pictures;
    const std::vector<std::string> labels = tableLabels(options);
    const TableDialect &dialect = *options.table.format.dialect;
    if (const std::size_t longest = longestDataLine(options.table.format);
        longest > commonLineLimit)
        report("note: a Data line may hold up to " + std::to_string(longest) +
               " characters; many BASICs read at most " + std::to_string(commonLineLimit) +
               " (--max-line " + std::to_string(commonLineLimit) + " keeps lines shorter)");
    for (const std::string &label : labels) {
        if (dialect.isKeyword(label))
            report("note: the label " + quotedText(label) + " is a keyword of " +
                   std::string(dialect.basics) + ": its line " +
                   quotedText(std::string(dialect.labelStart) + label +
                              std::string(dialect.labelEnd)) +
                   " may read as that command; choose another label");
    }

    // One picture at a time: read and prepared, then its table written. Several tables for
    // standard output wait in a temporary file until all were made; an -o file gets its name only
    // then. After a picture fails the others are still read, so that each failure is reported,
    // but nothing more is written.
    const bool held = names.size() > 1 && options.output.empty();
    Output table(options.output.empty() ? "the table" : quotedText(options.output));
    Output preview(options.preview == standardStreamName ? "the preview"
                                                         : quotedText(options.preview));
    std::vector<std::string> stats;
    std::size_t failures = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string error;
        const QImage picture = readPrepared(names[i], options.table.preparation, error);
        if (picture.isNull()) {
            report(error);
            ++failures;
            continue;
        }
        // Where the picture's size does not fit the format (its line numbers would run out).
        if (error = tableSizeError(options.table.format, std::uint64_t(picture.width()),
                                   std::uint64_t(picture.height()));
            !error.empty()) {
            report("cannot write the table of " + quotedText(names[i]) + ": " + error);
            ++failures;
            continue;
        }
        if (failures > 0)
            continue;
        if (i == 0 && !(held ? table.openTemporary() : table.open(options.output)))
            return 1;
        if (i == 0 && !options.preview.empty() &&
            !(preview.open(options.preview == standardStreamName ? "" : options.preview) &&
              writePreview(previewPicture(picture, options.table.preparation.key), preview)))
            return 1;
        if (i > 0 && !table.write(options.table.format.dialect->lineBreak))
            return 1;
        TableFormat format = options.table.format;
        format.label = labels[i];
        const ImagePixels pixels(picture);
        StreamTableOutput text([&](std::string_view chunk) { return table.write(chunk); });
        const TableFigures figures = buildTable(pixels, format, text);
        if (!text.finish())
            return 1;
        const auto count = [](auto number) { return std::to_string(number); };
        stats.push_back(
            format.label + ": " + count(picture.width()) + " x " + count(picture.height()) + ", " +
            count(qint64(picture.width()) * picture.height()) + " pixels, " + count(figures.items) +
            (format.runLength ? " pairs, " : " data bytes, ") + count(figures.characters) +
            " characters, " + count(figures.dataLines) + " Data lines");
        // Run-length pairs pay off only where runs are long: a dithered picture's pairs may take
        // more room than its plain codes.
        format.runLength = false;
        if (const std::uint64_t plain = options.table.format.runLength
                                            ? buildTable(pixels, format, NoOutput()).characters
                                            : figures.characters;
            plain < figures.characters)
            report("note: the --rle table of " + quotedText(names[i]) + " has " +
                   count(figures.characters) + " characters, more than the " + count(plain) +
                   " of the table without --rle");
    }
    if (failures > 0) {
        if (names.size() > 1)
            report(std::to_string(failures) + " of " + std::to_string(names.size()) +
                   " pictures failed; nothing was written");
        return 1;
    }
    Output standardOutput("the table");
    if (held && !(standardOutput.open({}) && table.copyTo(standardOutput)))
        return 1;
    if (!table.finish() || (!options.preview.empty() && !preview.finish()))
        return 1;
    for (const std::string &line : stats) {
        if (options.stats)
            std::fprintf(stderr, "%s\n", line.c_str());
    }
    return 0;
}

} // namespace quenzil
