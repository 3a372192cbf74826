#pragma once

#include "forceinline.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quenzil {

// A table output that hands its text on to a sink (a file, a pipe) in large chunks as it grows,
// so a table of hundreds of megabytes never sits in memory whole. It holds back the last few
// characters, which is all a run ever cuts (the separator it has just appended), so cutTail()
// works as long as nothing else edits the text: text() shows only what is still held.
//
// The sink gets each chunk once, in order, and answers false when it could not take it; from
// then on nothing more is handed on and finish() reports the failure.
//
// Handed on in a thread of its own, the sink writes one chunk while the run fills the next, so
// building and writing overlap. The sink is then called from that thread only, and must not be
// used by anyone else until finish() has returned or the output is destroyed. At most three
// chunks exist at a time: when the sink is slower than the run, the run waits for it.
class StreamTableOutput
{
public:
    using Sink = std::function<bool(std::string_view chunk)>;
    enum class HandOn { inCallersThread, inThreadOfItsOwn };

    static constexpr std::size_t defaultChunkSize = std::size_t(1) << 20;
    // Characters kept back from the sink: more than any cut a table run makes.
    static constexpr std::size_t heldBack = 16;

    explicit StreamTableOutput(Sink sink, std::size_t chunkSize = defaultChunkSize,
                               HandOn handOn = HandOn::inCallersThread);
    ~StreamTableOutput();
    StreamTableOutput(const StreamTableOutput &) = delete;
    StreamTableOutput &operator=(const StreamTableOutput &) = delete;

    // The part of the text not yet handed on.
    std::string_view text() const { return {m_buffer.get(), m_length}; }
    // Starts the text afresh. Throws std::logic_error once part of it has been handed on.
    void setText(std::string_view text);
    QUENZIL_FORCE_INLINE void append(std::string_view piece)
    {
        if (m_capacity - m_length < piece.size())
            makeRoom(piece.size());
        std::char_traits<char>::copy(m_buffer.get() + m_length, piece.data(), piece.size());
        m_length += piece.size();
    }
    // Throws std::logic_error when the cut reaches into text already handed on.
    void cutTail(std::size_t count);

    // Hands on the rest of the text and waits until the sink has taken it. True when the sink
    // took every chunk.
    bool finish();
    // False once the sink has refused a chunk.
    bool ok() const;

private:
    class Writer;

    void makeRoom(std::size_t needed);
    void handOn(std::string_view chunk);
    void grow(std::size_t needed);

    Sink m_sink;
    std::size_t m_chunkSize;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_length = 0;
    bool m_handedOn = false; // some text has gone to the sink
    bool m_ok = true;
    std::unique_ptr<Writer> m_writer; // when handing on in a thread of its own
};

} // namespace quenzil
