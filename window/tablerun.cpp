#include "tablerun.h"

#include "picturesurface.h"
#include "tablebuilder.h"

#include <QCoreApplication>

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
      m_checkEvery(control.processingIntervalMs() == 0 ? 1 : 64)
{
    m_clock.start();
}

void WindowEventPump::pass()
{
    m_output.flush();
    m_progress.show();
    if (m_control.beforeProcessing)
        m_control.beforeProcessing(m_progress.count());
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_control.cancelled())
        throw RunCancelled();
    m_clock.restart();
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
