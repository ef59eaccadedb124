#pragma once

#include <atomic>
#include <cassert>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace document {

/// The model's lock: a labelled, non-re-entrant mutex that runs a callable while holding it.
class GCDLocker {
public:
    /// Creates an unlocked locker named `label` (the label serves diagnostics only).
    explicit GCDLocker(std::string label) : m_label(std::move(label)) {}
    GCDLocker(const GCDLocker&) = delete;
    GCDLocker& operator=(const GCDLocker&) = delete;

    /// The label given at creation.
    const std::string& label() const noexcept { return m_label; }

    /// Runs `work` under the lock and returns its result; calling it again from inside `work`
    /// on the same locker is a programming error (asserted in debug builds).
    template <class F>
    decltype(auto) sync(F&& work) {
        assert(m_owner.load(std::memory_order_relaxed) != std::this_thread::get_id() &&
               "GCDLocker::sync re-entered");
        std::lock_guard lock(m_mutex);
        const OwnerMark mark(m_owner);
        return std::forward<F>(work)();
    }

private:
    struct OwnerMark {
        explicit OwnerMark(std::atomic<std::thread::id>& owner) : m_slot(owner) {
            m_slot.store(std::this_thread::get_id(), std::memory_order_relaxed);
        }
        ~OwnerMark() { m_slot.store(std::thread::id(), std::memory_order_relaxed); }
        OwnerMark(const OwnerMark&) = delete;
        OwnerMark& operator=(const OwnerMark&) = delete;
        std::atomic<std::thread::id>& m_slot;
    };

    std::string m_label;
    std::mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
};

} // namespace document
