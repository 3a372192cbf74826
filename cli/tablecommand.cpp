#include "tablecommand.h"

#include "commandline.h"
#include "displaycolour.h"
#include "picturepreparation.h"
#include "picturesurface.h"
#include "streamtableoutput.h"
#include "tablebuilder.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

namespace quenzil {

namespace {

void report(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\n", tableCommandName.data(), message.c_str());
    std::fflush(stderr);
}

// Where the table or the preview goes. A new or regular file is written through QSaveFile, so it
// appears only complete, keeps an existing file's permissions and is written through a link to
// its target; until finish() the text is in a temporary file, on Linux one without a name. An
// existing file that is not regular (a device, a pipe) is written directly, as is standard
// output. Writes go straight to the system (our text comes in large chunks anyway), so a failed
// one reports the system's reason.
class Output
{
public:
    // An empty name or "-" opens standard output.
    bool open(const std::string &name)
    {
        if (name.empty() || name == standardStreamName) {
            m_file = std::make_unique<QFile>();
            return static_cast<QFile &>(*m_file).open(fileno(stdout),
                                                      QIODevice::WriteOnly | QIODevice::Unbuffered,
                                                      QFileDevice::DontCloseHandle) ||
                   failed();
        }
        const QString fileName = QString::fromUtf8(name.data(), qsizetype(name.size()));
        const QFileInfo info(fileName);
        if (info.isDir()) {
            m_error = std::strerror(EISDIR);
            return false;
        }
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
        if (!m_temporary) {
            m_error = std::strerror(errno);
            return false;
        }
        m_file = std::make_unique<QFile>();
        return static_cast<QFile &>(*m_file).open(fileno(m_temporary.get()),
                                                  QIODevice::ReadWrite | QIODevice::Unbuffered,
                                                  QFileDevice::DontCloseHandle) ||
               failed();
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

    // Copies all that was written into `target`, from the start.
    bool copyTo(Output &target)
    {
        if (!m_file->seek(0))
            return failed();
        std::array<char, 1 << 16> buffer;
        for (;;) {
            const qint64 read = m_file->read(buffer.data(), qint64(buffer.size()));
            if (read < 0)
                return failed();
            if (read == 0)
                return true;
            if (!target.write({buffer.data(), std::size_t(read)})) {
                m_error = target.error();
                return false;
            }
        }
    }

    // Gives a saved file its name; a direct one has taken everything already.
    bool finish()
    {
        auto *saved = qobject_cast<QSaveFile *>(m_file.get());
        return !saved || saved->commit() || failed();
    }

    const std::string &error() const { return m_error; }

private:
    bool failed()
    {
        m_error = m_file->errorString().toStdString();
        return false;
    }

    struct Closer
    {
        void operator()(std::FILE *file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> m_temporary;
    std::unique_ptr<QFileDevice> m_file;
    std::string m_error;
};

using Stream = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

// Opens a picture by the bytes of its name as given: on POSIX systems through the standard
// library, since Qt would turn the name into Unicode text first and a name that is not valid
// UTF-8 does not survive that; on Windows the names come from Qt as UTF-8 already. Returns why
// it cannot be opened, or nothing.
std::string openPicture(QFile &file, Stream &stream, const std::string &name)
{
    std::error_code ignored;
    if (name == standardStreamName)
        file.open(stdin, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
    else if (std::filesystem::is_directory(std::filesystem::path(name), ignored))
        return std::strerror(EISDIR);
#ifdef _WIN32
    else
        file.setFileName(QString::fromUtf8(name.data(), qsizetype(name.size())));
    if (!file.isOpen() && !file.open(QIODevice::ReadOnly))
        return file.errorString().toStdString();
#else
    else if (stream.reset(std::fopen(name.c_str(), "rb")); !stream)
        return std::strerror(errno);
    if (!file.isOpen() && !file.open(stream.get(), QIODevice::ReadOnly))
        return file.errorString().toStdString();
#endif
    return {};
}

// Reads a picture and prepares it as the settings ask. Returns the message on failure.
std::string readPrepared(PictureSurface &surface, const std::string &name,
                         const Preparation &preparation)
{
    Stream stream(nullptr, &std::fclose);
    QFile file;
    QString reason;
    surface.setKeepsTransparency(preparation.background.has_value());
    if (const std::string error = openPicture(file, stream, name); !error.empty())
        return "cannot load " + quotedText(name) + ": " + error;
    if (!surface.load(&file, &reason))
        return "cannot load " + quotedText(name) + ": " +
               (reason.isEmpty() ? file.errorString() : reason).toStdString();
    if (preparation.invert)
        surface.invert();
    PicturePreparation steps;
    steps.background = preparation.background;
    steps.scaling = PicturePreparation::Scaling(int(preparation.scaling));
    steps.box = preparation.box;
    steps.pad = preparation.pad;
    steps.resampling = PicturePreparation::Resampling(int(preparation.resampling));
    try {
        if (!preparePicture(surface, steps, &reason))
            return "cannot prepare " + quotedText(name) + ": " + reason.toStdString();
        if (preparation.reduction != ColourReduction::Bands)
            surface.reduceColours(preparation.reduction);
    } catch (const std::bad_alloc &) {
        return "cannot prepare " + quotedText(name) + ": Not enough memory for the picture";
    }
    return {};
}

QImage displayPreview(const PictureSurface &surface)
{
    const int width = int(surface.width());
    const int height = int(surface.height());
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

// The preview as PNG, made in memory: a write that fails is then ours to report, with the
// system's reason, and the PNG library has nothing to complain about on its own.
bool writePreview(const PictureSurface &surface, Output &output)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(displayPreview(surface));
    return output.write({png.constData(), std::size_t(png.size())});
}

// What a table output counts: its characters.
struct CharacterCount
{
    std::size_t characters = 0;
    void setText(std::string_view text) { characters = text.size(); }
    void append(std::string_view piece) { characters += piece.size(); }
    void cutTail(std::size_t count) { characters -= std::min(count, characters); }
};

// What --stats tells of one table.
struct TableFigures
{
    std::string label;
    int width = 0;
    int height = 0;
    std::uint64_t items = 0; // codes, or run-length pairs
    std::size_t characters = 0;
    std::uint64_t dataLines = 0;
};

bool writeTable(const PictureSurface &surface, const TableFormat &format, Output &output,
                TableFigures &figures)
{
    ProgressCounter progress;
    NoEventPump pump;
    StreamTableOutput text([&](std::string_view chunk) {
        figures.characters += chunk.size();
        return output.write(chunk);
    });
    TableBuilder builder(surface, text, progress, pump, format);
    builder.run();
    figures.width = int(surface.width());
    figures.height = int(surface.height());
    figures.items = builder.items();
    figures.dataLines = builder.dataLines();
    return text.finish();
}

// Run-length pairs pay off only where runs are long: a dithered picture's pairs may take more
// room than its plain codes.
void noteLongerRuns(const PictureSurface &surface, TableFormat format, std::size_t characters,
                    const std::string &name)
{
    format.runLength = false;
    CharacterCount plain;
    ProgressCounter progress;
    NoEventPump pump;
    TableBuilder(surface, plain, progress, pump, format).run();
    if (characters > plain.characters)
        report("note: the --rle table of " + quotedText(name) + " has " +
               std::to_string(characters) + " characters, more than the " +
               std::to_string(plain.characters) + " of the table without --rle");
}

// Many BASICs read lines of at most this many characters (bwbasic drops a longer line without a
// word), so a format whose Data lines may be longer gets a note.
constexpr std::size_t commonLineLimit = 255;

std::vector<std::string> tableLabels(const CommandOptions &options)
{
    if (options.pictures.size() == 1)
        return {options.settings.format.label};
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
    const std::vector<std::string> &names = options.pictures;
    const std::vector<std::string> labels = tableLabels(options);
    const TableFormat &format = options.settings.format;
    if (const std::size_t longest = longestDataLine(format); longest > commonLineLimit)
        report("note: a Data line may hold up to " + std::to_string(longest) +
               " characters; many BASICs read at most " + std::to_string(commonLineLimit));

    // One picture at a time: read and prepared, then its table written. Several tables for
    // standard output wait in a temporary file until all were made; an -o file gets its name only
    // then. After a picture fails the others are still read, so that each failure is reported,
    // but nothing more is written.
    const bool held = names.size() > 1 && options.output.empty();
    const std::string tableName =
        options.output.empty() ? std::string("the table") : quotedText(options.output);
    Output table;
    Output preview;
    std::vector<TableFigures> figures;
    std::size_t failures = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        PictureSurface surface;
        if (const std::string error = readPrepared(surface, names[i], options.settings.preparation);
            !error.empty()) {
            report(error);
            ++failures;
            continue;
        }
        if (failures > 0)
            continue;
        if (i == 0) {
            if (!(held ? table.openTemporary() : table.open(options.output))) {
                report("cannot write " + tableName + ": " + table.error());
                return 1;
            }
            if (!options.preview.empty() &&
                (!preview.open(options.preview) || !writePreview(surface, preview))) {
                report("cannot write " + quotedText(options.preview) + ": " + preview.error());
                return 1;
            }
        }
        TableFormat shape = format;
        shape.label = labels[i];
        TableFigures &written = figures.emplace_back();
        written.label = labels[i];
        if ((i > 0 && !table.write(lineBreak)) || !writeTable(surface, shape, table, written)) {
            report("cannot write " + tableName + ": " + table.error());
            return 1;
        }
        if (shape.runLength)
            noteLongerRuns(surface, shape, written.characters, names[i]);
    }
    if (failures > 0) {
        if (names.size() > 1)
            report(std::to_string(failures) + " of " + std::to_string(names.size()) +
                   " pictures failed; nothing was written");
        return 1;
    }
    if (held) {
        Output standardOutput;
        if (!standardOutput.open({}) || !table.copyTo(standardOutput)) {
            report("cannot write the table: " + table.error());
            return 1;
        }
    }
    if (!table.finish()) {
        report("cannot write " + tableName + ": " + table.error());
        return 1;
    }
    if (!options.preview.empty() && !preview.finish()) {
        report("cannot write " + quotedText(options.preview) + ": " + preview.error());
        return 1;
    }
    if (options.stats) {
        for (const TableFigures &table : figures)
            std::fprintf(stderr,
                         "%s: %d x %d, %lld pixels, %llu %s, %zu characters, %llu Data lines\n",
                         table.label.c_str(), table.width, table.height,
                         static_cast<long long>(table.width) * table.height,
                         static_cast<unsigned long long>(table.items),
                         format.runLength ? "pairs" : "data bytes", table.characters,
                         static_cast<unsigned long long>(table.dataLines));
    }
    return 0;
}

} // namespace quenzil
