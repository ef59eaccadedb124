#include "app/document_page.hpp"

#include "app/csv_export_dialog.hpp"
#include "app/document_context.hpp"
#include "app/inspector_panel.hpp"
#include "app/report_grid_view.hpp"
#include "app/spring.hpp"
#include "app/text_styles.hpp"
#include "document/zoz_project.hpp"
#include "report/report_view_model.hpp"
#include "uikit/color.hpp"
#include "uikit/divider.hpp"
#include "uikit/sf_symbol.hpp"
#include "uikit/symbol_icon.hpp"

#include <QAction>
#include <QEasingCurve>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QSizePolicy>
#include <QToolBar>
#include <QVariantAnimation>

#include <cmath>

#include <utility>

namespace app {
namespace {

constexpr Spring kInspectorSpring{0.55, 0.825};

// The inspector's spring over the animation's normalised time.
qreal inspectorSpringCurve(qreal progress) {
    return kInspectorSpring.value(progress * kInspectorSpring.settlingTime());
}

// Holds the divider and the inspector at their own widths from its left edge. As the page
// narrows it from the left while sliding, the inspector moves out past the trailing edge
// instead of being squeezed.
class InspectorSide final : public QWidget {
public:
    InspectorSide(InspectorPanel* panel, QWidget* parent) : QWidget(parent), m_panel(panel) {
        // The system background lies behind the separator line, showing through only where the
        // separator is translucent.
        m_divider = new uikit::Divider(Qt::Vertical, uikit::Color::systemBackground, this);
        panel->setParent(this);
        panel->setFixedWidth(InspectorPanel::kWidth);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        setFixedWidth(fullWidth());
    }

    int fullWidth() const { return m_divider->width() + InspectorPanel::kWidth; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        m_divider->setGeometry(0, 0, m_divider->width(), height());
        m_panel->setGeometry(m_divider->width(), 0, InspectorPanel::kWidth, height());
    }

private:
    uikit::Divider* m_divider;
    InspectorPanel* m_panel;
};

} // namespace

DocumentPage::DocumentPage(std::shared_ptr<const DocumentContext> context,
                           std::shared_ptr<SceneEvents> events, QWidget* parent)
    : WindowPage(parent), m_context(std::move(context)), m_events(std::move(events)),
      m_viewModel(report::ReportViewModel::create()) {
    setObjectName(QStringLiteral("documentPage"));
    m_content = new QHBoxLayout(this);
    m_content->setContentsMargins(0, 0, 0, 0);
    m_content->setSpacing(0);
    m_grid = new ReportGridView(m_viewModel, this);
    m_grid->setObjectName(QStringLiteral("reportGrid"));
    m_content->addWidget(m_grid, 1);

    m_inspector = new InspectorPanel(m_viewModel, m_context->project()->currency(), this);
    m_inspector->setObjectName(QStringLiteral("inspector"));
    auto* side = new InspectorSide(m_inspector, this);
    m_inspectorSide = side;
    m_content->addWidget(side);
    m_slide = new QVariantAnimation(this);
    QEasingCurve spring;
    spring.setCustomType(inspectorSpringCurve);
    m_slide->setEasingCurve(spring);
    m_slide->setDuration(static_cast<int>(std::lround(kInspectorSpring.settlingTime() * 1000)));
    connect(m_slide, &QVariantAnimation::valueChanged, side,
            [side](const QVariant& width) { side->setFixedWidth(std::max(0, width.toInt())); });
    connect(m_slide, &QVariantAnimation::finished, side,
            [this, side] { side->setHidden(!m_inspectorShown); });

    // The view model builds in the background and publishes on the main loop; it holds the
    // project weakly, and the context held here keeps the project alive for the page's life.
    m_viewModel->load(report::ProjectReport::ValueKind::cost(report::ProjectReport::CostKind::all),
                      m_context->project(), m_context->takePreparedLoad());
}

DocumentPage::~DocumentPage() = default;

void DocumentPage::fillToolbar(QToolBar& toolBar) {
    auto* name =
        makeTitleLabel(QString::fromStdString(m_context->project()->name()), TextStyle::title2);
    name->setObjectName(QStringLiteral("projectName"));
    toolBar.addWidget(name);

    // Everything after the spacer sits at the toolbar's trailing end.
    auto* spacer = new QWidget;
    spacer->setObjectName(QStringLiteral("toolbarSpacer"));
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar.addWidget(spacer);

    QAction* csv = toolBar.addAction(QStringLiteral("CSV"));
    csv->setObjectName(QStringLiteral("csvAction"));
    connect(csv, &QAction::triggered, this, &DocumentPage::exportCsv);

    // The symbol alone labels the button, as the toolbar's design has it.
    QAction* sidebar =
        toolBar.addAction(uikit::symbolIcon(uikit::SFSymbol::sidebar.right()), QString());
    sidebar->setObjectName(QStringLiteral("inspectorAction"));
    connect(sidebar, &QAction::triggered, this, &DocumentPage::toggleInspector);
}

void DocumentPage::toggleInspector() {
    auto* side = static_cast<InspectorSide*>(m_inspectorSide);
    m_inspectorShown = !m_inspectorShown;
    m_slide->stop();
    m_slide->setStartValue(side->isHidden() ? 0 : side->width());
    m_slide->setEndValue(m_inspectorShown ? side->fullWidth() : 0);
    side->show();
    m_slide->start();
}

CsvExportDialog* DocumentPage::csvExportDialog() const {
    return m_csvExport;
}

void DocumentPage::exportCsv() {
    if (m_csvExport) {
        return;
    }
    auto* sheet = new CsvExportDialog(m_viewModel,
                                      QString::fromStdString(m_context->project()->name()), this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_csvExport = sheet;
    sheet->open();
}

} // namespace app
