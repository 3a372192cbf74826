#pragma once

#include "tableformat.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QString>

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

class QIODevice;
class QLabel;
class QPlainTextEdit;

namespace quenzil {

class PictureSurface;

// The most characters a table run lets the text area hold. The document numbers its characters
// with 32-bit positions, and text it removes stays in its buffer until it compacts it, so the
// area is kept to half of that range. At this size the document's buffer alone takes 2 GiB.
inline constexpr std::size_t textAreaLimit = std::size_t(1) << 30;

// Thrown out of a table run's event pump once the window is closing, and out of the runs around
// one that filled the text area; the command that started the run catches it, so it never
// crosses Qt's event delivery.
class RunCancelled : public std::exception
{
public:
    const char *what() const noexcept override { return "The table run was stopped"; }
};

// Thrown by a table run when its next text would take the area past its limit.
class TextAreaFull : public std::exception
{
public:
    explicit TextAreaFull(std::size_t limit);
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

// What all table runs of one window share, nested runs included: how many are under way, and
// whether they are to stop.
class RunControl
{
public:
    // Counts a run in for as long as it lives.
    class Entry
    {
    public:
        explicit Entry(RunControl &control) : m_control(control), m_depth(control.enter()) {}
        ~Entry() { m_control.leave(); }
        Entry(const Entry &) = delete;
        Entry &operator=(const Entry &) = delete;
        // 1 for a run started from the idle window, 2 for one started inside it, ...
        int depth() const { return m_depth; }

    private:
        RunControl &m_control;
        int m_depth;
    };

    RunControl() = default;
    RunControl(const RunControl &) = delete;
    RunControl &operator=(const RunControl &) = delete;

    // Stops every run at its next pass; the window calls it when it closes. Once the last run
    // has ended, runs may start again.
    void cancelAll() { m_cancelled = m_activeRuns > 0; }

    // The run at `depth` filled the text area: the runs around it end at their next pass.
    void areaFilledAt(int depth) { m_fullDepth = depth; }
    // Whether the run at `depth` is to stop at this pass.
    bool stops(int depth) const { return m_cancelled || depth < m_fullDepth; }

    // A run begins; returns its depth. Entry calls these two.
    int enter() { return ++m_activeRuns; }
    // A run has ended, whichever way; when the last one ends, a cancellation is over.
    void leave()
    {
        if (--m_activeRuns == 0) {
            m_cancelled = false;
            m_fullDepth = 0;
        }
    }

private:
    int m_activeRuns = 0;
    bool m_cancelled = false;
    // The depth of a run that filled the area; 0 while none has.
    int m_fullDepth = 0;
};

// Writes the text area's whole text as the table has it (line breaks as CR LF), in UTF-8, a slice
// of about a megabyte at a time. Between slices the window processes its events, all but the
// user's input, which waits until the text is written (a request to close the window among it,
// which the window takes as soon as the writing ends): the window stays live. The caller keeps
// the text as it is meanwhile (see Tavro::saveTable()). Returns false when the device refuses a
// write; its errorString() then has the system's reason.
bool writeTableText(const QPlainTextEdit &area, QIODevice &device);

// Writes all of `bytes`. A short write is tried again for the rest, since the system tells its
// reason ("No space left on device") only then. Returns false when the device refuses a write.
bool writeWhole(QIODevice &device, QByteArrayView bytes);

// One run of the table command over the window's surface, text area and progress label. The run
// is the table builder's output, progress and event pump at once, so text and count flow one
// way: from the builder into the run, and at every pass from the run into the area and the label.
//
// Appending a piece to a QTextDocument costs far more than the piece itself, so appended text
// waits in a pending buffer and reaches the area in one insertion at its end at every pass and at
// the end of the run; whenever the user can see or edit the area it holds the whole text made so
// far, and the next pieces extend whatever the area holds then. Apart from replacing the whole
// text at its start, the run never removes text: what the user typed stays. The area keeps line
// breaks as block or line separators. Text moved in is not recorded for undo (the record would cost
// as much memory as the text); like replacing the text, it clears the area's undo history.
//
// Coding a pixel costs little and moving its text into the area far more. So a pass is due when
// the time since the last one plus the expected cost of the next move (the pending text times the
// cost per byte the last moves took) reaches 5 ms: the window then never goes much longer than
// that without processing events.
//
// Whatever way the run ends, the area holds the text written so far and the label the last count;
// failures (RunCancelled and TextAreaFull among them) go to the caller. A run whose next text
// would take the area past its limit ends with TextAreaFull, its pending text dropped, and the runs
// it is nested in end at their next pass with RunCancelled, so one message tells of it.
class TableRun
{
public:
    // The table is written in `format`, which should be sound (settingsError() empty).
    TableRun(PictureSurface &surface, QPlainTextEdit &area, QLabel &progressLabel,
             RunControl &control, const TableFormat &format = {});
    TableRun(const TableRun &) = delete;
    TableRun &operator=(const TableRun &) = delete;

    void run();

    // The table builder's side: output, progress and event pump.

    // Replaces the area's text; CR LF in the text becomes a line break.
    void setText(std::string_view text);
    // Extends the text at its end. Pieces are UTF-8 (the table's own pieces are ASCII).
    void append(std::string_view piece)
    {
        if (piece.find('\r') == std::string_view::npos)
            m_pending.append(piece);
        else
            appendWithBreaks(piece);
    }
    void setCount(double count)
    {
        m_count = count;
        m_countChanged = true;
    }
    // Called after every pixel; returns at once until a pass is due.
    void processPending()
    {
        // Looking at the clock costs more than a pixel, so it is read every few pixels.
        if (++m_pixelsSinceCheck < checkEvery)
            return;
        m_pixelsSinceCheck = 0;
        const double expected = double(m_pending.size()) * m_moveNsPerByte;
        if (double(m_clock.nsecsElapsed()) + expected >= passIntervalNs)
            pass();
    }

private:
    void appendWithBreaks(std::string_view piece);
    // Moves the pending text into the area; false, moving nothing, when it would not fit.
    bool moveIntoArea();
    void showCount();
    void pass();
    void learnCost(std::size_t bytes, qint64 nanoseconds);

    // Lines a move puts into one block of the document before it starts the next.
    static constexpr int linesPerBlock = 32;
    // The time a run aims to keep between two passes of event processing, the moving of its
    // text into the area included, and how many pixels it codes between looks at the clock.
    static constexpr double passIntervalNs = 5e6;
    static constexpr int checkEvery = 32;

    PictureSurface &m_surface;
    QPlainTextEdit &m_area;
    QLabel &m_label;
    RunControl &m_control;
    const TableFormat m_format;
    int m_depth = 0; // see RunControl::Entry::depth()

    // Appended text not yet in the area, line breaks as a single '\n'.
    std::string m_pending;
    // The pending text as a move puts it into the area.
    QString m_moveText;
    int m_linesInBlock = 0;
    double m_count = 0;
    bool m_countChanged = false;

    QElapsedTimer m_clock; // since the end of the last pass
    int m_pixelsSinceCheck = 0;
    // What a move costs per byte of text; learnt as the run goes.
    double m_moveNsPerByte = 50;
};

} // namespace quenzil
