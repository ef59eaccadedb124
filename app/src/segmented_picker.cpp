#include "app/segmented_picker.hpp"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>

namespace app {

namespace {

// A segment that paints its checked state in the palette's selection colours. The style draws a
// checked tool button only a shade darker than an unchecked one (1.2 : 1 in a dark palette), too
// little to see at a glance which segment is chosen. The colours are read at each paint, as
// QToolButton paints, so the segment follows a palette switched while it is shown.
class Segment : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        if (isChecked()) {
            // Every colour group: a disabled picker shows its choice in the disabled selection
            // colours, and an inactive window in the inactive ones.
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                option.palette.setColor(group, QPalette::Button,
                                        option.palette.color(group, QPalette::Highlight));
                option.palette.setColor(group, QPalette::ButtonText,
                                        option.palette.color(group, QPalette::HighlightedText));
            }
        }
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
    }
};

} // namespace

SegmentedPicker::SegmentedPicker(const QString& label, const QStringList& texts, QWidget* parent)
    : QWidget(parent), m_group(new QButtonGroup(this)) {
    setAccessibleName(label);
    m_group->setExclusive(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < texts.size(); ++i) {
        auto* segment = new Segment(this);
        segment->setText(texts[i]);
        segment->setCheckable(true);
        segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        segment->setFocusPolicy(Qt::TabFocus);
        m_group->addButton(segment, i);
        row->addWidget(segment);
    }
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            emit selected(id);
        }
    });
}

int SegmentedPicker::count() const {
    return static_cast<int>(m_group->buttons().size());
}

int SegmentedPicker::selectedIndex() const {
    return m_group->checkedId();
}

void SegmentedPicker::setSelectedIndex(int index) {
    const QSignalBlocker blocker(m_group);
    if (QAbstractButton* segment = m_group->button(index)) {
        segment->setChecked(true);
        return;
    }
    // An exclusive group keeps one segment checked: lift that to clear it.
    m_group->setExclusive(false);
    for (QAbstractButton* segment : m_group->buttons()) {
        segment->setChecked(false);
    }
    m_group->setExclusive(true);
}

void SegmentedPicker::setTexts(const QStringList& texts) {
    for (int i = 0; i < texts.size() && i < count(); ++i) {
        m_group->button(i)->setText(texts[i]);
    }
}

QStringList SegmentedPicker::texts() const {
    QStringList result;
    for (int i = 0; i < count(); ++i) {
        result << m_group->button(i)->text();
    }
    return result;
}

QAbstractButton* SegmentedPicker::button(int index) const {
    return m_group->button(index);
}

} // namespace app
