#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

namespace algorithm {

/// The producer end of a `Channel`: hands elements over into an unbounded buffer.
template <class T>
class ChannelSink {
public:
    /// Appends `value` to the buffer; false (and the value dropped) once the consumer is gone.
    bool yield(T value) {
        {
            const std::scoped_lock lock(m_state->mutex);
            if (m_stop.stop_requested()) {
                return false;
            }
            m_state->buffer.push_back(std::move(value));
        }
        m_state->ready.notify_one();
        return true;
    }

    /// True once the consumer has dropped the channel; the producer may stop early.
    bool isCancelled() const noexcept { return m_stop.stop_requested(); }

private:
    template <class>
    friend class Channel;

    struct State {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<T> buffer;
        bool finished = false;
    };

    ChannelSink(std::shared_ptr<State> state, std::stop_token stop)
        : m_state(std::move(state)), m_stop(std::move(stop)) {}

    std::shared_ptr<State> m_state;
    std::stop_token m_stop;
};

/// A stream of elements fed by one producer thread and read by one consumer; dropping the channel
/// asks the producer to stop and joins its thread, so the thread never outlives the channel.
template <class T>
class Channel {
public:
    /// Starts `produce(sink)` on a thread of its own; the stream finishes when it returns (or
    /// throws, the exception being dropped at the thread's edge).
    template <class F>
        requires std::invocable<F&, ChannelSink<T>&>
    explicit Channel(F produce) : m_state(std::make_shared<State>()) {
        m_producer = std::jthread(
            [state = m_state, produce = std::move(produce)](std::stop_token stop) mutable {
                ChannelSink<T> sink(state, std::move(stop));
                try {
                    produce(sink);
                } catch (...) { // NOLINT(bugprone-empty-catch): no caller on this thread to tell
                }
                {
                    const std::scoped_lock lock(state->mutex);
                    state->finished = true;
                }
                state->ready.notify_all();
            });
    }

    Channel(Channel&&) noexcept = default;
    Channel& operator=(Channel&&) noexcept = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    /// Stops and joins the producer.
    ~Channel() = default;

    /// The next element, waiting for one; absent once the producer finished and the buffer is
    /// drained.
    std::optional<T> next() {
        std::unique_lock lock(m_state->mutex);
        m_state->ready.wait(lock, [&] { return !m_state->buffer.empty() || m_state->finished; });
        if (m_state->buffer.empty()) {
            return std::nullopt;
        }
        std::optional<T> value(std::move(m_state->buffer.front()));
        m_state->buffer.pop_front();
        return value;
    }

private:
    using State = typename ChannelSink<T>::State;

    // Declared before the thread so the thread is stopped and joined first.
    std::shared_ptr<State> m_state;
    std::jthread m_producer;
};

} // namespace algorithm
