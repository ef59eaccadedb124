#pragma once

#include <QUuid>

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

namespace uikit {

/// A bulleted list made of sections: each section an optional title line (no bullet) followed by
/// one "•" row per item. Texts are shown literally (never as rich text) and wrap; the font and
/// colour are the widget's own, so they follow the parent's.
class VtBullet : public QWidget {
    Q_OBJECT

public:
    /// One titled or untitled group of bulleted lines.
    struct Section {
        /// A section with a fresh id, `title` (none for no title line) and `items`.
        Section(std::optional<QString> title, std::vector<QString> items);
        /// A section with a fresh id whose `content` is its title and that has no items.
        explicit Section(QString content);

        /// Made fresh for every section; tells sections apart.
        QUuid id;
        /// The heading line, drawn like an item without a bullet.
        std::optional<QString> title;
        /// The bulleted lines, in order.
        std::vector<QString> items;
    };

    /// A list of `sections`, in order.
    explicit VtBullet(std::vector<Section> sections, QWidget* parent = nullptr);
    /// One untitled section of `items`.
    explicit VtBullet(std::vector<QString> items, QWidget* parent = nullptr);
    /// One section with `title` and `items`.
    VtBullet(QString title, std::vector<QString> items, QWidget* parent = nullptr);

    /// The sections shown.
    const std::vector<Section>& sections() const noexcept { return m_sections; }

private:
    void build();

    std::vector<Section> m_sections;
};

} // namespace uikit
