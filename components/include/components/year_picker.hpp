#pragma once

#include "uikit/binding.hpp"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class QGridLayout;
class QPushButton;

namespace components {

/// A small panel for choosing a year: a four-digit text field with step buttons and a close
/// button, over a grid of quick-access years centred on the current one. It reads and writes the
/// year through its presenter's binding and closes itself through its dismiss action.
class YearPicker : public QWidget {
    Q_OBJECT
public:
    /// The picker's model: the text being edited and the presenter's year binding. Outside typing,
    /// the text is always the decimal text of the year read back through the binding.
    class Year {
    public:
        /// Reads the binding's year into the text.
        explicit Year(uikit::Binding<int> value);

        /// The text being edited.
        const QString& string() const noexcept { return m_string; }
        /// What the user typed; the year is untouched until `commit`.
        void setString(QString text) { m_string = std::move(text); }
        /// The year, read through the binding.
        int value() const { return m_value.get(); }

        /// Applies the typed text: its number characters, when they are ASCII digits forming a
        /// year from 1000 to 9999, are written as the year; the text then shows the year read
        /// back (so a rejected text is replaced by the current year).
        void commit();
        /// Writes `year` when it differs from the current one (a same-year choice writes
        /// nothing), then reads the text back.
        void select(int year);
        /// Moves the year by `delta` (saturating at the integer limits), replacing any typing.
        void step(int delta);

    private:
        void readBack();

        uikit::Binding<int> m_value;
        QString m_string;
    };

    /// The quick-access years around `year`: year + i − count / 2 for i in 0...count−1, each
    /// saturated at the integer limits; a negative count gives none.
    static std::vector<int> quickAccessYears(int year, int count);
    /// How many quick-access columns fit a grid `width` wide: columns 40 to 80 wide, 1 apart,
    /// at least one.
    static int quickAccessColumnCount(int width) noexcept;

    /// A picker over `year` with `countOfQuickAccessOptions` grid years (negative counts as 0),
    /// laid out for `width` (the popover's width).
    YearPicker(std::shared_ptr<Year> year, int countOfQuickAccessOptions, QWidget* parent = nullptr,
               int width = 280);

    /// What closing the picker does (the presenter's dismiss); by default the picker's window
    /// closes.
    void setDismissAction(std::function<void()> dismiss);

    /// The model.
    const Year& year() const noexcept { return *m_year; }
    /// The year text field.
    QLineEdit* textField() const noexcept { return m_field; }
    /// The quick-access year buttons, in order.
    const std::vector<QPushButton*>& yearButtons() const noexcept { return m_yearButtons; }
    /// The close button.
    QPushButton* closeButton() const noexcept { return m_close; }
    /// The step buttons, up then down.
    QPushButton* stepButton(int delta) const noexcept { return delta > 0 ? m_up : m_down; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuildGrid();
    void dismiss();
    void syncField();

    std::shared_ptr<Year> m_year;
    int m_count;
    int m_gridWidth;
    std::function<void()> m_dismiss;
    QLineEdit* m_field = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    QPushButton* m_close = nullptr;
    QGridLayout* m_grid = nullptr;
    std::vector<QPushButton*> m_yearButtons;
};

} // namespace components
