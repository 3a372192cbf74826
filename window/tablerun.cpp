#include "tablerun.h"

#include "numbertext.h"
#include "picturesurface.h"
#include "tablebuilder.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace quenzil {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Counts a run in while it lasts; when the last run ends, a cancellation is over.
class ActiveRun
{
public:
    ActiveRun(int &activeRuns, bool &cancelled, int &fullDepth)
        : m_activeRuns(activeRuns), m_cancelled(cancelled), m_fullDepth(fullDepth)
    {
        ++m_activeRuns;
    }
    ~ActiveRun()
    {
        if (--m_activeRuns == 0) {
            m_cancelled = false;
            m_fullDepth = 0;
        }
    }
    ActiveRun(const ActiveRun &) = delete;
    ActiveRun &operator=(const ActiveRun &) = delete;

private:
    int &m_activeRuns;
    bool &m_cancelled;
    int &m_fullDepth;
};

} // namespace

TextAreaFull::TextAreaFull(std::size_t limit)
    : m_message("The text area is full: it holds at most " + std::to_string(limit) +
                " characters. The table stops here.")
{
}

QString tableText(const QPlainTextEdit &area)
{
    QString plain = area.toPlainText(); // line breaks come as '\n'
    plain.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return plain;
}

TableRun::TableRun(PictureSurface &surface, QPlainTextEdit &area, QLabel &progressLabel,
                   RunControl &control)
    : m_surface(surface), m_area(area), m_label(progressLabel), m_control(control),
      m_intervalNs(control.m_seam.passAtEveryCheck ? 0.0
                                                   : control.m_seam.processingIntervalMs * 1e6),
      m_checkEvery(control.m_seam.processingIntervalMs <= 0 ? 1 : 32)
{
    m_clock.start();
}

void TableRun::run()
{
    const ActiveRun active(m_control.m_activeRuns, m_control.m_cancelled, m_control.m_fullDepth);
    m_depth = m_control.m_activeRuns;
    try {
        TableBuilder(m_surface, *this, *this, *this).run();
        if (!moveIntoArea())
            throw TextAreaFull(m_control.m_seam.textLimit);
    } catch (const TextAreaFull &) {
        // The text that would not fit is dropped, and the label keeps the count of the text
        // the area shows; the runs around this one end as well.
        m_pending.clear();
        m_control.m_fullDepth = m_depth;
        throw;
    } catch (...) {
        // The text written so far stays, and the label shows how far the run came.
        moveIntoArea();
        showCount();
        throw;
    }
    showCount();
}

std::string TableRun::text() const
{
    std::string text = tableText(m_area).toStdString();
    for (const char character : m_pending) {
        if (character == '\n')
            text += basicDialect.lineBreak;
        else
            text += character;
    }
    return text;
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
    if (std::size_t(document->characterCount()) + m_pending.size() > m_control.m_seam.textLimit)
        return false;
    document->setUndoRedoEnabled(false);
    QString text = fromUtf8(m_pending);
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
        throw TextAreaFull(m_control.m_seam.textLimit);
    showCount();
    learnCost(bytes, moveClock.nsecsElapsed());

    if (m_control.m_seam.beforeProcessing)
        m_control.m_seam.beforeProcessing(m_count);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_control.m_cancelled || m_depth < m_control.m_fullDepth)
        throw RunCancelled();
    m_clock.restart();
    // Lines hold eight entries and the clock is read every 32 pixels; were passes always 32
    // pixels apart, they would always come at the same place in a line, and what the user types
    // would always land there. Starting the count after a pass
    // one pixel later moves each pass one place further along the line than the one before.
    if (m_checkEvery > 1)
        m_pixelsSinceCheck = -1;
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
