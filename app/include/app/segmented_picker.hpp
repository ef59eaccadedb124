#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

namespace app {

/// A row of exclusive, checkable segments, one per text, with its label hidden (kept as the
/// accessible name). At most one segment is chosen; `selected` tells only of a user's choice of
/// another segment, never of `setSelectedIndex`.
class SegmentedPicker : public QWidget {
    Q_OBJECT

public:
    /// A picker named `label` with one segment per text, none chosen.
    SegmentedPicker(const QString& label, const QStringList& texts, QWidget* parent = nullptr);

    /// The number of segments.
    int count() const;
    /// The chosen segment's index, or -1.
    int selectedIndex() const;
    /// Chooses segment `index` (none for an index out of range) without emitting `selected`.
    void setSelectedIndex(int index);
    /// Renames the segments in order; texts beyond the segment count are ignored.
    void setTexts(const QStringList& texts);
    /// The segments' texts in order.
    QStringList texts() const;
    /// Segment `index`, or null.
    QAbstractButton* button(int index) const;

signals:
    /// The user chose segment `index`.
    void selected(int index);

private:
    QButtonGroup* m_group;
};

} // namespace app
