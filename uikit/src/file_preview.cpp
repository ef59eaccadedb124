#include "uikit/file_preview.hpp"

#include <QAbstractTableModel>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace uikit {
namespace {

constexpr int kSampledRows = 100;

// The records of a CSV file as a read-only table; texts are converted only when shown.
class CsvTableModel final : public QAbstractTableModel {
public:
    explicit CsvTableModel(QObject* parent) : QAbstractTableModel(parent) {}

    void reset(std::vector<CsvRecord> records) {
        beginResetModel();
        m_records = std::move(records);
        m_columns = 0;
        for (const CsvRecord& record : m_records) {
            m_columns = std::max(m_columns, record.size());
        }
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_records.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_columns);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
            return {};
        }
        const CsvRecord& record = m_records[static_cast<std::size_t>(index.row())];
        const auto column = static_cast<std::size_t>(index.column());
        if (column >= record.size()) {
            return QString();
        }
        return QString::fromStdString(record[column]);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    std::vector<CsvRecord> m_records;
    std::size_t m_columns = 0;
};

bool isCsv(const QString& path) {
    return QFileInfo(path).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0;
}

// Text by its type, or by content when the type says nothing: valid UTF-8 without NUL bytes.
bool looksLikeText(const QString& path, const QByteArray& bytes) {
    const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(path, bytes);
    if (type.inherits(QStringLiteral("text/plain"))) {
        return true;
    }
    if (bytes.contains('\0')) {
        return false;
    }
    QString decoded = QString::fromUtf8(bytes);
    return !decoded.contains(QChar::ReplacementCharacter);
}

} // namespace

FilePreview::FilePreview(const QString& path, std::optional<QString> title, QWidget* parent)
    : QWidget(parent), m_path(path), m_title(std::move(title)) {
    const QByteArray line =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString().toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);

    m_stack = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    m_table = new QTableView(m_stack);
    m_table->setModel(new CsvTableModel(m_table));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false);
    // Whoever holds the preview draws its edges; a frame of its own would double a divider laid
    // beside it into a line two pixels thick.
    m_table->setFrameShape(QFrame::NoFrame);
    m_stack->addWidget(m_table);

    m_text = new QPlainTextEdit(m_stack);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFrameShape(QFrame::NoFrame);
    m_stack->addWidget(m_text);

    m_image = new QLabel(m_stack);
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(1, 1);
    m_image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_stack->addWidget(m_image);

    m_summary = new QLabel(m_stack);
    m_summary->setAlignment(Qt::AlignCenter);
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_stack->addWidget(m_summary);

    load();
}

void FilePreview::setFile(const QString& path) {
    m_path = path;
    load();
}

const QAbstractItemModel* FilePreview::tableModel() const {
    return m_table->model();
}

QString FilePreview::shownText() const {
    switch (m_kind) {
    case Kind::text:
        return m_text->toPlainText();
    case Kind::summary:
        return m_summary->text();
    case Kind::table:
    case Kind::image:
        break;
    }
    return {};
}

void FilePreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_kind == Kind::image) {
        showScaledImage();
    }
}

void FilePreview::load() {
    auto* model = static_cast<CsvTableModel*>(m_table->model());
    model->reset({});
    m_text->clear();
    m_image->clear();
    m_picture = QImage();
    m_truncated = false;

    // Only regular files: reading a FIFO or a device could block the window forever.
    if (!QFileInfo(m_path).isFile()) {
        showSummary(QFileInfo::exists(m_path) ? QString() : QStringLiteral("No such file"));
        return;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        showSummary(file.errorString());
        return;
    }
    const QByteArray bytes = file.read(kMaxBytes);
    m_truncated = file.size() > kMaxBytes;
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError) {
        showSummary(file.errorString());
        return;
    }

    if (isCsv(m_path)) {
        try {
            model->reset(
                readCsv(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                        m_truncated ? CsvEnding::mayBeCut : CsvEnding::complete));
            m_kind = Kind::table;
            m_stack->setCurrentWidget(m_table);
            // The first column holds names; sampling a few rows keeps a wide file quick.
            m_table->horizontalHeader()->setResizeContentsPrecision(kSampledRows);
            m_table->resizeColumnToContents(0);
            return;
        } catch (const CsvFormatError&) {
            // Broken quoting: the text itself still shows what the file holds.
        }
        m_text->setPlainText(QString::fromUtf8(bytes));
        m_kind = Kind::text;
        m_stack->setCurrentWidget(m_text);
        return;
    }

    if (!m_truncated) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        if (reader.canRead()) {
            m_picture = reader.read();
            if (!m_picture.isNull()) {
                m_kind = Kind::image;
                m_stack->setCurrentWidget(m_image);
                showScaledImage();
                return;
            }
        }
    }

    if (looksLikeText(m_path, bytes)) {
        m_text->setPlainText(QString::fromUtf8(bytes));
        m_kind = Kind::text;
        m_stack->setCurrentWidget(m_text);
        return;
    }
    showSummary({});
}

void FilePreview::showSummary(const QString& detail) {
    const QFileInfo info(m_path);
    const QString name = m_title.value_or(info.fileName());
    QString text = name;
    if (info.exists()) {
        text += QStringLiteral("\n") + QLocale().formattedDataSize(info.size());
    }
    if (!detail.isEmpty()) {
        text += QStringLiteral("\n") + detail;
    }
    m_summary->setText(text);
    m_kind = Kind::summary;
    m_stack->setCurrentWidget(m_summary);
}

void FilePreview::showScaledImage() {
    if (m_picture.isNull()) {
        return;
    }
    const QSize target = m_stack->size().boundedTo(m_picture.size());
    m_image->setPixmap(QPixmap::fromImage(m_picture.scaled(
        target.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace uikit
