#include "streamtableoutput.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quenzil {

StreamTableOutput::StreamTableOutput(Sink sink, std::size_t chunkSize)
    : m_sink(std::move(sink)), m_chunkSize(std::max<std::size_t>(chunkSize, 1)),
      m_buffer(new char[m_chunkSize + heldBack]), m_capacity(m_chunkSize + heldBack)
{
}

StreamTableOutput::~StreamTableOutput() = default;

void StreamTableOutput::setText(std::string_view text)
{
    if (m_handedOn)
        throw std::logic_error("the table text has already been handed on");
    m_length = 0;
    append(text);
}

void StreamTableOutput::cutTail(std::size_t count)
{
    if (count > m_length && m_handedOn)
        throw std::logic_error("cannot cut text that has already been handed on");
    m_length -= std::min(count, m_length);
}

void StreamTableOutput::makeRoom(std::size_t needed)
{
    // Hand on all but the held-back tail, and move the tail to the front.
    if (m_length > heldBack) {
        const std::size_t keep = heldBack;
        handOn({m_buffer.get(), m_length - keep});
        std::memmove(m_buffer.get(), m_buffer.get() + m_length - keep, keep);
        m_length = keep;
    }
    if (m_capacity - m_length < needed) {
        // A piece larger than a chunk: grow rather than split it.
        const std::size_t capacity = m_length + needed + m_chunkSize;
        std::unique_ptr<char[]> bigger(new char[capacity]);
        std::memcpy(bigger.get(), m_buffer.get(), m_length);
        m_buffer = std::move(bigger);
        m_capacity = capacity;
    }
}

void StreamTableOutput::handOn(std::string_view chunk)
{
    m_handedOn = true;
    if (m_ok && !chunk.empty())
        m_ok = m_sink(chunk);
}

bool StreamTableOutput::finish()
{
    handOn({m_buffer.get(), m_length});
    m_length = 0;
    return m_ok;
}

} // namespace quenzil
