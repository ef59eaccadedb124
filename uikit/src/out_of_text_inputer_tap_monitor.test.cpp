#include "uikit/out_of_text_inputer_tap_monitor.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

namespace {

class OutOfTextInputerTapMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QHBoxLayout(&m_window);
        m_field = new QLineEdit;
        m_label = new QLabel("label");
        m_button = new QPushButton("button");
        layout->addWidget(m_field);
        layout->addWidget(m_label);
        layout->addWidget(m_button);
        m_other.setLayout(new QHBoxLayout);
        m_otherLabel = new QLabel("elsewhere");
        m_other.layout()->addWidget(m_otherLabel);
        // Away from the first window and large enough that a click at the label's centre is
        // below the field in local coordinates too: only the window tells the click apart.
        m_other.setGeometry(400, 300, 300, 200);
        m_window.show();
        m_other.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_other));
        // Focus events flow only in the active window, as they do under the user's hand.
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        uikit::onTapOutOfFocusedTextInputers(*m_label, [this] { ++m_calls; });
    }

    // Clicks, then lets the event loop run the queued work.
    int callsAfterClicking(QWidget* target) {
        const int before = m_calls;
        QTest::mouseClick(target, Qt::LeftButton);
        QTest::qWait(20);
        return m_calls - before;
    }

    QWidget m_window;
    QWidget m_other;
    QLineEdit* m_field = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_button = nullptr;
    QLabel* m_otherLabel = nullptr;
    int m_calls = 0;
};

TEST_F(OutOfTextInputerTapMonitorTest, APressOutsideTheFocusedFieldIsReportedOnceLater) {
    m_field->setFocus();
    ASSERT_EQ(m_window.focusWidget(), m_field);
    QTest::mouseClick(m_label, Qt::LeftButton);
    EXPECT_EQ(m_calls, 0); // never during the press itself
    VT_TRY_COMPARE(m_calls, 1);
    QTest::qWait(20);
    EXPECT_EQ(m_calls, 1);
    // A button that takes the focus on press still counts as outside.
    m_field->setFocus();
    EXPECT_EQ(callsAfterClicking(m_button), 1);
}

TEST_F(OutOfTextInputerTapMonitorTest, InsideTheFieldOrInAnotherWindowNothingIsReported) {
    m_field->setFocus();
    EXPECT_EQ(callsAfterClicking(m_field), 0);
    const QPoint click = m_otherLabel->rect().center();
    const QRect fieldInWindow(m_field->mapTo(&m_window, QPoint(0, 0)), m_field->size());
    ASSERT_FALSE(fieldInWindow.contains(m_window.mapFromGlobal(m_otherLabel->mapToGlobal(click))));
    ASSERT_FALSE(fieldInWindow.contains(m_otherLabel->mapTo(&m_other, click)));
    ASSERT_FALSE(fieldInWindow.contains(click));
    EXPECT_EQ(callsAfterClicking(m_otherLabel), 0);
    QTest::mouseClick(m_label, Qt::RightButton);
    QTest::qWait(20);
    EXPECT_EQ(m_calls, 0);
}

TEST_F(OutOfTextInputerTapMonitorTest, WithoutAFocusedTextFieldNothingIsReported) {
    m_button->setFocus();
    EXPECT_EQ(callsAfterClicking(m_label), 0);
    // A multi-line editor counts as a text field too.
    auto* editor = new QTextEdit;
    m_window.layout()->addWidget(editor);
    editor->show();
    editor->setFocus();
    EXPECT_EQ(callsAfterClicking(m_label), 1);
}

TEST_F(OutOfTextInputerTapMonitorTest, TheMonitorStopsWithItsView) {
    m_field->setFocus();
    delete m_label;
    m_label = nullptr;
    EXPECT_EQ(callsAfterClicking(m_button), 0);
}

} // namespace
