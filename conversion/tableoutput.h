#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace quenzil {

// Where a table is written: a text that can be read and replaced whole, extended at its end and
// cut at its end. append() and cutTail() cost time in proportion to the piece, not to the whole
// text, and act on whatever the text holds at that moment (a user may have edited it).
// cutTail(n) on a text of fewer than n characters empties it.
template <typename Output>
concept TableOutput = requires(Output &output, std::string_view piece, std::size_t count)
{
    {
        output.text()
        } -> std::convertible_to<std::string_view>;
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

// A table output held in memory, for the command line and the tests.
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
    void append(std::string_view piece)
    {
        if (m_buffer.size() - m_length < piece.size())
            grow(piece.size());
        std::memcpy(m_buffer.data() + m_length, piece.data(), piece.size());
        m_length += piece.size();
    }
    void cutTail(std::size_t count) { m_length -= std::min(count, m_length); }
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

} // namespace quenzil
