#pragma once

#include "forceinline.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quenzil {

// A table output that hands its text on to a sink (a file, a pipe) in chunks as it grows, so a
// table of hundreds of megabytes never sits in memory whole: it holds at most one chunk.
//
// The sink gets each chunk once, in order, and answers false when it could not take it; from
// then on nothing more is handed on and finish() reports the failure.
class StreamTableOutput
{
public:
    using Sink = std::function<bool(std::string_view chunk)>;

    static constexpr std::size_t defaultChunkSize = std::size_t(1) << 20;

    explicit StreamTableOutput(Sink sink, std::size_t chunkSize = defaultChunkSize);

    // The part of the text not yet handed on.
    std::string_view text() const { return {m_buffer.get(), m_length}; }
    // Starts the text afresh. Throws std::logic_error once part of it has been handed on.
    void setText(std::string_view text);
    QUENZIL_FORCE_INLINE void append(std::string_view piece)
    {
        if (m_chunkSize - m_length < piece.size())
            return handOnAndAppend(piece);
        std::char_traits<char>::copy(m_buffer.get() + m_length, piece.data(), piece.size());
        m_length += piece.size();
    }

    // Hands on the rest of the text. True when the sink took every chunk.
    bool finish();

private:
    void handOnAndAppend(std::string_view piece);
    void handOn(std::string_view chunk);

    Sink m_sink;
    std::size_t m_chunkSize;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_length = 0;
    bool m_handedOn = false; // some text has gone to the sink
    bool m_ok = true;
};

} // namespace quenzil
