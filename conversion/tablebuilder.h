#pragma once

#include "colourvalue.h"
#include "forceinline.h"
#include "pixelcode.h"
#include "stringtableoutput.h"
#include "tableformat.h"

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace quenzil {

// The read side of a picture: its width and height in pixels (reals) and the colour value at
// integer coordinates, (0, 0) at the top left. A point outside the picture reads as
// unreadableColour.
template <typename Source>
concept PixelSource = requires(Source &source, int x, int y)
{
    {
        source.width()
        } -> std::convertible_to<double>;
    {
        source.height()
        } -> std::convertible_to<double>;
    {
        source.colourAt(x, y)
        } -> std::convertible_to<ColourValue>;
};

// Where a table is written: a text that can be replaced whole, extended at its end and cut at
// its end. append() and cutTail() cost time in proportion to the piece, not to the whole text,
// and act on whatever the text holds at that moment (a user may have edited it). cutTail(n) on
// a text of fewer than n characters empties it.
template <typename Output>
concept TableOutput = requires(Output &output, std::string_view piece, std::size_t count)
{
    output.setText(piece);
    output.append(piece);
    output.cutTail(count);
};

// Where a run reports how many pixels it has done.
template <typename Progress>
concept ProgressSink = requires(Progress &progress, double count)
{
    progress.setCount(count);
};

// Lets the window process its pending events; a table run calls it after every pixel.
template <typename Pump>
concept EventPump = requires(Pump &pump)
{
    pump.processPending();
};

// Keeps the latest pixel count; the caption is only made when someone asks for it.
class ProgressCounter
{
public:
    void setCount(double count) { m_count = count; }
    double count() const { return m_count; }

private:
    double m_count = 0;
};

// For runs with no window behind them.
struct NoEventPump
{
    void processPending() {}
};

// The default table's fixed pieces. Lines are separated by CR LF.
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

// The length of the default table of `pixels` pixels, for outputs that can reserve room ahead.
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
// writes the table in the given format: the label line, the size line if asked for, then
// "Data" lines of numbers.
//
// The builder keeps no copy of the text: every step extends or cuts what the output holds at
// that moment, so an edit made while events are processed is kept and extended. The height is
// read once; the width is read again at the start of every row, so a picture loaded mid-run
// changes the width of later rows but not their number (a size line reads the width once more
// before the first row). Progress is reported and the pump called after every pixel; with
// run-length pairs a pair is written when its run ends.
template <PixelSource Source, TableOutput Output, ProgressSink Progress, EventPump Pump>
class TableBuilder
{
public:
    // `format` should be sound (formatError() empty); a run-length format with an odd perLine
    // puts perLine / 2 pairs (at least one) on a line.
    TableBuilder(Source &source, Output &output, Progress &progress, Pump &pump,
                 const TableFormat &format = {})
        : m_source(source), m_output(output), m_progress(progress), m_pump(pump),
          m_entries(RadixEntries::of(format.radix)), m_header(format.label + ":\r\n"),
          m_radix(format.radix),
          m_itemsPerLine(std::max(1u, format.runLength ? format.perLine / 2 : format.perLine)),
          m_rowLines(format.rowLines), m_runLength(format.runLength), m_sizeLine(format.sizeLine)
    {
    }

    // One whole run. Nothing is caught: a failure of a collaborator ends the run where it
    // stands, with the text written so far left in the output.
    void run()
    {
        m_items = 0;
        m_dataLines = 0;
        // The entry length is a constant wherever it can be, so that appending an entry is a
        // fixed move.
        switch (m_entries.codeLength()) {
        case PixelCode::entryLength: // binary: " &B11100000 ,"
            return m_runLength ? runPairs<PixelCode::entryLength>()
                               : runCodes<PixelCode::entryLength>();
        case 7: // hexadecimal: " &HE0 ,"
            return m_runLength ? runPairs<7>() : runCodes<7>();
        default:
            return m_runLength ? runPairs<0>() : runCodes<0>();
        }
    }

    // What the last run wrote: codes (pairs in a run-length table), and Data lines, the size
    // line included.
    std::uint64_t items() const { return m_items; }
    std::uint64_t dataLines() const { return m_dataLines; }

private:
    // The entry of a code: `Length` characters, or when 0 as long as the entry is.
    template <std::size_t Length>
    static std::string_view codeEntry(const RadixEntries &entries, std::uint8_t code)
    {
        if constexpr (Length == 0)
            return entries.code(code);
        else
            return {entries.codeText(code), Length};
    }

    // One number for every pixel.
    template <std::size_t Length> void runCodes()
    {
        m_output.setText(m_header);
        // Locals, as the text's characters could otherwise alias the members.
        const unsigned perLine = m_itemsPerLine;
        const bool rowLines = m_rowLines;
        const RadixEntries &entries = m_entries;

        unsigned lineCount = 0; // entries on the current line
        double pixelCount = 0;
        bool dataOpened = false;

        const std::int64_t lastRow = lastIndexOf(double(m_source.height()));
        if (m_sizeLine)
            dataOpened = writeSizeLine(lastRow + 1, lineCount);
        for (std::int64_t row = 0; row <= lastRow; ++row) {
            const std::int64_t lastColumn = lastIndexOf(double(m_source.width()));
            for (std::int64_t column = 0; column <= lastColumn; ++column) {
                startItem(dataOpened, lineCount, perLine);
                const ColourValue colour = m_source.colourAt(int(column), int(row));
                pixelCount += 1;
                m_progress.setCount(pixelCount);
                m_output.append(codeEntry<Length>(entries, PixelCode::code(colour)));
                m_pump.processPending();
            }
            // The next row's first entry starts a line of its own.
            if (rowLines && dataOpened)
                lineCount = perLine;
        }

        if (dataOpened)
            m_output.cutTail(RadixEntries::separatorLength);
        m_items = std::uint64_t(pixelCount);
    }

    // A pair "count , code" for every run of equal codes.
    template <std::size_t Length> void runPairs()
    {
        m_output.setText(m_header);

        unsigned lineCount = 0; // pairs on the current line
        double pixelCount = 0;
        bool dataOpened = false;
        std::uint8_t runCode = 0;
        unsigned runLength = 0; // 0: no run open

        const auto writePair = [&] {
            startItem(dataOpened, lineCount, m_itemsPerLine);
            m_output.append(m_entries.count(std::uint8_t(runLength)));
            m_output.append(codeEntry<Length>(m_entries, runCode));
            ++m_items;
        };

        const std::int64_t lastRow = lastIndexOf(double(m_source.height()));
        if (m_sizeLine)
            dataOpened = writeSizeLine(lastRow + 1, lineCount);
        for (std::int64_t row = 0; row <= lastRow; ++row) {
            const std::int64_t lastColumn = lastIndexOf(double(m_source.width()));
            for (std::int64_t column = 0; column <= lastColumn; ++column) {
                const std::uint8_t code = PixelCode::code(m_source.colourAt(int(column), int(row)));
                pixelCount += 1;
                m_progress.setCount(pixelCount);
                if (runLength != 0 && code == runCode && runLength < TableFormat::maxRun) {
                    ++runLength;
                } else {
                    if (runLength != 0)
                        writePair();
                    runCode = code;
                    runLength = 1;
                }
                m_pump.processPending();
            }
            if (m_rowLines) {
                // Runs end with the row, and the next row's first pair starts a line.
                if (runLength != 0)
                    writePair();
                runLength = 0;
                if (dataOpened)
                    lineCount = m_itemsPerLine;
            }
        }
        if (runLength != 0)
            writePair();

        if (dataOpened)
            m_output.cutTail(RadixEntries::separatorLength);
    }

    // Makes room for the next item on a line. "Data" opens the first line only once there is an
    // item to put on it, so a picture without pixels gives the header alone; a full line breaks.
    QUENZIL_FORCE_INLINE void startItem(bool &dataOpened, unsigned &lineCount, unsigned perLine)
    {
        if (!dataOpened) {
            openFirstLine();
            dataOpened = true;
        }
        if (++lineCount == perLine + 1) {
            breakLine();
            lineCount = 1;
        }
    }

    void openFirstLine()
    {
        m_output.append(dataKeyword);
        ++m_dataLines;
    }

    // The line's last entry loses its separator before the break.
    void breakLine()
    {
        m_output.cutTail(RadixEntries::separatorLength);
        m_output.append(lineBreak);
        m_output.append(dataKeyword);
        ++m_dataLines;
    }

    // "Data W , H" as a full line, so that the first pixel starts the next. Returns true: the
    // data has a line open.
    bool writeSizeLine(std::int64_t rows, unsigned &lineCount)
    {
        const std::int64_t columns = lastIndexOf(double(m_source.width())) + 1;
        openFirstLine();
        m_output.append(" " + numberLiteral(std::uint64_t(columns), m_radix) + " ,");
        m_output.append(" " + numberLiteral(std::uint64_t(rows), m_radix) + " ,");
        lineCount = m_itemsPerLine;
        return true;
    }

    Source &m_source;
    Output &m_output;
    Progress &m_progress;
    Pump &m_pump;
    const RadixEntries &m_entries;
    const std::string m_header;
    const Radix m_radix;
    const unsigned m_itemsPerLine;
    const bool m_rowLines;
    const bool m_runLength;
    const bool m_sizeLine;
    std::uint64_t m_items = 0;
    std::uint64_t m_dataLines = 0;
};

// The room a run in `format` over a picture of columns x rows needs at its fullest (the table
// plus the separator that is cut at the very end): exact for binary and hexadecimal codes, an
// upper bound for decimal codes and run-length pairs. For outputs that can reserve room ahead.
inline std::size_t tableRoom(const TableFormat &format, std::size_t columns, std::size_t rows)
{
    const RadixEntries &entries = RadixEntries::of(format.radix);
    const std::size_t pixels = columns * rows;
    const std::size_t perLine =
        std::max(1u, format.runLength ? format.perLine / 2 : format.perLine);
    const std::size_t entry =
        format.runLength ? entries.longestCount() + entries.longestCode() : entries.longestCode();
    const auto linesOf = [perLine](std::size_t items) { return (items + perLine - 1) / perLine; };
    const std::size_t lines = format.rowLines ? rows * linesOf(columns) : linesOf(pixels);

    std::size_t length = format.label.size() + 1 + lineBreak.size();
    if (format.sizeLine)
        length += dataKeyword.size() + numberLiteral(columns, format.radix).size() +
                  numberLiteral(rows, format.radix).size() + 2 + RadixEntries::separatorLength;
    if (pixels > 0) {
        if (format.sizeLine)
            length += lineBreak.size();
        length += lines * (dataKeyword.size() + lineBreak.size() - RadixEntries::separatorLength) -
                  lineBreak.size() + pixels * entry;
    }
    return length + RadixEntries::separatorLength;
}

// Builds the table of a source into memory, with no window to serve.
template <PixelSource Source>
std::string buildTableText(Source &source, const TableFormat &format = {})
{
    StringTableOutput output;
    const std::int64_t columns = lastIndexOf(double(source.width())) + 1;
    const std::int64_t rows = lastIndexOf(double(source.height())) + 1;
    output.reserve(tableRoom(format, std::size_t(columns), std::size_t(rows)));
    ProgressCounter progress;
    NoEventPump pump;
    TableBuilder(source, output, progress, pump, format).run();
    return output.takeText();
}

} // namespace quenzil
