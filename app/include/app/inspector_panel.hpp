#pragma once

#include "app/inspector_rules.hpp"
#include "uikit/binding.hpp"

#include <QScrollArea>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;

namespace report {
class ReportViewModel;
}

namespace app {

class SegmentedPicker;

/// The "Report Content" control: "Work"/"Cost", and "All"/"Labor"/"Materials" while cost is
/// chosen. Its choice is its own, set once from the value kind when the control is made; each
/// choice writes the value kind it stands for.
class ValueKindPicker : public QWidget {
    Q_OBJECT

public:
    /// A control over `valueKind`, starting from its current value.
    explicit ValueKindPicker(uikit::Binding<report::ProjectReport::ValueKind> valueKind,
                             QWidget* parent = nullptr);

    /// The control's own choice.
    const ValueKindSelection& selection() const noexcept { return m_selection; }
    /// "Work", "Cost".
    SegmentedPicker* workPicker() const noexcept { return m_work; }
    /// "All", "Labor", "Materials"; hidden while work is chosen.
    SegmentedPicker* costKindPicker() const noexcept { return m_costKind; }

private:
    void sync();

    uikit::Binding<report::ProjectReport::ValueKind> m_valueKind;
    ValueKindSelection m_selection;
    SegmentedPicker* m_work;
    SegmentedPicker* m_costKind;
};

/// The "Decimal Places" control: the digit count "0" to "4" and "Is Fixed", both derived from
/// the option and written back into it.
class DecimalPlacesPicker : public QWidget {
    Q_OBJECT

public:
    /// A control over `decimalPlaces`.
    explicit DecimalPlacesPicker(uikit::Binding<report::ReportRender::DecimalPlaces> decimalPlaces,
                                 QWidget* parent = nullptr);

    /// Shows the option's current value; emits nothing.
    void sync();
    /// "0" to "4".
    SegmentedPicker* countPicker() const noexcept { return m_count; }
    /// "Is Fixed".
    QCheckBox* fixedBox() const noexcept { return m_fixed; }

private:
    uikit::Binding<report::ReportRender::DecimalPlaces> m_decimalPlaces;
    SegmentedPicker* m_count;
    QCheckBox* m_fixed;
};

/// The report options inspector: titled sections of controls bound to the view model's options.
/// Each control writes its option at once, so the sections follow at once; the grid follows
/// when the view model publishes. Controls are brought up to date under signal blockers, so
/// no update writes an option back.
class InspectorPanel : public QScrollArea {
    Q_OBJECT

public:
    /// The width the document page gives the inspector.
    static constexpr int kWidth = 280;

    /// An inspector over `viewModel`'s options, showing `currency` in the currency samples.
    InspectorPanel(std::shared_ptr<report::ReportViewModel> viewModel, const std::string& currency,
                   QWidget* parent = nullptr);

    /// The frame of `section` (hidden while the section is not shown).
    QWidget* section(InspectorSection section) const;
    /// The titles of the sections shown, in order.
    QStringList visibleSectionTitles() const;

    /// "Day", "Week", "Month".
    SegmentedPicker* periodPicker() const noexcept { return m_period; }
    /// "Week Number", "First Day"; shown for weeks only.
    SegmentedPicker* weekDisplayPicker() const noexcept { return m_weekDisplay; }
    /// "Year and Month", "First Day"; shown for months only.
    SegmentedPicker* monthDisplayPicker() const noexcept { return m_monthDisplay; }
    /// The value-kind control.
    ValueKindPicker* valueKindPicker() const noexcept { return m_valueKind; }
    /// The decimal-places control.
    DecimalPlacesPicker* decimalPlacesPicker() const noexcept { return m_decimalPlaces; }
    /// "No", "100" + currency, currency + "100".
    SegmentedPicker* currencyPicker() const noexcept { return m_currency; }
    /// "Overrall", "Any".
    SegmentedPicker* exceedPicker() const noexcept { return m_exceed; }

private:
    QWidget* addSection(InspectorSection section, const std::vector<QWidget*>& rows,
                        QWidget* footer = nullptr);
    void sync();

    std::shared_ptr<report::ReportViewModel> m_viewModel;
    QWidget* m_content;
    std::map<InspectorSection, QWidget*> m_sections;
    SegmentedPicker* m_period = nullptr;
    SegmentedPicker* m_weekDisplay = nullptr;
    SegmentedPicker* m_monthDisplay = nullptr;
    ValueKindPicker* m_valueKind = nullptr;
    DecimalPlacesPicker* m_decimalPlaces = nullptr;
    SegmentedPicker* m_currency = nullptr;
    SegmentedPicker* m_exceed = nullptr;
};

} // namespace app
