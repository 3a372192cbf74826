#include "tablerun.h"

#include "picturesurface.h"
#include "tablebuilder.h"

#include <QCoreApplication>

#include <algorithm>

namespace quenzil {

namespace {

// Counts a run in while it lasts; when the last run ends, a cancellation is over.
class ActiveRun
{
public:
    explicit ActiveRun(int &activeRuns, bool &cancelled)
        : m_activeRuns(activeRuns), m_cancelled(cancelled)
    {
        ++m_activeRuns;
    }
    ~ActiveRun()
    {
        if (--m_activeRuns == 0)
            m_cancelled = false;
    }
    ActiveRun(const ActiveRun &) = delete;
    ActiveRun &operator=(const ActiveRun &) = delete;

private:
    int &m_activeRuns;
    bool &m_cancelled;
};

} // namespace

WindowEventPump::WindowEventPump(TextAreaOutput &output, LabelProgress &progress,
                                 RunControl &control)
    : m_output(output), m_progress(progress), m_control(control),
      m_intervalNs(control.processingIntervalMs() * 1e6),
      m_checkEvery(control.processingIntervalMs() == 0 ? 1 : 32)
{
    m_clock.start();
}

void WindowEventPump::pass()
{
    QElapsedTimer flushClock;
    flushClock.start();
    const std::size_t bytes = m_output.pendingSize();
    m_output.flush();
    m_progress.show();
    learnCost(bytes, flushClock.nsecsElapsed());

    if (m_control.beforeProcessing)
        m_control.beforeProcessing(m_progress.count());
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_control.cancelled())
        throw RunCancelled();
    m_clock.restart();
}

void WindowEventPump::learnCost(std::size_t bytes, qint64 nanoseconds)
{
    // Small flushes say little about the cost per byte. A flush slowed down by something
    // else on the machine moves the estimate only part of the way, and the bounds keep one
    // odd measurement from making passes needlessly frequent or rare.
    constexpr std::size_t enoughBytes = 4 * 1024;
    if (bytes < enoughBytes)
        return;
    const double measured = double(nanoseconds) / double(bytes);
    m_flushNsPerByte = std::clamp(0.75 * m_flushNsPerByte + 0.25 * measured, 2.0, 500.0);
}

TableRun::TableRun(PictureSurface &surface, QPlainTextEdit &area, QLabel &progressLabel,
                   RunControl &control)
    : m_surface(surface), m_output(area), m_progress(progressLabel), m_control(control)
{
}

void TableRun::run()
{
    const ActiveRun active(m_control.m_activeRuns, m_control.m_cancelled);
    WindowEventPump pump(m_output, m_progress, m_control);
    try {
        TableBuilder(m_surface, m_output, m_progress, pump).run();
    } catch (...) {
        // The text written so far stays, and the label shows how far the run came.
        m_output.flush();
        m_progress.show();
        throw;
    }
    m_output.flush();
    m_progress.show();
}

} // namespace quenzil
