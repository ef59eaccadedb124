#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>

namespace core {

/// Where a log line comes from: written in the location block of warning, error and fatal lines.
struct LogLocation {
    std::string_view function;
    std::string_view file;
    std::int64_t line = 0;

    /// The location of a call site, as the compiler reports it.
    static constexpr LogLocation from(const std::source_location& location) noexcept {
        return {location.function_name(), location.file_name(),
                static_cast<std::int64_t>(location.line())};
    }
    /// The call site's file and line under the name of the operation it belongs to, written as
    /// the library's callers know it (e.g. "update(content:)"); `operation` must outlive the
    /// location, as a string literal does.
    static constexpr LogLocation
    named(std::string_view operation,
          const std::source_location& at = std::source_location::current()) noexcept {
        return {operation, at.file_name(), static_cast<std::int64_t>(at.line())};
    }
};

/// The six log levels, each with its fixed marker and word.
enum class LogLevel { verbose, debug, info, warning, error, fatal };

/// The line a call at `level` writes, without its terminating line feed.
std::string formatLogLine(LogLevel level, std::string_view message, const LogLocation& location);

/// Writes one whole line (line and line feed) to standard output in a single write.
void writeLogLine(LogLevel level, std::string_view message, const LogLocation& location);

namespace detail {
template <class M>
void logMessage(LogLevel level, M&& message, const LogLocation& location) {
    if constexpr (std::invocable<M>) {
        const std::string text(std::forward<M>(message)());
        writeLogLine(level, text, location);
    } else {
        writeLogLine(level, std::string_view(message), location);
    }
}
} // namespace detail

/// Anything a log operation accepts as its message: text, or a callable returning text.
template <class M>
concept LogMessage =
    std::convertible_to<M, std::string_view> || (std::invocable<M> && requires(M m) {
        { std::string(m()) };
    });

/// The logging front end: every call writes exactly one line to standard output, at any level.
/// Messages that are callables are evaluated exactly once.
struct Log {
    template <LogMessage M>
    static void verbose(M&& m,
                        LogLocation at = LogLocation::from(std::source_location::current())) {
        detail::logMessage(LogLevel::verbose, std::forward<M>(m), at);
    }
    template <LogMessage M>
    static void debug(M&& m, LogLocation at = LogLocation::from(std::source_location::current())) {
        detail::logMessage(LogLevel::debug, std::forward<M>(m), at);
    }
    template <LogMessage M>
    static void info(M&& m, LogLocation at = LogLocation::from(std::source_location::current())) {
        detail::logMessage(LogLevel::info, std::forward<M>(m), at);
    }
    template <LogMessage M>
    static void warning(M&& m,
                        LogLocation at = LogLocation::from(std::source_location::current())) {
        detail::logMessage(LogLevel::warning, std::forward<M>(m), at);
    }
    template <LogMessage M>
    static void error(M&& m, LogLocation at = LogLocation::from(std::source_location::current())) {
        detail::logMessage(LogLevel::error, std::forward<M>(m), at);
    }
    /// Writes a "severe" line and returns normally; the caller decides whether to stop.
    template <LogMessage M>
    static void fatal(M&& m, LogLocation at = LogLocation::from(std::source_location::current())) {
        detail::logMessage(LogLevel::fatal, std::forward<M>(m), at);
    }
};

/// An error's log message: "<description> - <localized description>", or the latter alone when
/// the description is absent or empty.
std::string errorLogMessage(const std::exception& error,
                            const std::optional<std::string_view>& description);

/// Logs `error` at error level, with location block.
void logError(const std::exception& error, std::optional<std::string_view> description = {},
              LogLocation at = LogLocation::from(std::source_location::current()));
/// Logs `error` at warning level, with location block.
void logWarning(const std::exception& error, std::optional<std::string_view> description = {},
                LogLocation at = LogLocation::from(std::source_location::current()));
/// Logs `error` at debug level; the location is accepted like the other levels' and not written.
void logDebug(const std::exception& error, std::optional<std::string_view> description = {},
              LogLocation at = LogLocation::from(std::source_location::current()));
/// Logs `error` at info level; the location is accepted like the other levels' and not written.
void logInfo(const std::exception& error, std::optional<std::string_view> description = {},
             LogLocation at = LogLocation::from(std::source_location::current()));

/// Location block used by `logged`: this module's own, whatever the caller.
LogLocation loggedLocation() noexcept;

/// Logs `error` at error level and returns it unchanged, so `throw core::logged(e)` keeps its type.
template <class E>
    requires std::derived_from<E, std::exception>
E logged(const E& error, std::optional<std::string_view> description = {}) {
    writeLogLine(LogLevel::error, errorLogMessage(error, description), loggedLocation());
    return error;
}

} // namespace core
