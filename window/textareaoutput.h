#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace quenzil {

// The table's working text held in a text area.
//
// Appending a piece to a QTextDocument costs far more than the piece itself, so appended text
// waits in a pending buffer and reaches the area in one insertion at its end when flush() is
// called. A run flushes before every pass of event processing and at its end, so whenever the
// user can see or edit the area it holds the whole text produced so far; the pending buffer is
// empty again by then, and the next pieces extend whatever the area holds.
//
// The area keeps line breaks as block or line separators (a flush puts several lines into one
// block, which the document handles far faster); text() gives each one back as CR LF, and a
// cut counts it as those two characters. A cut that reaches a line break removes it whole, so a
// cut of two characters after "ab" CR LF "c" leaves "ab": a break is never split into a lone CR.
//
// Text moved in by a flush is not recorded for undo (the record would cost as much memory as the
// text, and undoing half a table makes no sense); like replacing the text, a flush clears the
// area's undo history.
class TextAreaOutput
{
public:
    explicit TextAreaOutput(QPlainTextEdit &area);

    // The area's whole text, line breaks as CR LF, in UTF-8.
    std::string text();
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
    // Removes the last `count` characters; on a shorter text, all of it.
    void cutTail(std::size_t count);
    // Moves the pending text into the area.
    void flush();
    // Bytes waiting for the next flush.
    std::size_t pendingSize() const { return m_pending.size(); }

private:
    void appendWithBreaks(std::string_view piece);
    void cutInArea(std::size_t count);

    // Lines a flush puts into one block of the document before it starts the next.
    static constexpr int linesPerBlock = 32;

    QPlainTextEdit &m_area;
    int m_linesInBlock = 0;
    // Appended text not yet in the area, line breaks as a single '\n'.
    std::string m_pending;
};

} // namespace quenzil
