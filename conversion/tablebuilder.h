#pragma once

#include "pixelcode.h"
#include "pixelsource.h"
#include "tableoutput.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace quenzil {

// The table text's fixed pieces. Lines are separated by CR LF.
inline constexpr std::string_view tableHeader = "Picture:\r\n";
inline constexpr std::string_view dataKeyword = "Data";
inline constexpr std::string_view lineBreak = "\r\n";
// Entries on one Data line.
inline constexpr unsigned entriesPerLine = 8;

// The last index of a run of `size` pixels: size - 1 rounded to the nearest integer, ties to
// even. A result below zero, or a size that is not a number, gives -1: nothing to scan.
inline std::int64_t lastIndexOf(double size)
{
    const double last = std::nearbyint(size - 1.0); // default rounding: ties to even
    if (!(last >= 0.0))
        return -1;
    constexpr double largest = std::numeric_limits<std::int32_t>::max();
    return std::int64_t(std::min(last, largest));
}

// The length of the table of `pixels` pixels, for outputs that can reserve room ahead.
inline std::size_t tableLength(std::size_t pixels)
{
    if (pixels == 0)
        return tableHeader.size();
    const std::size_t lines = (pixels + entriesPerLine - 1) / entriesPerLine;
    return tableHeader.size() + lines * (dataKeyword.size() + lineBreak.size()) - lineBreak.size() +
           pixels * PixelCode::entryLength - lines * PixelCode::separatorLength;
}

// The room a run over `pixels` pixels needs at its fullest: the finished table plus the
// separator of the last entry, which is only cut at the very end.
inline std::size_t tableRoom(std::size_t pixels)
{
    return tableLength(pixels) + PixelCode::separatorLength;
}

// Scans every pixel of a source, row by row from the top and left to right within a row, and
// writes the table: "Picture:" CR LF, then "Data" lines of up to eight entries.
//
// The builder keeps no copy of the text: every step extends or cuts what the output holds at
// that moment, so an edit made while events are processed is kept and extended. The height is
// read once; the width is read again at the start of every row, so a picture loaded mid-run
// changes the width of later rows but not their number.
template <PixelSource Source, TableOutput Output, ProgressSink Progress, EventPump Pump>
class TableBuilder
{
public:
    TableBuilder(Source &source, Output &output, Progress &progress, Pump &pump)
        : m_source(source), m_output(output), m_progress(progress), m_pump(pump)
    {
    }

    // One whole run. Nothing is caught: a failure of a collaborator ends the run where it
    // stands, with the text written so far left in the output.
    void run()
    {
        m_output.setText(tableHeader);

        std::uint8_t lineCount = 0; // entries on the current line
        double pixelCount = 0;
        bool dataOpened = false;

        const std::int64_t lastRow = lastIndexOf(double(m_source.height()));
        for (std::int64_t row = 0; row <= lastRow; ++row) {
            const std::int64_t lastColumn = lastIndexOf(double(m_source.width()));
            for (std::int64_t column = 0; column <= lastColumn; ++column) {
                // "Data" opens the first line only once there is an entry to put on it, so a
                // picture without pixels gives the header alone.
                if (!dataOpened) {
                    m_output.append(dataKeyword);
                    dataOpened = true;
                }
                if (++lineCount == entriesPerLine + 1) {
                    // The line's last entry loses its separator before the break.
                    m_output.cutTail(PixelCode::separatorLength);
                    m_output.append(lineBreak);
                    m_output.append(dataKeyword);
                    lineCount = 1;
                }
                const ColourValue colour = m_source.colourAt(int(column), int(row));
                pixelCount += 1;
                m_progress.setCount(pixelCount);
                m_output.append(PixelCode::entry(colour));
                m_pump.processPending();
            }
        }

        if (dataOpened)
            m_output.cutTail(PixelCode::separatorLength);
    }

private:
    Source &m_source;
    Output &m_output;
    Progress &m_progress;
    Pump &m_pump;
};

// Builds the table of a source into memory, with no window to serve.
template <PixelSource Source> std::string buildTableText(Source &source)
{
    StringTableOutput output;
    const std::int64_t columns = lastIndexOf(double(source.width())) + 1;
    const std::int64_t rows = lastIndexOf(double(source.height())) + 1;
    output.reserve(tableRoom(std::size_t(columns * rows)));
    ProgressCounter progress;
    NoEventPump pump;
    TableBuilder(source, output, progress, pump).run();
    return output.takeText();
}

} // namespace quenzil
