#include "app/document_page.hpp"

#include "app/document_context.hpp"
#include "app/report_grid_view.hpp"
#include "app/text_styles.hpp"
#include "document/zoz_project.hpp"
#include "report/report_view_model.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QSizePolicy>
#include <QToolBar>

#include <utility>

namespace app {

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

    // The view model builds in the background and publishes on the main loop; it holds the
    // project weakly, and the context held here keeps the project alive for the page's life.
    m_viewModel->load(report::ProjectReport::ValueKind::cost(report::ProjectReport::CostKind::all),
                      m_context->project());
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
}

} // namespace app
