#include "document/zoz_task_work.hpp"
#include "document/task_url.hpp"

namespace document {

ZozTaskWorkRaw ZozTaskWork::raw() const {
    if (m_kind == Kind::byResource) {
        return {0, std::nullopt};
    }
    return {static_cast<std::int64_t>(m_kind), m_amount};
}

bool ZozTaskWork::isEqual(const ZozTaskWorkRaw& raw) const {
    if (m_kind == Kind::byResource) {
        return raw.index == 0;
    }
    return raw.index == static_cast<std::int64_t>(m_kind) && raw.unit && *raw.unit == m_amount;
}

ZozTaskWork ZozTaskWork::fromRawData(std::int64_t index, double unit) {
    switch (index) {
    case 1:
        return fixDailyWork(unit);
    case 2:
        return fixAmount(unit);
    default:
        return byResource();
    }
}

namespace {
std::optional<std::string> nilIfEmpty(std::optional<std::string> text) {
    if (text && text->empty()) {
        return std::nullopt;
    }
    return text;
}
} // namespace

std::optional<TaskUrl> TaskUrl::make(std::optional<std::string> title,
                                     std::optional<std::string> url) {
    if (!url || url->empty()) {
        return std::nullopt;
    }
    return TaskUrl(nilIfEmpty(std::move(title)), std::move(*url));
}

TaskUrl TaskUrl::titleChanged(std::optional<std::string> title) const {
    return TaskUrl(nilIfEmpty(std::move(title)), m_url);
}

std::optional<TaskUrl> TaskUrl::urlChanged(std::string url) const {
    if (url.empty()) {
        return std::nullopt;
    }
    return TaskUrl(m_title, std::move(url));
}

} // namespace document
