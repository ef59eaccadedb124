#include "app/inspector_panel.hpp"

#include "app/segmented_picker.hpp"
#include "report/report_view_model.hpp"
#include "uikit/vt_bullet.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QTest>

namespace {

using app::InspectorPanel;
using app::InspectorSection;
using report::Period;
using report::ProjectReport;
using DecimalPlaces = report::ReportRender::DecimalPlaces;
using CostKind = ProjectReport::CostKind;
using ValueKind = ProjectReport::ValueKind;

class InspectorPanelTest : public testing::Test {
protected:
    void SetUp() override {
        m_model = report::ReportViewModel::create();
        m_panel = std::make_unique<InspectorPanel>(m_model, "$");
        m_panel->resize(InspectorPanel::kWidth, 700);
        m_panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_panel.get()));
    }

    // Clicks the one shown segment or box whose text is `text`.
    void click(const QString& text) {
        QAbstractButton* found = nullptr;
        for (QAbstractButton* button : m_panel->findChildren<QAbstractButton*>()) {
            if (button->text() == text && button->isVisible()) {
                ASSERT_EQ(found, nullptr) << "two shown buttons read " << text.toStdString();
                found = button;
            }
        }
        ASSERT_NE(found, nullptr) << "no shown button reads " << text.toStdString();
        // A box reacts on its indicator and text, not on the empty width beside them.
        const QPoint where = qobject_cast<QCheckBox*>(found) != nullptr
                                 ? QPoint(4, found->height() / 2)
                                 : found->rect().center();
        QTest::mouseClick(found, Qt::LeftButton, {}, where);
    }

    std::shared_ptr<report::ReportViewModel> m_model;
    std::unique_ptr<InspectorPanel> m_panel;
};

TEST_F(InspectorPanelTest, SectionsAndTitlePickersFollowTheOptionsAtOnce) {
    const QStringList costSections{"Timeline", "Report Content", "Decimal Places",
                                   "Currency Display"};
    EXPECT_EQ(m_panel->visibleSectionTitles(), costSections);
    EXPECT_TRUE(m_panel->weekDisplayPicker()->isHidden());
    EXPECT_TRUE(m_panel->monthDisplayPicker()->isHidden());

    click("Work");
    EXPECT_EQ(m_model->valueKind.get(), ValueKind::work());
    EXPECT_EQ(m_panel->visibleSectionTitles(),
              (QStringList{"Timeline", "Report Content", "Decimal Places"}));
    EXPECT_TRUE(m_panel->valueKindPicker()->costKindPicker()->isHidden());

    click("Week");
    EXPECT_EQ(m_model->periodKind.get(), Period::Kind::week);
    EXPECT_EQ(m_panel->visibleSectionTitles(),
              (QStringList{"Timeline", "Report Content", "Decimal Places", "Exceed Policy"}));
    EXPECT_FALSE(m_panel->weekDisplayPicker()->isHidden());
    EXPECT_TRUE(m_panel->monthDisplayPicker()->isHidden());
    const auto* footer =
        m_panel->section(InspectorSection::exceedPolicy)->findChild<uikit::VtBullet*>();
    ASSERT_NE(footer, nullptr);
    ASSERT_EQ(footer->sections().size(), 1U);
    EXPECT_TRUE(footer->sections().front().title->endsWith("month. "));
    EXPECT_EQ(footer->sections().front().items.size(), 2U);

    click("First Day");
    EXPECT_EQ(m_model->weekDisplay.get(), report::ReportRender::WeekDisplay::firstDay);
    EXPECT_EQ(m_model->monthDisplay.get(), report::ReportRender::MonthDisplay::month);

    click("Any");
    EXPECT_EQ(m_model->exceedPolicy.get(), report::ReportRender::ExceedPolicy::any);
    click("Month");
    EXPECT_TRUE(m_panel->weekDisplayPicker()->isHidden());
    EXPECT_FALSE(m_panel->monthDisplayPicker()->isHidden());
    click("Year and Month");
    EXPECT_EQ(m_model->monthDisplay.get(), report::ReportRender::MonthDisplay::month);
    click("First Day");
    EXPECT_EQ(m_model->monthDisplay.get(), report::ReportRender::MonthDisplay::firstDay);

    click("Day");
    EXPECT_EQ(m_panel->visibleSectionTitles(),
              (QStringList{"Timeline", "Report Content", "Decimal Places"}));
    click("Cost");
    EXPECT_EQ(m_panel->visibleSectionTitles(), costSections);
}

TEST_F(InspectorPanelTest, CostAfterWorkRestoresTheCostKindLastChosen) {
    click("Materials");
    EXPECT_EQ(m_model->valueKind.get(), ValueKind::cost(CostKind::materialsOnly));
    click("Work");
    EXPECT_EQ(m_model->valueKind.get(), ValueKind::work());
    click("Cost");
    EXPECT_EQ(m_model->valueKind.get(), ValueKind::cost(CostKind::materialsOnly));
    EXPECT_EQ(m_panel->valueKindPicker()->costKindPicker()->selectedIndex(), 2);
}

TEST_F(InspectorPanelTest, DecimalPlacesCountAndFixedBoxWriteTheOption) {
    QCheckBox* fixed = m_panel->decimalPlacesPicker()->fixedBox();
    EXPECT_EQ(m_panel->decimalPlacesPicker()->countPicker()->selectedIndex(), 1);
    EXPECT_FALSE(fixed->isChecked());

    click("2");
    EXPECT_EQ(m_model->decimalPlaces.get(), DecimalPlaces::maxTwo);
    click("Is Fixed");
    EXPECT_EQ(m_model->decimalPlaces.get(), DecimalPlaces::fixedTwo);
    click("0");
    EXPECT_EQ(m_model->decimalPlaces.get(), DecimalPlaces::none);
    EXPECT_TRUE(fixed->isChecked());

    // Switching the box at no digits changes nothing, writes nothing, and the box stays on.
    int writes = 0;
    auto counting =
        m_model->decimalPlaces.publisher().dropFirst().sink([&](DecimalPlaces) { ++writes; });
    click("Is Fixed");
    EXPECT_EQ(m_model->decimalPlaces.get(), DecimalPlaces::none);
    EXPECT_TRUE(fixed->isChecked());
    EXPECT_EQ(writes, 0);

    click("3");
    EXPECT_EQ(m_model->decimalPlaces.get(), DecimalPlaces::fixedThree);
    click("Is Fixed");
    EXPECT_EQ(m_model->decimalPlaces.get(), DecimalPlaces::maxThree);
    EXPECT_FALSE(fixed->isChecked());
    EXPECT_EQ(writes, 2);
}

TEST_F(InspectorPanelTest, CurrencySamplesShowTheProjectsCurrency) {
    EXPECT_EQ(m_panel->currencyPicker()->texts(), (QStringList{"No", "100$", "$100"}));
    EXPECT_EQ(m_panel->currencyPicker()->selectedIndex(), 0);
    click("$100");
    EXPECT_EQ(m_model->currencyFormat.get(), report::ReportRender::CurrencyDisplay::atStart);

    const InspectorPanel noCurrency(m_model, "");
    EXPECT_EQ(noCurrency.currencyPicker()->texts(), (QStringList{"No", "100", "100"}));
    EXPECT_EQ(noCurrency.currencyPicker()->selectedIndex(), 2);
}

TEST_F(InspectorPanelTest, OptionsWrittenElsewhereAreShownWithoutBeingWrittenBack) {
    int writes = 0;
    auto counting =
        m_model->periodKind.publisher().dropFirst().sink([&](Period::Kind) { ++writes; });
    m_model->periodKind.set(Period::Kind::month);
    m_model->decimalPlaces.set(DecimalPlaces::fixedFour);
    m_model->exceedPolicy.set(report::ReportRender::ExceedPolicy::any);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(m_panel->periodPicker()->selectedIndex(), 2);
    EXPECT_FALSE(m_panel->monthDisplayPicker()->isHidden());
    EXPECT_EQ(m_panel->decimalPlacesPicker()->countPicker()->selectedIndex(), 4);
    EXPECT_TRUE(m_panel->decimalPlacesPicker()->fixedBox()->isChecked());
    EXPECT_EQ(m_panel->exceedPicker()->selectedIndex(), 1);
    // A second inspector over the same options starts from them.
    const InspectorPanel second(m_model, "$");
    EXPECT_EQ(second.periodPicker()->selectedIndex(), 2);
    EXPECT_EQ(second.decimalPlacesPicker()->countPicker()->selectedIndex(), 4);
}

} // namespace
