#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace uikit {

/// A set of compiled-in Qt resources under one prefix: its named colours, each with a light and a
/// dark value, come from the file `colors.json` under the prefix, and its images from the files
/// beside it.
class ResourceBundle {
public:
    /// A named colour's two appearances.
    struct NamedColor {
        QColor light;
        QColor dark;
    };

    /// The bundle under `prefix` (such as ":/uikit"), reading its `colors.json` now. A missing
    /// file gives a bundle without colours; a malformed one, or a colour that does not parse, is
    /// logged and left out.
    explicit ResourceBundle(QString prefix);

    /// The resource prefix, without a trailing slash.
    const QString& prefix() const noexcept { return m_prefix; }
    /// The colour named `name` in the dark or light appearance, or nothing when the bundle lacks
    /// the name.
    std::optional<QColor> color(const QString& name, bool dark) const;
    /// The names of every colour in the bundle, sorted.
    QStringList colorNames() const;
    /// The image named `name` (its file `<prefix>/<name>.svg` or `.png`, or `<prefix>/<name>`),
    /// or a null icon when there is none.
    QIcon image(const QString& name) const;

private:
    QString m_prefix;
    std::map<QString, NamedColor> m_colors;
};

/// The UI kit's own bundle (":/uikit"), loaded once on first use from any thread.
const ResourceBundle& moduleResourceBundle();

/// The application's bundle (the resource root ":/"), loaded once on first use from any thread.
const ResourceBundle& mainResourceBundle();

} // namespace uikit
