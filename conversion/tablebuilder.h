#pragma once

#include "colourvalue.h"
#include "forceinline.h"
#include "pixelcode.h"
#include "stringtableoutput.h"
#include "tabledialect.h"
#include "tableformat.h"

#include <algorithm>
#include <array>
#include <charconv>
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

// Where a table is written: a text that can be replaced whole and extended at its end. append()
// costs time in proportion to the piece, not to the whole text, and extends whatever the text
// holds at that moment (a user may have edited it).
template <typename Output>
concept TableOutput = requires(Output &output, std::string_view piece)
{
    output.setText(piece);
    output.append(piece);
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

// For runs whose progress nobody watches.
struct NoProgress
{
    void setCount(double) {}
};

// For runs with no window behind them.
struct NoEventPump
{
    void processPending() {}
};

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

// Puts numbers on Data lines for a table run: each number after a separator, or as its line's
// first after the line opener (and the line break before it, unless it is the first line). The
// separator and the line break are written only when the number that needs them comes, so the
// run never writes ahead of itself and never takes anything back: text a user types after any
// number stays where it was typed.
//
// A run keeps its writer in a local, and every member is inlined into the pixel loop: so its
// counters can stay in registers while the text's characters are stored. When every code's text
// has the same `CodeLength` (0 when they differ), the codes' characters are counted from the
// number of codes at the end rather than one by one. The dialect's pieces are constants, so that
// writing one is a fixed move, and a dialect without line numbers has no line counter.
template <TableOutput Output, std::size_t CodeLength, const TableDialect &Dialect> class LineWriter
{
public:
    // Lines of `perLine` items (at least 1); `written` counts the characters already written.
    // Where the dialect numbers its lines, the first line is number `lineStart`, each next
    // `lineStep` higher.
    LineWriter(Output &output, unsigned perLine, std::uint64_t written, std::uint64_t lineStart,
               std::uint64_t lineStep)
        : m_output(output), m_perLine(perLine), m_characters(written), m_lineNumber(lineStart),
          m_lineStep(lineStep)
    {
    }

    // Puts the next item on the line, given as its text after another number (" , &HE0"); an
    // item on a full line starts the next. `IsCode`: the text is a code's.
    template <bool IsCode> QUENZIL_FORCE_INLINE void put(std::string_view later)
    {
        // One comparison for the common case, 1 <= items on the line < perLine; 0 (no line
        // yet) wraps around.
        if (m_onLine - 1 < m_perLine - 1) {
            ++m_onLine;
            write<IsCode>(later);
            return;
        }
        startLine();
        write<false>(Dialect.lineOpener);
        // The line's first number: its text without the separator.
        constexpr std::size_t separator = Dialect.separator.size();
        write<IsCode>({later.data() + separator, later.size() - separator});
        m_onLine = 1;
    }
    // Extends the item just put with a code on the same line: a pair's code after its count.
    QUENZIL_FORCE_INLINE void extend(std::string_view later) { write<true>(later); }
    // The next item starts a line of its own.
    QUENZIL_FORCE_INLINE void endLine()
    {
        if (m_onLine != 0)
            m_onLine = m_perLine;
    }
    // A whole line of its own after its line number, the size line: "Data &B101 , &B10".
    QUENZIL_FORCE_INLINE void putLine(std::string_view line)
    {
        startLine();
        write<false>(line);
        m_onLine = m_perLine;
    }

    std::uint64_t lines() const { return m_lines; }
    // The characters written, after `codes` codes.
    std::uint64_t characters(std::uint64_t codes) const
    {
        return m_characters + codes * CodeLength;
    }

private:
    // The line break before a line (none before the first) and its number.
    QUENZIL_FORCE_INLINE void startLine()
    {
        if (m_onLine != 0)
            write<false>(Dialect.lineBreak);
        ++m_lines;
        if constexpr (Dialect.lineNumbers) {
            std::array<char, 24> number{};
            char *end =
                std::to_chars(number.data(), number.data() + number.size() - 1, m_lineNumber).ptr;
            *end++ = ' ';
            write<false>({number.data(), std::size_t(end - number.data())});
            m_lineNumber += m_lineStep;
        }
    }

    template <bool IsCode> QUENZIL_FORCE_INLINE void write(std::string_view piece)
    {
        m_output.append(piece);
        // A code's CodeLength characters are counted at the end: for a code's whole text
        // nothing is added here, for a line's first code (without its separator) the
        // separator's length is taken off (the unsigned sum wraps around and comes out right).
        m_characters += piece.size() - (IsCode ? CodeLength : 0);
    }

    Output &m_output;
    const unsigned m_perLine;
    unsigned m_onLine = 0; // items on the current line; 0 before the first line
    std::uint64_t m_lines = 0;
    std::uint64_t m_characters;
    std::uint64_t m_lineNumber;
    const std::uint64_t m_lineStep;
};

// Scans every pixel of a source, row by row from the top and left to right within a row, and
// writes the table in the given format: the label line, the size line if asked for, then
// "Data" lines of numbers.
//
// The builder keeps no copy of the text: every step extends what the output holds at that
// moment, so an edit made while events are processed is kept and extended. The height is read
// once; the width is read again at the start of every row, so a picture loaded mid-run changes
// the width of later rows but not their number (a size line reads the width once more before
// the first row). Progress is reported and the pump called after every pixel; with run-length
// pairs a pair is written when its run ends.
template <PixelSource Source, TableOutput Output, ProgressSink Progress, EventPump Pump>
class TableBuilder
{
public:
    // `format` should be sound: a valid label, 1 to maxPerLine numbers a line, an even count with
    // run-length pairs (the options check it). A run-length format with an odd perLine puts
    // perLine / 2 pairs (at least one) on a line.
    TableBuilder(Source &source, Output &output, Progress &progress, Pump &pump,
                 const TableFormat &format = {})
        : m_source(source), m_output(output), m_progress(progress), m_pump(pump),
          m_texts(NumberTexts::of(*format.dialect, format.radix)), m_format(format)
    {
    }

    // One whole run. Nothing is caught: a failure of a collaborator ends the run where it
    // stands, with the text written so far left in the output.
    void run()
    {
        m_items = 0;
        m_dataLines = 0;
        m_characters = 0;
        const std::string header = m_format.dialect->header(m_format.label, m_format.lineStart);
        m_output.setText(header);
        // The dialect's pieces and the code texts' length are constants wherever they can be,
        // so that writing one is a fixed move: one loop for each dialect and length, chosen once.
        withDialect(*m_format.dialect, [&](auto tag) {
            constexpr const TableDialect &dialect = decltype(tag)::dialect;
            const std::size_t length = m_texts.codeLength();
            if (length == codeTextLength(dialect, Radix::binary)) // " , &B11100000"
                scanWith<dialect, codeTextLength(dialect, Radix::binary)>(header.size());
            else if (length == codeTextLength(dialect, Radix::hexadecimal)) // " , &HE0"
                scanWith<dialect, codeTextLength(dialect, Radix::hexadecimal)>(header.size());
            else
                scanWith<dialect, 0>(header.size());
        });
    }

    // What the last run wrote: codes (pairs in a run-length table), Data lines (the size line
    // included) and characters (the header included).
    std::uint64_t items() const { return m_items; }
    std::uint64_t dataLines() const { return m_dataLines; }
    std::uint64_t characters() const { return m_characters; }

private:
    static constexpr std::size_t codeTextLength(const TableDialect &dialect, Radix radix)
    {
        return dialect.separator.size() + dialect.numbers(radix).prefix.size() +
               dialect.numbers(radix).codeWidth;
    }

    // A code's text: `Length` characters, or when 0 as long as it is.
    template <std::size_t Length>
    static std::string_view codeText(const NumberTexts &texts, std::uint8_t code)
    {
        if constexpr (Length == 0)
            return texts.code(code);
        else
            return {texts.codeText(code), Length};
    }

    // The steps between the pixel loop and the lines. This one puts one number for every pixel.
    template <const TableDialect &Dialect, std::size_t Length> struct Codes
    {
        LineWriter<Output, Length, Dialect> lines;
        const NumberTexts &texts;

        QUENZIL_FORCE_INLINE void take(std::uint8_t code)
        {
            lines.template put<true>(codeText<Length>(texts, code));
        }
        QUENZIL_FORCE_INLINE void endRow() { lines.endLine(); }
        QUENZIL_FORCE_INLINE void finish() {}
        std::uint64_t items(std::uint64_t pixels) const { return pixels; }
    };

    // Turns codes into pairs "count , code", one for every run of equal codes, written when
    // the run ends.
    template <const TableDialect &Dialect, std::size_t Length> struct Runs
    {
        LineWriter<Output, Length, Dialect> lines;
        const NumberTexts &texts;
        std::uint8_t code = 0;
        unsigned length = 0; // 0: no run open
        std::uint64_t pairs = 0;

        QUENZIL_FORCE_INLINE void take(std::uint8_t next)
        {
            if (length != 0 && next == code && length < TableFormat::maxRun) {
                ++length;
                return;
            }
            finish();
            code = next;
            length = 1;
        }
        // Runs end with the row, and the next row's first pair starts a line.
        QUENZIL_FORCE_INLINE void endRow()
        {
            finish();
            lines.endLine();
        }
        QUENZIL_FORCE_INLINE void finish()
        {
            if (length == 0)
                return;
            lines.template put<false>(texts.count(std::uint8_t(length)));
            lines.extend(codeText<Length>(texts, code));
            length = 0;
            ++pairs;
        }
        std::uint64_t items(std::uint64_t) const { return pairs; }
    };

    template <const TableDialect &Dialect, std::size_t Length> void scanWith(std::uint64_t written)
    {
        if (m_format.runLength)
            scan<Dialect, Runs<Dialect, Length>>(written);
        else
            scan<Dialect, Codes<Dialect, Length>>(written);
    }

    // The pixel loop: every code goes through the step (straight onto the lines, or into runs).
    template <const TableDialect &Dialect, typename Step> void scan(std::uint64_t written)
    {
        Step step{
            {m_output, itemsPerLine(m_format), written, m_format.lineStart, m_format.lineStep},
            m_texts};
        const std::int64_t lastRow = lastIndexOf(double(m_source.height()));
        if (m_format.sizeLine) {
            const std::int64_t columns = lastIndexOf(double(m_source.width())) + 1;
            step.lines.putLine(Dialect.sizeLine(std::uint64_t(columns), std::uint64_t(lastRow + 1),
                                                m_format.radix));
        }
        const bool rowLines = m_format.rowLines;
        double pixelCount = 0;
        for (std::int64_t row = 0; row <= lastRow; ++row) {
            const std::int64_t lastColumn = lastIndexOf(double(m_source.width()));
            for (std::int64_t column = 0; column <= lastColumn; ++column) {
                const std::uint8_t code = PixelCode::code(m_source.colourAt(int(column), int(row)));
                pixelCount += 1;
                m_progress.setCount(pixelCount);
                step.take(code);
                m_pump.processPending();
            }
            if (rowLines)
                step.endRow();
        }
        step.finish();
        m_items = step.items(std::uint64_t(pixelCount));
        m_dataLines = step.lines.lines();
        // Every item holds one code.
        m_characters = step.lines.characters(m_items);
    }

    Source &m_source;
    Output &m_output;
    Progress &m_progress;
    Pump &m_pump;
    const NumberTexts &m_texts;
    const TableFormat m_format;
    std::uint64_t m_items = 0;
    std::uint64_t m_dataLines = 0;
    std::uint64_t m_characters = 0;
};

// Builds the table of a source into memory, with no window to serve.
template <PixelSource Source>
std::string buildTableText(Source &source, const TableFormat &format = {})
{
    StringTableOutput output;
    const std::int64_t columns = lastIndexOf(double(source.width())) + 1;
    const std::int64_t rows = lastIndexOf(double(source.height())) + 1;
    output.reserve(tableLength(format, std::size_t(columns), std::size_t(rows)));
    NoProgress progress;
    NoEventPump pump;
    TableBuilder(source, output, progress, pump, format).run();
    return output.takeText();
}

} // namespace quenzil
