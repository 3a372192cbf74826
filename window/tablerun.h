#pragma once

#include "labelprogress.h"
#include "textareaoutput.h"

#include <QElapsedTimer>

#include <exception>
#include <functional>

class QLabel;
class QPlainTextEdit;

namespace quenzil {

class PictureSurface;

// Thrown out of a run's event pump once the window is closing; the command that started the
// run catches it, so it never crosses Qt's event delivery.
class RunCancelled : public std::exception
{
public:
    const char *what() const noexcept override { return "The table run was stopped"; }
};

// What all table runs of one window share, nested runs included.
class RunControl
{
public:
    // The time a run aims to keep between two passes of event processing, the moving of its
    // text into the area included. 0 makes a pass after every pixel.
    int processingIntervalMs() const { return m_intervalMs; }
    void setProcessingInterval(int milliseconds)
    {
        m_intervalMs = milliseconds < 0 ? 0 : milliseconds;
    }

    // Stops every run at its next pass; the window calls it when it closes. Once the last run
    // has ended, runs may start again.
    void cancelAll() { m_cancelled = m_activeRuns > 0; }
    bool cancelled() const { return m_cancelled; }
    int activeRuns() const { return m_activeRuns; }

    // Called at every pass with the pixels the run has done, after the area and the label are
    // brought up to date and just before events are processed: what it does, a user could do
    // at that moment. Tests and the benchmark use it.
    std::function<void(double pixels)> beforeProcessing;

private:
    friend class TableRun;
    int m_intervalMs = 5;
    int m_activeRuns = 0;
    bool m_cancelled = false;
};

// The table run's event pump. Called after every pixel, it returns at once until a pass is
// due; a pass brings the area and the label up to date, processes the pending events and then
// throws RunCancelled if the window has begun to close.
//
// Coding a pixel costs little; moving its text into the area costs far more. So a pass is due
// when the time since the last one plus the expected cost of the next flush (the pending text
// times the cost per byte the last flushes took) reaches the interval: the window then never
// goes much longer than the interval without processing events.
class WindowEventPump
{
public:
    WindowEventPump(TextAreaOutput &output, LabelProgress &progress, RunControl &control);

    void processPending()
    {
        // Looking at the clock costs more than a pixel, so it is read every few pixels.
        if (++m_pixelsSinceCheck < m_checkEvery)
            return;
        m_pixelsSinceCheck = 0;
        const double expected = double(m_output.pendingSize()) * m_flushNsPerByte;
        if (double(m_clock.nsecsElapsed()) + expected >= m_intervalNs)
            pass();
    }

private:
    void pass();
    void learnCost(std::size_t bytes, qint64 nanoseconds);

    TextAreaOutput &m_output;
    LabelProgress &m_progress;
    RunControl &m_control;
    QElapsedTimer m_clock; // since the end of the last pass
    double m_intervalNs;
    int m_checkEvery;
    int m_pixelsSinceCheck = 0;
    // What a flush costs per byte of text; learnt as the run goes.
    double m_flushNsPerByte = 50;
};

// One run of the table command over the window's surface, text area and progress label.
// Whatever way the run ends, the area holds the text written so far and the label the last
// count; failures (RunCancelled among them) go to the caller.
class TableRun
{
public:
    TableRun(PictureSurface &surface, QPlainTextEdit &area, QLabel &progressLabel,
             RunControl &control);
    void run();

private:
    PictureSurface &m_surface;
    TextAreaOutput m_output;
    LabelProgress m_progress;
    RunControl &m_control;
};

} // namespace quenzil
