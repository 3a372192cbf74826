#pragma once

#include "forceinline.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace quenzil {

// A table output held in memory: a TableOutput whose text can be read back or taken whole.
class StringTableOutput
{
public:
    std::string_view text() const { return {m_buffer.data(), m_length}; }
    void setText(std::string_view text)
    {
        m_length = 0;
        append(text);
    }
    // Inlined so that appending an entry of known length is a couple of moves, not a call.
    QUENZIL_FORCE_INLINE void append(std::string_view piece)
    {
        if (m_buffer.size() - m_length < piece.size())
            grow(piece.size());
        std::memcpy(m_buffer.data() + m_length, piece.data(), piece.size());
        m_length += piece.size();
    }
    void reserve(std::size_t capacity)
    {
        if (capacity > m_buffer.size())
            m_buffer.resize(capacity);
    }
    std::string takeText()
    {
        m_buffer.resize(m_length);
        m_length = 0;
        return std::move(m_buffer);
    }

private:
    void grow(std::size_t needed) { reserve(std::max(m_length + needed, 2 * m_buffer.size())); }

    // The text is the first m_length characters; the rest is room to grow into.
    std::string m_buffer;
    std::size_t m_length = 0;
};

} // namespace quenzil
