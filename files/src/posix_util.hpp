#pragma once

#include <cerrno>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace files::detail {

/// An owned file descriptor, closed on destruction (errors at that point are ignored; callers
/// that must know call `close()`).
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const noexcept { return m_fd; }
    bool valid() const noexcept { return m_fd >= 0; }
    void reset() noexcept {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    /// Closes and reports the result: 0, or -1 with errno set.
    int close() noexcept {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 ? ::close(fd) : 0;
    }

private:
    int m_fd = -1;
};

inline std::error_code lastError() {
    return {errno, std::generic_category()};
}

[[noreturn]] inline void throwFs(const std::string& what, const std::filesystem::path& p,
                                 std::error_code ec) {
    throw std::filesystem::filesystem_error(what, p, ec);
}

[[noreturn]] inline void throwFs(const std::string& what, const std::filesystem::path& p1,
                                 const std::filesystem::path& p2, std::error_code ec) {
    throw std::filesystem::filesystem_error(what, p1, p2, ec);
}

/// Writes all of `data`, retrying short writes and EINTR; false with errno set on failure.
inline bool writeAll(int fd, std::span<const unsigned char> data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace files::detail
