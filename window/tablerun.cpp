#include "tablerun.h"

#include "numbertext.h"
#include "picturesurface.h"
#include "tablebuilder.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFileDevice>
#include <QIODevice>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <fcntl.h> // sync_file_range
#endif

namespace quenzil {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Asks the system to start writing what a file has been given so far to the disk, without
// waiting for it: the flush to disk that completes a save then finds little left to wait for,
// instead of holding up the window for a few hundred milliseconds on a table of 200 MB. Only
// Linux takes such a request; elsewhere the system's own pace has to do.
void startWriteBack(QIODevice &device)
{
#ifdef Q_OS_LINUX
    if (auto *file = qobject_cast<QFileDevice *>(&device); file && file->flush())
        ::sync_file_range(file->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(device);
#endif
}

} // namespace

TextAreaFull::TextAreaFull(std::size_t limit)
    : m_message("The text area is full: it holds at most " + std::to_string(limit) +
                " characters. The table stops here.")
{
}

bool writeTableText(const QPlainTextEdit &area, QIODevice &device)
{
    constexpr qsizetype sliceBytes = qsizetype(1) << 20;
    QByteArray slice;
    slice.reserve(2 * sliceBytes);
    QStringEncoder encoder(QStringEncoder::Utf8);
    const auto append = [&](QStringView piece) {
        const qsizetype used = slice.size();
        slice.resize(used + encoder.requiredSpace(piece.size()));
        const char *end = encoder.appendToBuffer(slice.data() + used, piece);
        slice.resize(end - slice.constData());
    };
    int slices = 0;
    const auto write = [&] {
        const bool written = writeWhole(device, slice);
        if (++slices % 8 == 0)
            startWriteBack(device);
        slice.clear();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return written;
    };

    const QTextDocument *document = area.document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            slice.append(mmbasicDialect.lineBreak.data(),
                         qsizetype(mmbasicDialect.lineBreak.size()));
        // Line separators within a block are line breaks too, and the other characters become
        // what toPlainText() makes of them.
        QString text = block.text();
        qsizetype pieceStart = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t character = text.at(i).unicode();
            if (character == QChar::Nbsp) {
                text[i] = u' ';
            } else if (character == QChar::LineSeparator || character == 0xFDD0 ||
                       character == 0xFDD1) { // a line break, the start or end of a frame
                append(QStringView(text).sliced(pieceStart, i - pieceStart));
                slice.append(mmbasicDialect.lineBreak.data(),
                             qsizetype(mmbasicDialect.lineBreak.size()));
                pieceStart = i + 1;
                // A block may be long: a text pasted as one line, say.
                if (slice.size() >= sliceBytes && !write())
                    return false;
            }
        }
        append(QStringView(text).sliced(pieceStart));
        if (slice.size() >= sliceBytes && !write())
            return false;
    }
    const bool written = slice.isEmpty() || write();
    // The user's input that came meanwhile waits in the window system's queue, but the wake-up
    // that came with it was spent on the passes above: without another, the window would take it
    // (a request to close the window, say) only when the next event came from the system.
    if (slices > 0)
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->wakeUp();
    return written;
}

bool writeWhole(QIODevice &device, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qint64 written = device.write(bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

TableRun::TableRun(PictureSurface &surface, QPlainTextEdit &area, QLabel &progressLabel,
                   RunControl &control, const TableFormat &format)
    : m_surface(surface), m_area(area), m_label(progressLabel), m_control(control), m_format(format)
{
    m_clock.start();
}

void TableRun::run()
{
    const RunControl::Entry entry(m_control);
    m_depth = entry.depth();
    try {
        TableBuilder(m_surface, *this, *this, *this, m_format).run();
        if (!moveIntoArea())
            throw TextAreaFull(textAreaLimit);
    } catch (const TextAreaFull &) {
        // The text that would not fit is dropped, and the label keeps the count of the text
        // the area shows; the runs around this one end as well.
        m_pending.clear();
        m_control.areaFilledAt(m_depth);
        throw;
    } catch (...) {
        // The text written so far stays, and the label shows how far the run came.
        moveIntoArea();
        showCount();
        throw;
    }
    showCount();
}

void TableRun::setText(std::string_view text)
{
    m_pending.clear();
    QString plain = fromUtf8(text);
    // The document would make two blocks of CR LF; one line break is meant.
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_area.setPlainText(plain);
}

void TableRun::appendWithBreaks(std::string_view piece)
{
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '\r' && i + 1 < piece.size() && piece[i + 1] == '\n')
            continue; // CR LF is kept as its '\n'
        m_pending.push_back(piece[i] == '\r' ? '\n' : piece[i]);
    }
}

bool TableRun::moveIntoArea()
{
    if (m_pending.empty())
        return true;
    QTextDocument *document = m_area.document();
    // A UTF-8 byte is at most one character, so the pending bytes bound what the move adds.
    if (std::size_t(document->characterCount()) + m_pending.size() > textAreaLimit)
        return false;
    document->setUndoRedoEnabled(false);
    // Decoded into the same buffer at every move: a buffer of a megabyte or more, made anew at
    // every pass, would be mapped and faulted in afresh each time.
    QString &text = m_moveText;
    QStringDecoder decoder(QStringDecoder::Utf8);
    text.resize(decoder.requiredSpace(qsizetype(m_pending.size())));
    const QChar *end = decoder.appendToBuffer(text.data(), QByteArrayView(m_pending));
    text.resize(end - text.constData());
    // Every new block costs the document far more than a line inside a block, and the cost
    // grows with the number of blocks: so most line breaks go in as line separators, and only
    // every linesPerBlock-th one starts a new block. Both read back and copy out as a line break.
    for (QChar &character : text) {
        if (character != QLatin1Char('\n'))
            continue;
        if (++m_linesInBlock < linesPerBlock) {
            character = QChar::LineSeparator;
        } else {
            m_linesInBlock = 0;
        }
    }
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    document->setUndoRedoEnabled(true);
    m_pending.clear();
    return true;
}

void TableRun::showCount()
{
    // A run that has done no pixel leaves the previous caption standing.
    if (!m_countChanged)
        return;
    m_label.setText(QString::fromStdString(progressCaption(m_count)));
    m_countChanged = false;
}

void TableRun::pass()
{
    QElapsedTimer moveClock;
    moveClock.start();
    const std::size_t bytes = m_pending.size();
    if (!moveIntoArea())
        throw TextAreaFull(textAreaLimit);
    showCount();
    learnCost(bytes, moveClock.nsecsElapsed());

    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_control.stops(m_depth))
        throw RunCancelled();
    m_clock.restart();
}

void TableRun::learnCost(std::size_t bytes, qint64 nanoseconds)
{
    // Small moves say little about the cost per byte. A move slowed down by something else on
    // the machine changes the estimate only part of the way, and the bounds keep one odd
    // measurement from making passes needlessly frequent or rare.
    constexpr std::size_t enoughBytes = 4 * 1024;
    if (bytes < enoughBytes)
        return;
    const double measured = double(nanoseconds) / double(bytes);
    m_moveNsPerByte = std::clamp(0.75 * m_moveNsPerByte + 0.25 * measured, 2.0, 500.0);
}

} // namespace quenzil
