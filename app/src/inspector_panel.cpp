#include "app/inspector_panel.hpp"

#include "app/segmented_picker.hpp"
#include "report/report_view_model.hpp"
#include "uikit/color.hpp"
#include "uikit/view_binding.hpp"
#include "uikit/vt_bullet.hpp"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace app {

using report::Period;
using report::ProjectReport;
using report::ReportRender;

namespace {

constexpr int kSectionSpacing = 18;
constexpr int kRowSpacing = 8;
constexpr int kMargin = 12;
constexpr int kHeaderPixelSize = 11;
constexpr int kFootnotePixelSize = 10;

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <class T>
QStringList textsOf(const std::vector<Segment<T>>& segments) {
    QStringList texts;
    for (const Segment<T>& segment : segments) {
        texts << QString::fromStdString(segment.text);
    }
    return texts;
}

template <class T>
SegmentedPicker* makePicker(std::string_view label, const std::vector<Segment<T>>& segments,
                            QWidget* parent) {
    return new SegmentedPicker(qt(label), textsOf(segments), parent);
}

template <class T>
void showValue(SegmentedPicker* picker, const std::vector<Segment<T>>& segments, const T& value) {
    picker->setSelectedIndex(segmentIndex(segments, value).value_or(-1));
}

// Writes the value of the chosen segment to `write`.
template <class T, class F>
void onChoice(SegmentedPicker* picker, std::vector<Segment<T>> segments, F write) {
    QObject::connect(picker, &SegmentedPicker::selected, picker,
                     [segments = std::move(segments), write = std::move(write)](int index) {
                         if (index >= 0 && static_cast<std::size_t>(index) < segments.size()) {
                             write(segments[static_cast<std::size_t>(index)].value);
                         }
                     });
}

// A two-way binding to one option of the view model.
template <class T>
uikit::Binding<T> optionBinding(core::rx::Published<T>& option) {
    return uikit::Binding<T>([&option] { return option.get(); },
                             [&option](const T& value) { option.set(value); });
}

} // namespace

ValueKindPicker::ValueKindPicker(uikit::Binding<ProjectReport::ValueKind> valueKind,
                                 QWidget* parent)
    : QWidget(parent), m_valueKind(std::move(valueKind)), m_selection(m_valueKind.get()),
      m_work(makePicker("", InspectorRules::workSegments(), this)),
      m_costKind(makePicker("", InspectorRules::costKindSegments(), this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kRowSpacing);
    column->addWidget(m_work);
    column->addWidget(m_costKind);
    onChoice(m_work, InspectorRules::workSegments(), [this](bool isWork) {
        const ProjectReport::ValueKind kind = m_selection.chooseWork(isWork);
        sync();
        m_valueKind.set(kind);
    });
    onChoice(m_costKind, InspectorRules::costKindSegments(), [this](ProjectReport::CostKind cost) {
        const ProjectReport::ValueKind kind = m_selection.chooseCostKind(cost);
        sync();
        m_valueKind.set(kind);
    });
    sync();
}

void ValueKindPicker::sync() {
    showValue(m_work, InspectorRules::workSegments(), m_selection.isWork());
    showValue(m_costKind, InspectorRules::costKindSegments(), m_selection.costKind());
    m_costKind->setHidden(m_selection.isWork());
}

DecimalPlacesPicker::DecimalPlacesPicker(uikit::Binding<ReportRender::DecimalPlaces> decimalPlaces,
                                         QWidget* parent)
    : QWidget(parent), m_decimalPlaces(std::move(decimalPlaces)),
      m_count(makePicker("", InspectorRules::decimalCountSegments(), this)),
      m_fixed(new QCheckBox(qt(InspectorRules::kIsFixedLabel), this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kRowSpacing);
    column->addWidget(m_count);
    column->addWidget(m_fixed);
    onChoice(m_count, InspectorRules::decimalCountSegments(), [this](int count) {
        m_decimalPlaces.set(InspectorRules::withCount(m_decimalPlaces.get(), count));
        sync();
    });
    connect(m_fixed, &QCheckBox::toggled, this, [this](bool fixed) {
        const ReportRender::DecimalPlaces current = m_decimalPlaces.get();
        const ReportRender::DecimalPlaces next = InspectorRules::withFixed(current, fixed);
        // With no fraction digits there is nothing to fix or free: the box goes back on.
        if (next != current) {
            m_decimalPlaces.set(next);
        }
        sync();
    });
    sync();
}

void DecimalPlacesPicker::sync() {
    const ReportRender::DecimalPlaces places = m_decimalPlaces.get();
    showValue(m_count, InspectorRules::decimalCountSegments(),
              InspectorRules::decimalCount(places));
    const QSignalBlocker blocker(m_fixed);
    m_fixed->setChecked(InspectorRules::isFixed(places));
}

InspectorPanel::InspectorPanel(std::shared_ptr<report::ReportViewModel> viewModel,
                               const std::string& currency, QWidget* parent)
    : QScrollArea(parent), m_viewModel(std::move(viewModel)), m_content(new QWidget()) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    column->setSpacing(kSectionSpacing);

    report::ReportViewModel& model = *m_viewModel;

    m_period = makePicker("", InspectorRules::periodSegments(), m_content);
    m_weekDisplay = makePicker(InspectorRules::kWeekDisplayLabel,
                               InspectorRules::weekDisplaySegments(), m_content);
    m_monthDisplay = makePicker(InspectorRules::kMonthDisplayLabel,
                                InspectorRules::monthDisplaySegments(), m_content);
    addSection(InspectorSection::timeline, {m_period, m_weekDisplay, m_monthDisplay});
    onChoice(m_period, InspectorRules::periodSegments(),
             [&model](Period::Kind kind) { model.periodKind.set(kind); });
    onChoice(m_weekDisplay, InspectorRules::weekDisplaySegments(),
             [&model](ReportRender::WeekDisplay display) { model.weekDisplay.set(display); });
    onChoice(m_monthDisplay, InspectorRules::monthDisplaySegments(),
             [&model](ReportRender::MonthDisplay display) { model.monthDisplay.set(display); });

    m_valueKind = new ValueKindPicker(optionBinding(model.valueKind), m_content);
    addSection(InspectorSection::reportContent, {m_valueKind});

    m_decimalPlaces = new DecimalPlacesPicker(optionBinding(model.decimalPlaces), m_content);
    addSection(InspectorSection::decimalPlaces, {m_decimalPlaces});

    const auto currencySegments = InspectorRules::currencySegments(currency);
    m_currency = makePicker("", currencySegments, m_content);
    addSection(InspectorSection::currencyDisplay, {m_currency});
    onChoice(m_currency, currencySegments, [&model](ReportRender::CurrencyDisplay display) {
        model.currencyFormat.set(display);
    });

    m_exceed = makePicker("", InspectorRules::exceedSegments(), m_content);
    std::vector<QString> footerItems;
    for (const std::string& item : InspectorRules::exceedFooterItems()) {
        footerItems.push_back(QString::fromStdString(item));
    }
    auto* footer =
        new uikit::VtBullet(qt(InspectorRules::kExceedFooterTitle), footerItems, m_content);
    QFont footnote = footer->font();
    footnote.setPixelSize(kFootnotePixelSize);
    footer->setFont(footnote);
    QPalette tertiary = footer->palette();
    tertiary.setColor(QPalette::WindowText, uikit::Color::tertiary(tertiary));
    footer->setPalette(tertiary);
    addSection(InspectorSection::exceedPolicy, {m_exceed}, footer);
    onChoice(m_exceed, InspectorRules::exceedSegments(),
             [&model](ReportRender::ExceedPolicy policy) { model.exceedPolicy.set(policy); });

    column->addStretch(1);
    setWidget(m_content);

    // Every option written, here or elsewhere, brings the controls up to date.
    auto follow = [this](auto& option) {
        using T = std::decay_t<decltype(option.get())>;
        uikit::bind(this, option.publisher().dropFirst(),
                    uikit::Binding<T>([&option] { return option.get(); },
                                      [this](const T& /*value*/) { sync(); }));
    };
    follow(model.valueKind);
    follow(model.periodKind);
    follow(model.decimalPlaces);
    follow(model.currencyFormat);
    follow(model.weekDisplay);
    follow(model.monthDisplay);
    follow(model.exceedPolicy);
    sync();
}

QWidget* InspectorPanel::addSection(InspectorSection section, const std::vector<QWidget*>& rows,
                                    QWidget* footer) {
    auto* frame = new QWidget(m_content);
    frame->setObjectName(qt(InspectorRules::title(section)));
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kRowSpacing / 2);

    auto* header = new QLabel(qt(InspectorRules::title(section)), frame);
    header->setTextFormat(Qt::PlainText);
    QFont headerFont = header->font();
    headerFont.setPixelSize(kHeaderPixelSize);
    headerFont.setWeight(QFont::DemiBold);
    header->setFont(headerFont);
    column->addWidget(header);

    auto* box = new QFrame(frame);
    box->setFrameShape(QFrame::StyledPanel);
    auto* boxRows = new QVBoxLayout(box);
    boxRows->setContentsMargins(kRowSpacing, kRowSpacing, kRowSpacing, kRowSpacing);
    boxRows->setSpacing(kRowSpacing);
    for (QWidget* row : rows) {
        row->setParent(box);
        boxRows->addWidget(row);
    }
    column->addWidget(box);
    if (footer != nullptr) {
        footer->setParent(frame);
        column->addWidget(footer);
    }
    qobject_cast<QVBoxLayout*>(m_content->layout())->addWidget(frame);
    m_sections[section] = frame;
    return frame;
}

QWidget* InspectorPanel::section(InspectorSection section) const {
    const auto found = m_sections.find(section);
    return found == m_sections.end() ? nullptr : found->second;
}

QStringList InspectorPanel::visibleSectionTitles() const {
    QStringList titles;
    for (const auto& [section, frame] : m_sections) {
        if (!frame->isHidden()) {
            titles << frame->objectName();
        }
    }
    return titles;
}

void InspectorPanel::sync() {
    const report::ReportViewModel& model = *m_viewModel;
    const Period::Kind period = model.periodKind.get();
    const ProjectReport::ValueKind valueKind = model.valueKind.get();

    showValue(m_period, InspectorRules::periodSegments(), period);
    showValue(m_weekDisplay, InspectorRules::weekDisplaySegments(), model.weekDisplay.get());
    showValue(m_monthDisplay, InspectorRules::monthDisplaySegments(), model.monthDisplay.get());
    m_weekDisplay->setHidden(!InspectorRules::showsWeekDisplay(period));
    m_monthDisplay->setHidden(!InspectorRules::showsMonthDisplay(period));
    m_decimalPlaces->sync();
    const auto currencySegments = InspectorRules::currencySegments("");
    showValue(m_currency, currencySegments, model.currencyFormat.get());
    showValue(m_exceed, InspectorRules::exceedSegments(), model.exceedPolicy.get());

    const std::vector<InspectorSection> shown = InspectorRules::visibleSections(valueKind, period);
    for (const auto& [section, frame] : m_sections) {
        frame->setHidden(std::find(shown.begin(), shown.end(), section) == shown.end());
    }
}

} // namespace app
