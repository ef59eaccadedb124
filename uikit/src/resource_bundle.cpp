#include "uikit/resource_bundle.hpp"

#include "kit_resources.hpp"

#include "core/log.hpp"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <mutex>

// Resources compiled into a static library are registered only when asked to, and the macro
// must be used outside any namespace.
static void initUikitResources() {
    Q_INIT_RESOURCE(uikit);
}

namespace uikit {

namespace detail {

void ensureKitResources() {
    static std::once_flag once;
    std::call_once(once, [] { initUikitResources(); });
}

} // namespace detail

namespace {

std::optional<QColor> parseColor(const QJsonValue& value) {
    if (!value.isString()) {
        return std::nullopt;
    }
    QColor color(value.toString());
    if (!color.isValid()) {
        return std::nullopt;
    }
    return color;
}

} // namespace

ResourceBundle::ResourceBundle(QString prefix) : m_prefix(std::move(prefix)) {
    while (m_prefix.size() > 1 && m_prefix.endsWith(u'/')) {
        m_prefix.chop(1);
    }
    QFile file(m_prefix + QStringLiteral("/colors.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        core::Log::error("The colours of the resources at " + m_prefix.toStdString() +
                         " are not a JSON object: " + error.errorString().toStdString());
        return;
    }
    const QJsonObject colors = document.object();
    for (auto it = colors.begin(); it != colors.end(); ++it) {
        const QJsonObject appearances = it.value().toObject();
        const auto light = parseColor(appearances.value(QStringLiteral("light")));
        const auto dark = parseColor(appearances.value(QStringLiteral("dark")));
        if (!light || !dark) {
            core::Log::error("The colour " + it.key().toStdString() + " of the resources at " +
                             m_prefix.toStdString() + " lacks a valid light or dark value");
            continue;
        }
        m_colors.emplace(it.key(), NamedColor{*light, *dark});
    }
}

std::optional<QColor> ResourceBundle::color(const QString& name, bool dark) const {
    const auto found = m_colors.find(name);
    if (found == m_colors.end()) {
        return std::nullopt;
    }
    return dark ? found->second.dark : found->second.light;
}

QStringList ResourceBundle::colorNames() const {
    QStringList names;
    names.reserve(static_cast<qsizetype>(m_colors.size()));
    for (const auto& entry : m_colors) {
        names.push_back(entry.first);
    }
    return names;
}

QIcon ResourceBundle::image(const QString& name) const {
    const QString base = m_prefix + u'/' + name;
    for (const QString& candidate :
         {base + QStringLiteral(".svg"), base + QStringLiteral(".png"), base}) {
        if (QFile::exists(candidate)) {
            return QIcon(candidate);
        }
    }
    return {};
}

const ResourceBundle& moduleResourceBundle() {
    static const ResourceBundle bundle = [] {
        detail::ensureKitResources();
        return ResourceBundle(QStringLiteral(":/uikit"));
    }();
    return bundle;
}

const ResourceBundle& mainResourceBundle() {
    static const ResourceBundle bundle(QStringLiteral(":"));
    return bundle;
}

} // namespace uikit
