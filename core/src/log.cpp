#include "core/log.hpp"

#include "core/error.hpp"

#include <cstdio>

namespace core {

namespace {
struct LevelStyle {
    std::string_view marker;
    std::string_view word;
    bool located;
};

constexpr LevelStyle style(LogLevel level) {
    switch (level) {
    case LogLevel::verbose:
        return {"\U0001F440", "verbose", false};
    case LogLevel::debug:
        return {"\U0001F35A", "debug", false};
    case LogLevel::info:
        return {"\U0001F4E8", "info", false};
    case LogLevel::warning:
        return {"\U0001F514", "warning", true};
    case LogLevel::error:
        return {"\U0001F534", "error", true};
    case LogLevel::fatal:
        return {"\U0001F525", "severe", true};
    }
    return {"", "", false};
}
} // namespace

std::string formatLogLine(LogLevel level, std::string_view message, const LogLocation& location) {
    const LevelStyle s = style(level);
    std::string line;
    line.reserve(message.size() + location.file.size() + location.function.size() + 48);
    line.append(s.marker).append(" [").append(s.word).append("] ").append(message);
    if (s.located) {
        line.append(" \t{ (")
            .append(location.file)
            .append(").(")
            .append(location.function)
            .append(").(#")
            .append(std::to_string(location.line))
            .append(") }");
    }
    return line;
}

void writeLogLine(LogLevel level, std::string_view message, const LogLocation& location) {
    std::string line = formatLogLine(level, message, location);
    line.push_back('\n');
    // One fwrite per line: stdio locks the stream for the call, so lines from several
    // threads never interleave. A failing write is ignored, as logging must never fail.
    (void)std::fwrite(line.data(), 1, line.size(), stdout);
}

std::string errorLogMessage(const std::exception& error,
                            const std::optional<std::string_view>& description) {
    std::string text = localizedDescription(error);
    if (description && !description->empty()) {
        return std::string(*description) + " - " + text;
    }
    return text;
}

void logError(const std::exception& error, std::optional<std::string_view> description,
              LogLocation at) {
    writeLogLine(LogLevel::error, errorLogMessage(error, description), at);
}

void logWarning(const std::exception& error, std::optional<std::string_view> description,
                LogLocation at) {
    writeLogLine(LogLevel::warning, errorLogMessage(error, description), at);
}

void logDebug(const std::exception& error, std::optional<std::string_view> description,
              LogLocation at) {
    writeLogLine(LogLevel::debug, errorLogMessage(error, description), at);
}

void logInfo(const std::exception& error, std::optional<std::string_view> description,
             LogLocation at) {
    writeLogLine(LogLevel::info, errorLogMessage(error, description), at);
}

LogLocation loggedLocation() noexcept {
    return {"logged(description:)", __FILE__, 125};
}

} // namespace core
