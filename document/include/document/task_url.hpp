#pragma once

#include <optional>
#include <string>

namespace document {

/// A task's web link with an optional title; the url is never empty, a present title never
/// empty either.
class TaskUrl {
public:
    /// A link, or absent when `url` is absent or empty; an empty title becomes absent.
    static std::optional<TaskUrl> make(std::optional<std::string> title,
                                       std::optional<std::string> url);

    /// The title, if any.
    const std::optional<std::string>& title() const noexcept { return m_title; }
    /// The url text.
    const std::string& url() const noexcept { return m_url; }
    /// The same link with another title (empty becomes absent).
    TaskUrl titleChanged(std::optional<std::string> title) const;
    /// The same link with another url, or absent when `url` is empty.
    std::optional<TaskUrl> urlChanged(std::string url) const;
    /// The title when present, otherwise the url.
    const std::string& visualString() const noexcept { return m_title ? *m_title : m_url; }

    /// Equal titles (both absent or the same text) and the same url.
    friend bool operator==(const TaskUrl&, const TaskUrl&) = default;

private:
    TaskUrl(std::optional<std::string> title, std::string url)
        : m_title(std::move(title)), m_url(std::move(url)) {}

    std::optional<std::string> m_title;
    std::string m_url;
};

} // namespace document
