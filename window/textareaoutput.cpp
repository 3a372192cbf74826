#include "textareaoutput.h"

#include <QPlainTextEdit>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace quenzil {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A block separator or a typed line separator: both read back as CR LF.
bool isLineBreak(QChar character)
{
    return character == QChar::ParagraphSeparator || character == QChar::LineSeparator;
}

} // namespace

TextAreaOutput::TextAreaOutput(QPlainTextEdit &area) : m_area(area) {}

std::string TextAreaOutput::text()
{
    flush();
    QString plain = m_area.toPlainText(); // line breaks come as '\n'
    plain.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return plain.toStdString();
}

void TextAreaOutput::setText(std::string_view text)
{
    m_pending.clear();
    QString plain = fromUtf8(text);
    // The document would make two blocks of CR LF; one line break is meant.
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_area.setPlainText(plain);
}

void TextAreaOutput::appendWithBreaks(std::string_view piece)
{
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '\r' && i + 1 < piece.size() && piece[i + 1] == '\n')
            continue; // CR LF is kept as its '\n'
        m_pending.push_back(piece[i] == '\r' ? '\n' : piece[i]);
    }
}

void TextAreaOutput::cutTail(std::size_t count)
{
    while (count > 0 && !m_pending.empty()) {
        std::size_t last = m_pending.size() - 1;
        // A character of several UTF-8 bytes goes as one.
        while (last > 0 && (static_cast<unsigned char>(m_pending[last]) & 0xC0u) == 0x80u)
            --last;
        const std::size_t width = m_pending[last] == '\n' ? 2 : 1;
        m_pending.resize(last);
        count -= std::min(width, count);
    }
    if (count > 0)
        cutInArea(count);
}

void TextAreaOutput::cutInArea(std::size_t count)
{
    QTextDocument *document = m_area.document();
    const int end = document->characterCount() - 1; // past the last character
    int position = end;
    while (count > 0 && position > 0) {
        const QChar character = document->characterAt(position - 1);
        std::size_t width = 1;
        int step = 1;
        if (isLineBreak(character)) {
            width = 2;
        } else if (character.isLowSurrogate() && position >= 2 &&
                   document->characterAt(position - 2).isHighSurrogate()) {
            step = 2; // never leave half of a surrogate pair behind
        }
        position -= step;
        count -= std::min(width, count);
    }
    if (position == end)
        return;
    QTextCursor cursor(document);
    cursor.setPosition(position);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void TextAreaOutput::flush()
{
    if (m_pending.empty())
        return;
    QTextDocument *document = m_area.document();
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
}

} // namespace quenzil
