#pragma once

#include "app/window_page.hpp"

#include <QPointer>

#include <memory>

class QHBoxLayout;
class QLabel;
class QVariantAnimation;

namespace report {
class ReportViewModel;
}

namespace app {

class CsvExportDialog;
class DocumentContext;
class InspectorPanel;
class ReportGridView;
class SceneEvents;

/// What a window shows once a document is open. It owns the window's report view model, starts
/// the first build of the report (all costs) when it is made, and puts the project's name at the
/// start of the toolbar. Its content is one horizontal row: the report grid on the left, taking
/// all the width the side panels on the right leave, and the options inspector on the right,
/// shown at first; the toolbar's sidebar button slides it out and in, and its "CSV" button opens
/// the export sheet.
class DocumentPage final : public WindowPage {
    Q_OBJECT
public:
    /// The page of `context`'s document; screens inside it send their alerts on `events`.
    DocumentPage(std::shared_ptr<const DocumentContext> context,
                 std::shared_ptr<SceneEvents> events, QWidget* parent = nullptr);
    ~DocumentPage() override;

    void fillToolbar(QToolBar& toolBar) override;

    /// The open document.
    const std::shared_ptr<const DocumentContext>& context() const noexcept { return m_context; }
    /// The window's events.
    const std::shared_ptr<SceneEvents>& events() const noexcept { return m_events; }
    /// The report of this window, owned by the page.
    const std::shared_ptr<report::ReportViewModel>& viewModel() const noexcept {
        return m_viewModel;
    }
    /// The row the report and its side panels are laid out in, left to right, without spacing.
    QHBoxLayout* contentLayout() const noexcept { return m_content; }
    /// The report grid, the first item of the row.
    ReportGridView* grid() const noexcept { return m_grid; }
    /// The options inspector.
    InspectorPanel* inspector() const noexcept { return m_inspector; }
    /// The inspector with the divider before it, as the row holds them.
    QWidget* inspectorSide() const noexcept { return m_inspectorSide; }
    /// Whether the inspector is shown, or sliding in.
    bool isInspectorShown() const noexcept { return m_inspectorShown; }
    /// The export sheet while it is open, else null.
    CsvExportDialog* csvExportDialog() const;

    /// Slides the inspector out when shown, in when hidden.
    void toggleInspector();
    /// Opens a new export sheet; does nothing while one is open.
    void exportCsv();

private:
    std::shared_ptr<const DocumentContext> m_context;
    std::shared_ptr<SceneEvents> m_events;
    std::shared_ptr<report::ReportViewModel> m_viewModel;
    QHBoxLayout* m_content = nullptr;
    ReportGridView* m_grid = nullptr;
    InspectorPanel* m_inspector = nullptr;
    QWidget* m_inspectorSide = nullptr;
    QVariantAnimation* m_slide = nullptr;
    bool m_inspectorShown = true;
    QPointer<CsvExportDialog> m_csvExport;
};

} // namespace app
