#include "streamtableoutput.h"

#include <algorithm>
#include <stdexcept>

namespace quenzil {

StreamTableOutput::StreamTableOutput(Sink sink, std::size_t chunkSize)
    : m_sink(std::move(sink)), m_chunkSize(std::max<std::size_t>(chunkSize, 1)),
      m_buffer(new char[m_chunkSize])
{
}

void StreamTableOutput::setText(std::string_view text)
{
    if (m_handedOn)
        throw std::logic_error("the table text has already been handed on");
    m_length = 0;
    append(text);
}

void StreamTableOutput::handOnAndAppend(std::string_view piece)
{
    handOn(text());
    m_length = 0;
    // A piece larger than a chunk goes on by itself rather than split.
    if (piece.size() > m_chunkSize)
        return handOn(piece);
    std::char_traits<char>::copy(m_buffer.get(), piece.data(), piece.size());
    m_length = piece.size();
}

void StreamTableOutput::handOn(std::string_view chunk)
{
    m_handedOn = true;
    if (m_ok && !chunk.empty())
        m_ok = m_sink(chunk);
}

bool StreamTableOutput::finish()
{
    handOn(text());
    m_length = 0;
    return m_ok;
}

} // namespace quenzil
