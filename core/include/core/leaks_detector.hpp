#pragma once

#include "core/executor.hpp"

#include <concepts>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <vector>

/// A development aid: objects that ought to go away are tracked weakly under a session key, and a
/// report logs each one that was released and each one still alive at the end.
namespace core::VtMemoryLeaksDetector {

/// One tracked object: its description for the log, a weak reference, and whether its release
/// has been logged.
struct VtLeakTrackObject {
    std::string description;
    std::weak_ptr<const void> object;
    bool reported = false;
};

/// The objects tracked under one key. Safe to use from several threads.
class Session {
public:
    /// Tracks `object` unless an entry already refers to that very live object.
    void track(const std::shared_ptr<const void>& object, std::string description);
    /// One check: logs "♻️ <description>" once per released object and, when `reportLeaks`,
    /// "🧨 <description> (not deallocated)" per live one; empties the list when all are released.
    void checkAndReport(bool reportLeaks);
    /// The tracked entries (a copy).
    std::vector<VtLeakTrackObject> trackedObjects() const;
    /// True when nothing is tracked.
    bool isEmpty() const;

private:
    mutable std::mutex m_mutex;
    std::vector<VtLeakTrackObject> m_trackedObjects;
};

/// The one process-wide registry of sessions.
class Manager {
public:
    /// The shared manager, created on first use and never released.
    static Manager& shared();
    /// The session under `key`, created empty when missing.
    std::shared_ptr<Session> session(const std::string& key);
    /// Drops the session under `key`, if any.
    void removeSession(const std::string& key);
    /// The session under `key` without creating one.
    std::shared_ptr<Session> existingSession(const std::string& key) const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, std::shared_ptr<Session>> m_sessions;
};

/// Where the detector's work runs (the background pool unless replaced, e.g. by a test's manual
/// run loop, whose virtual clock then times the half-second passes).
std::shared_ptr<Executor> executor();
/// Replaces the executor; nullptr restores the background pool.
void setExecutor(std::shared_ptr<Executor> executor);

/// The type name used when no description is given: the demangled dynamic type, without
/// namespaces.
std::string typeName(const std::type_info& type);

/// Starts tracking `objects` under `key` (in order) as a job on the detector's executor.
void track(const std::string& key,
           std::vector<std::pair<std::shared_ptr<const void>, std::string>> objects);
/// Starts the report for `key`: `until` × 2 half-second passes, the last one logging leaks, an
/// early stop once everything is released, then the session is removed. `until` ≤ 0 only
/// removes the session.
void report(const std::string& key, std::int64_t until);

} // namespace core::VtMemoryLeaksDetector

namespace core {

/// An object that names the session its tracked objects belong to.
template <class T>
concept VtMemoryLeaksDetectable = requires(const T& t) {
    { t.leaksSessionKey() } -> std::convertible_to<std::string>;
};

/// Tracks each of `objects` in `detectable`'s session, described by its type name; no objects
/// creates no session.
template <VtMemoryLeaksDetectable D, class... Objects>
void leaksTrack(const D& detectable, const std::shared_ptr<Objects>&... objects) {
    if constexpr (sizeof...(Objects) > 0) {
        std::vector<std::pair<std::shared_ptr<const void>, std::string>> entries;
        (entries.emplace_back(std::shared_ptr<const void>(objects),
                              objects ? VtMemoryLeaksDetector::typeName(typeid(*objects))
                                      : std::string()),
         ...);
        VtMemoryLeaksDetector::track(std::string(detectable.leaksSessionKey()), std::move(entries));
    }
}

/// Tracks `object` in `detectable`'s session under `description` (its type name when absent).
template <VtMemoryLeaksDetectable D, class T>
void leaksTrack(const D& detectable, const std::shared_ptr<T>& object,
                std::optional<std::string> description) {
    std::string text =
        description ? std::move(*description)
                    : (object ? VtMemoryLeaksDetector::typeName(typeid(*object)) : std::string());
    VtMemoryLeaksDetector::track(std::string(detectable.leaksSessionKey()),
                                 {{std::shared_ptr<const void>(object), std::move(text)}});
}

/// Reports on `detectable`'s session for up to `until` seconds.
template <VtMemoryLeaksDetectable D>
void leaksReport(const D& detectable, std::int64_t until) {
    VtMemoryLeaksDetector::report(std::string(detectable.leaksSessionKey()), until);
}

} // namespace core
