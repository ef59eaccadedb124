#include "app/csv_export_dialog.hpp"

#include "app/platform.hpp"
#include "report/report_view_model.hpp"
#include "uikit/color.hpp"
#include "uikit/divider.hpp"
#include "uikit/file_preview.hpp"
#include "uikit/sf_symbol.hpp"
#include "uikit/symbol_icon.hpp"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <utility>

namespace app {
namespace {

constexpr int kTitlePixelSize = 22;
constexpr int kHeaderPadding = 16;

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString qt(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QLabel* statusLabel(std::string_view text, QWidget* parent) {
    auto* label = new QLabel(qt(text), parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

CsvExportDialog::CsvExportDialog(std::shared_ptr<report::ReportViewModel> viewModel,
                                 const QString& projectName, QWidget* parent,
                                 const std::filesystem::path& temporaryFolder)
    : QDialog(parent), m_viewModel(std::move(viewModel)), m_projectName(projectName),
      m_flow(ExportFlow::temporaryTarget(temporaryFolder)) {
    setWindowModality(Qt::WindowModal);
    setWindowTitle(qt(ExportFlow::kTitle));
    setMinimumSize(kMinimumSize);
    resize(kInitialSize);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // The header bar: the title, and "Save" once the file is written.
    auto* header = new QWidget(this);
    header->setFixedHeight(kHeaderHeight);
    header->setAutoFillBackground(true);
    header->setBackgroundRole(QPalette::Window);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(kHeaderPadding, 0, kHeaderPadding, 0);
    m_title = new QLabel(qt(ExportFlow::kTitle), header);
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(kTitlePixelSize);
    m_title->setFont(uikit::Color::isDarkAppearance(palette()) ? uikit::Font::thin(titleFont)
                                                               : uikit::Font::light(titleFont));
    setTextColor(m_title, uikit::Color::secondaryLabel(palette()));
    headerRow->addWidget(m_title, 1);
    auto* save = new QPushButton(header);
    uikit::label(uikit::SFSymbol::squareAndArrowUp, qt(ExportFlow::kSave)).applyTo(*save);
    save->setAutoDefault(false);
    save->hide();
    m_save = save;
    headerRow->addWidget(save);
    connect(save, &QPushButton::clicked, this, &CsvExportDialog::chooseAndSave);
    column->addWidget(header);

    // The system background lies behind the separator line, showing through only where the
    // separator is translucent.
    column->addWidget(new uikit::Divider(Qt::Horizontal, uikit::Color::systemBackground, this));

    m_content = new QStackedWidget(this);
    m_generating = statusLabel(ExportFlow::kGenerating, m_content);
    setTextColor(m_generating, uikit::Color::secondaryLabel(palette()));
    m_failed = statusLabel(ExportFlow::kGenerateFailed, m_content);
    setTextColor(m_failed, QColor(Qt::red));
    m_content->addWidget(m_generating);
    m_content->addWidget(m_failed);
    column->addWidget(m_content, 1);

    auto* buttons = new QDialogButtonBox(this);
    auto* doneButton = buttons->addButton(qt(ExportFlow::kDone), QDialogButtonBox::RejectRole);
    doneButton->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttons->setContentsMargins(kHeaderPadding, kHeaderPadding / 2, kHeaderPadding,
                                kHeaderPadding / 2);
    column->addWidget(buttons);

    // While the sheet is up it is the window the keyboard speaks to: the platform's Close command
    // closes the sheet, as Escape does, and leaves the document's window open.
    auto* closeSheet = new QAction(this);
    closeSheet->setShortcuts(QKeySequence::Close);
    connect(closeSheet, &QAction::triggered, this, &QWidget::close);
    addAction(closeSheet);
}

CsvExportDialog::~CsvExportDialog() {
    m_flow.close();
}

QString CsvExportDialog::statusText() const {
    const QWidget* shown = m_content->currentWidget();
    if (shown == m_generating || shown == m_failed) {
        return static_cast<const QLabel*>(shown)->text();
    }
    return {};
}

QString CsvExportDialog::suggestedFileName() const {
    return QString::fromStdString(ExportFlow::suggestedFileName(m_projectName.toStdString()));
}

void CsvExportDialog::done(int result) {
    // Nothing reads the temporary file once the sheet is closed.
    m_flow.close();
    QDialog::done(result);
}

void CsvExportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started) {
        return;
    }
    m_started = true;
    // A report of many tasks takes long to write out: never on the GUI thread.
    std::weak_ptr<report::ReportViewModel> model = m_viewModel;
    m_flow.start(
        [model] {
            const auto locked = model.lock();
            return locked ? locked->csvText() : std::string();
        },
        *core::background(), core::mainLoop(),
        [guard = QPointer<CsvExportDialog>(this)](const ExportFlow::ViewState& state) {
            if (CsvExportDialog* const self = guard.data()) {
                self->applyState(state);
            }
        });
}

void CsvExportDialog::applyState(const ExportFlow::ViewState& state) {
    if (!m_flow.settle(state)) {
        return;
    }
    if (state.kind() == ExportFlow::ViewState::Case::exported) {
        m_preview = new uikit::FilePreview(qt(state.url()), std::nullopt, m_content);
        m_content->addWidget(m_preview);
        m_content->setCurrentWidget(m_preview);
        m_save->show();
    } else {
        m_content->setCurrentWidget(m_failed);
    }
    emit stateChanged();
}

void CsvExportDialog::chooseAndSave() {
    if (m_saving || !m_flow.showsSaveButton()) {
        return;
    }
    m_saving = true;
    platform()->chooseSaveFile(
        this, suggestedFileName(), qt(ExportFlow::kSuffix),
        [guard = QPointer<CsvExportDialog>(this)](std::optional<QString> chosen) {
            CsvExportDialog* const self = guard.data();
            if (self == nullptr) {
                return;
            }
            self->m_saving = false;
            std::optional<std::filesystem::path> destination;
            if (chosen) {
                destination = std::filesystem::path(chosen->toStdString());
            }
            switch (ExportFlow::save(self->m_flow.target(), destination)) {
            case ExportFlow::SaveOutcome::cancelled:
                break;
            case ExportFlow::SaveOutcome::saved:
                platform()->revealFile(*chosen);
                break;
            case ExportFlow::SaveOutcome::failed:
                self->showSaveFailed();
                break;
            }
        });
}

void CsvExportDialog::showSaveFailed() {
    if (m_alert == nullptr) {
        m_alert = new QMessageBox(QMessageBox::Warning, qt(ExportFlow::kSaveFailed), QString(),
                                  QMessageBox::Ok, this);
        m_alert->setText(qt(ExportFlow::kSaveFailed));
        m_alert->setWindowModality(Qt::WindowModal);
    }
    m_alert->open();
}

} // namespace app
