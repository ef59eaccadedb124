#include "uikit/vt_bullet.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace uikit {
namespace {

constexpr int kSectionSpacing = 5;
constexpr int kBulletSpacing = 3;

// A line of literal text: a project's or user's text must never be read as markup.
QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
}

} // namespace

VtBullet::Section::Section(std::optional<QString> title_, std::vector<QString> items_)
    : id(QUuid::createUuid()), title(std::move(title_)), items(std::move(items_)) {}

VtBullet::Section::Section(QString content) : id(QUuid::createUuid()), title(std::move(content)) {}

VtBullet::VtBullet(std::vector<Section> sections, QWidget* parent)
    : QWidget(parent), m_sections(std::move(sections)) {
    build();
}

VtBullet::VtBullet(std::vector<QString> items, QWidget* parent)
    : VtBullet(std::vector<Section>{Section(std::nullopt, std::move(items))}, parent) {}

VtBullet::VtBullet(QString title, std::vector<QString> items, QWidget* parent)
    : VtBullet(std::vector<Section>{Section(std::move(title), std::move(items))}, parent) {}

void VtBullet::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSectionSpacing);
    for (const Section& section : m_sections) {
        auto* lines = new QVBoxLayout();
        lines->setContentsMargins(0, 0, 0, 0);
        if (section.title) {
            lines->addWidget(plainLabel(*section.title, this));
        }
        for (const QString& item : section.items) {
            auto* row = new QHBoxLayout();
            row->setContentsMargins(0, 0, 0, 0);
            row->setSpacing(kBulletSpacing);
            auto* bullet = new QLabel(QStringLiteral("•"), this);
            bullet->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            bullet->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
            row->addWidget(bullet, 0, Qt::AlignTop);
            row->addWidget(plainLabel(item, this), 1);
            lines->addLayout(row);
        }
        column->addLayout(lines);
    }
}

} // namespace uikit
