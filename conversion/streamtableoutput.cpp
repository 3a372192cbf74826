#include "streamtableoutput.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quenzil {

// The thread that hands filled chunks on to the sink, and the buffers passed to and fro.
class StreamTableOutput::Writer
{
public:
    struct Buffer
    {
        std::unique_ptr<char[]> data;
        std::size_t capacity = 0;
        std::size_t length = 0;
    };

    static constexpr std::size_t maxBuffers = 3;

    explicit Writer(Sink &sink) : m_sink(sink), m_thread([this] { work(); }) {}

    ~Writer()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
            m_abandoned = true; // nothing more is written once the output is given up
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    // Queues a filled buffer and gives back an empty one of at least `capacity`, waiting while
    // every buffer is taken.
    Buffer exchange(Buffer filled, std::size_t capacity)
    {
        std::unique_lock lock(m_mutex);
        m_queue.push_back(std::move(filled));
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_free.empty() || m_buffers < maxBuffers; });
        Buffer empty;
        if (!m_free.empty()) {
            empty = std::move(m_free.back());
            m_free.pop_back();
        } else {
            ++m_buffers;
        }
        lock.unlock();
        if (empty.capacity < capacity) {
            empty.data.reset(new char[capacity]);
            empty.capacity = capacity;
        }
        empty.length = 0;
        return empty;
    }

    // Queues the last buffer and waits until everything queued is written.
    bool finish(Buffer last)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(last));
            m_closing = true;
        }
        m_changed.notify_all();
        m_thread.join();
        return m_ok;
    }

    bool ok() const
    {
        const std::lock_guard lock(m_mutex);
        return m_ok;
    }

private:
    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
            if (m_queue.empty() || m_abandoned)
                return;
            Buffer buffer = std::move(m_queue.front());
            m_queue.pop_front();
            const bool write = m_ok;
            lock.unlock();
            bool taken = true;
            if (write && buffer.length > 0)
                taken = m_sink({buffer.data.get(), buffer.length});
            lock.lock();
            m_ok = m_ok && taken;
            m_free.push_back(std::move(buffer));
            m_changed.notify_all();
        }
    }

    Sink &m_sink;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Buffer> m_queue;
    std::vector<Buffer> m_free;
    std::size_t m_buffers = 1; // the one being filled counts
    bool m_closing = false;
    bool m_abandoned = false;
    bool m_ok = true;
    std::thread m_thread; // last, so that it starts once everything else is there
};

StreamTableOutput::StreamTableOutput(Sink sink, std::size_t chunkSize, HandOn handOn)
    : m_sink(std::move(sink)), m_chunkSize(std::max<std::size_t>(chunkSize, 1)),
      m_buffer(new char[m_chunkSize + heldBack]), m_capacity(m_chunkSize + heldBack)
{
    if (handOn == HandOn::inThreadOfItsOwn)
        m_writer = std::make_unique<Writer>(m_sink);
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
    // Hand on all but the held-back tail, and keep the tail at the front.
    if (m_length > heldBack && m_writer) {
        m_handedOn = true;
        char tail[heldBack];
        std::memcpy(tail, m_buffer.get() + m_length - heldBack, heldBack);
        Writer::Buffer filled{std::move(m_buffer), m_capacity, m_length - heldBack};
        Writer::Buffer empty = m_writer->exchange(
            std::move(filled), std::max(m_chunkSize + heldBack, heldBack + needed));
        std::memcpy(empty.data.get(), tail, heldBack);
        m_buffer = std::move(empty.data);
        m_capacity = empty.capacity;
        m_length = heldBack;
    } else if (m_length > heldBack) {
        const std::size_t keep = heldBack;
        handOn({m_buffer.get(), m_length - keep});
        std::memmove(m_buffer.get(), m_buffer.get() + m_length - keep, keep);
        m_length = keep;
    }
    if (m_capacity - m_length < needed)
        grow(needed);
}

void StreamTableOutput::grow(std::size_t needed)
{
    // A piece larger than a chunk: grow rather than split it.
    const std::size_t capacity = m_length + needed + m_chunkSize;
    std::unique_ptr<char[]> bigger(new char[capacity]);
    std::memcpy(bigger.get(), m_buffer.get(), m_length);
    m_buffer = std::move(bigger);
    m_capacity = capacity;
}

void StreamTableOutput::handOn(std::string_view chunk)
{
    m_handedOn = true;
    if (m_ok && !chunk.empty())
        m_ok = m_sink(chunk);
}

bool StreamTableOutput::finish()
{
    if (m_writer) {
        m_handedOn = true;
        Writer::Buffer last{std::move(m_buffer), m_capacity, m_length};
        m_ok = m_writer->finish(std::move(last));
        m_writer.reset();
        m_buffer.reset(new char[m_chunkSize + heldBack]);
        m_capacity = m_chunkSize + heldBack;
        m_length = 0;
        return m_ok;
    }
    handOn({m_buffer.get(), m_length});
    m_length = 0;
    return m_ok;
}

bool StreamTableOutput::ok() const
{
    return m_writer ? m_writer->ok() : m_ok;
}

} // namespace quenzil
