#pragma once

#include <QDialog>
#include <QString>

#include <filesystem>
#include <memory>

#include "app/export_flow.hpp"

class QAbstractButton;
class QLabel;
class QMessageBox;
class QStackedWidget;

namespace report {
class ReportViewModel;
}

namespace uikit {
class FilePreview;
}

namespace app {

/// The CSV export sheet: window-modal over the document page. Once shown, the report's CSV text
/// is made on the background executor and written to a fresh temporary file, which is then
/// previewed; "Save" copies it where the user chooses and shows the saved file in the file
/// manager; "Done", Escape or the Close command (Ctrl+W) closes the sheet, and closing removes the
/// temporary file.
/// Open it with `open()`; each sheet exports once.
class CsvExportDialog : public QDialog {
    Q_OBJECT

public:
    /// The smallest size of the sheet.
    static constexpr QSize kMinimumSize{780, 420};
    /// The size the sheet opens with.
    static constexpr QSize kInitialSize{920, 560};
    /// The height of the header bar.
    static constexpr int kHeaderHeight = 52;

    /// A sheet exporting `viewModel`'s report for the project named `projectName`, writing its
    /// temporary file into `temporaryFolder` (the system's temporary folder when empty).
    CsvExportDialog(std::shared_ptr<report::ReportViewModel> viewModel, const QString& projectName,
                    QWidget* parent = nullptr, const std::filesystem::path& temporaryFolder = {});
    ~CsvExportDialog() override;

    /// Where the sheet stands.
    const ExportFlow::ViewState& state() const noexcept { return m_flow.state(); }
    /// The temporary file this sheet writes.
    const std::filesystem::path& temporaryFile() const noexcept { return m_flow.target(); }
    /// The preview of the written file; null until exported.
    uikit::FilePreview* preview() const noexcept { return m_preview; }
    /// "Save"; shown only once the file is written.
    QAbstractButton* saveButton() const noexcept { return m_save; }
    /// The text shown in the content area while generating or after a failure.
    QString statusText() const;
    /// The "Failed to save!" alert; null until a save has failed.
    QMessageBox* saveFailedAlert() const noexcept { return m_alert; }
    /// The name offered to the save chooser.
    QString suggestedFileName() const;

    void done(int result) override;

signals:
    /// The state moved from generating to exported or failed.
    void stateChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyState(const ExportFlow::ViewState& state);
    void chooseAndSave();
    void showSaveFailed();

    std::shared_ptr<report::ReportViewModel> m_viewModel;
    QString m_projectName;
    ExportFlow m_flow;
    bool m_started = false;
    bool m_saving = false;
    QLabel* m_title = nullptr;
    QAbstractButton* m_save = nullptr;
    QStackedWidget* m_content = nullptr;
    QLabel* m_generating = nullptr;
    QLabel* m_failed = nullptr;
    uikit::FilePreview* m_preview = nullptr;
    QMessageBox* m_alert = nullptr;
};

} // namespace app
