#include "core/leaks_detector.hpp"

#include "core/log.hpp"

#include <cxxabi.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace core::VtMemoryLeaksDetector {

namespace {

std::mutex& executorMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<Executor>& executorSlot() {
    static std::shared_ptr<Executor> slot;
    return slot;
}

constexpr auto kPassInterval = std::chrono::nanoseconds(500000000);

void runPass(const std::string& key, std::shared_ptr<Session> session, std::int64_t pass,
             std::int64_t passes);

void schedulePass(const std::string& key, std::shared_ptr<Session> session, std::int64_t pass,
                  std::int64_t passes) {
    auto job = [key, session, pass, passes] { runPass(key, session, pass, passes); };
    try {
        executor()->postAfter(std::chrono::duration_cast<Duration>(kPassInterval), job);
    } catch (const std::exception&) {
        // The wait could not be had: say so and run the pass at once.
        Log::warning("Something wrong with the leaks report",
                     LogLocation{"leaksReport(until:)", __FILE__, 89});
        job();
    }
}

void runPass(const std::string& key, std::shared_ptr<Session> session, std::int64_t pass,
             std::int64_t passes) {
    session->checkAndReport(pass >= passes - 1);
    if (session->isEmpty() || pass + 1 >= passes) {
        Manager::shared().removeSession(key);
        return;
    }
    schedulePass(key, std::move(session), pass + 1, passes);
}

} // namespace

void Session::track(const std::shared_ptr<const void>& object, std::string description) {
    std::lock_guard lock(m_mutex);
    for (const auto& entry : m_trackedObjects) {
        if (auto live = entry.object.lock(); live && live.get() == object.get()) {
            return;
        }
    }
    m_trackedObjects.push_back({std::move(description), object, false});
}

void Session::checkAndReport(bool reportLeaks) {
    // The lines name this file and the lines the report's readers know them by.
    static constexpr LogLocation kReleased{"checkAndReport(reportLeaks:)", __FILE__, 45};
    static constexpr LogLocation kLeaked{"checkAndReport(reportLeaks:)", __FILE__, 51};
    std::vector<std::pair<LogLevel, std::string>> lines;
    {
        std::lock_guard lock(m_mutex);
        bool allReleased = true;
        for (auto& entry : m_trackedObjects) {
            if (!entry.object.expired()) {
                allReleased = false;
                if (reportLeaks) {
                    lines.emplace_back(LogLevel::error,
                                       "\U0001F9E8 " + entry.description + " (not deallocated)");
                }
            } else if (!entry.reported) {
                lines.emplace_back(LogLevel::debug, "\u267B\uFE0F " + entry.description);
                entry.reported = true;
            }
        }
        if (allReleased) {
            m_trackedObjects.clear();
        }
    }
    for (const auto& [level, text] : lines) {
        writeLogLine(level, text, level == LogLevel::error ? kLeaked : kReleased);
    }
}

std::vector<VtLeakTrackObject> Session::trackedObjects() const {
    std::lock_guard lock(m_mutex);
    return m_trackedObjects;
}

bool Session::isEmpty() const {
    std::lock_guard lock(m_mutex);
    return m_trackedObjects.empty();
}

Manager& Manager::shared() {
    static Manager* manager = new Manager(); // lives for the rest of the process
    return *manager;
}

std::shared_ptr<Session> Manager::session(const std::string& key) {
    std::lock_guard lock(m_mutex);
    auto& slot = m_sessions[key];
    if (!slot) {
        slot = std::make_shared<Session>();
    }
    return slot;
}

void Manager::removeSession(const std::string& key) {
    std::lock_guard lock(m_mutex);
    m_sessions.erase(key);
}

std::shared_ptr<Session> Manager::existingSession(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_sessions.find(key);
    return found == m_sessions.end() ? nullptr : found->second;
}

std::shared_ptr<Executor> executor() {
    std::lock_guard lock(executorMutex());
    return executorSlot() ? executorSlot() : background();
}

void setExecutor(std::shared_ptr<Executor> replacement) {
    std::lock_guard lock(executorMutex());
    executorSlot() = std::move(replacement);
}

std::string typeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    const std::string full = (status == 0 && demangled) ? demangled.get() : type.name();
    // Drop every qualifier ("name::" or "(anonymous namespace)::"), keeping template arguments.
    static constexpr std::string_view kAnonymous = "(anonymous namespace)";
    std::string name;
    std::size_t i = 0;
    while (i < full.size()) {
        std::size_t end = i;
        if (full.compare(i, kAnonymous.size(), kAnonymous) == 0) {
            end = i + kAnonymous.size();
        } else {
            while (end < full.size() &&
                   (std::isalnum(static_cast<unsigned char>(full[end])) != 0 || full[end] == '_')) {
                ++end;
            }
        }
        if (end > i && full.compare(end, 2, "::") == 0) {
            i = end + 2;
        } else if (end > i) {
            name.append(full, i, end - i);
            i = end;
        } else {
            name.push_back(full[i++]);
        }
    }
    return name;
}

void track(const std::string& key,
           std::vector<std::pair<std::shared_ptr<const void>, std::string>> objects) {
    executor()->post([key, objects = std::move(objects)]() mutable {
        auto session = Manager::shared().session(key);
        for (auto& [object, description] : objects) {
            session->track(object, std::move(description));
        }
        // The job held the objects until now; from here on only weak references remain.
        objects.clear();
    });
}

void report(const std::string& key, std::int64_t until) {
    std::int64_t passes = 0;
    if (__builtin_mul_overflow(until, std::int64_t{2}, &passes)) {
        passes = until < 0 ? INT64_MIN : INT64_MAX;
    }
    executor()->post([key, passes] {
        auto session = Manager::shared().session(key);
        if (passes < 1) {
            Manager::shared().removeSession(key);
            return;
        }
        schedulePass(key, std::move(session), 0, passes);
    });
}

} // namespace core::VtMemoryLeaksDetector
