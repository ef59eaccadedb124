#pragma once

#include "uikit/csv_reader.hpp"

#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>

class QAbstractItemModel;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QTableView;

namespace uikit {

/// A read-only preview of one file: a `.csv` file as a table, other text as text, an image
/// scaled to fit, anything else as its name and size. At most `kMaxBytes` of the file are read;
/// a longer file is previewed by its beginning (a CSV file without its last, cut record).
class FilePreview : public QWidget {
    Q_OBJECT

public:
    /// The most bytes read from a previewed file.
    static constexpr qint64 kMaxBytes = qint64{8} * 1024 * 1024;

    /// How the current file is shown.
    enum class Kind {
        /// Comma-separated text, one table row per record.
        table,
        /// Text (also a `.csv` file whose quoting is broken).
        text,
        /// An image, scaled to the preview with its aspect ratio kept.
        image,
        /// Only the file's name and size (or why it cannot be read).
        summary
    };

    /// A preview of the file at `path`, with `title` shown in place of the file name where the
    /// name is shown. Writes the file's URL and a line break to standard output.
    explicit FilePreview(const QString& path, std::optional<QString> title = std::nullopt,
                         QWidget* parent = nullptr);

    /// Shows the file at `path`, reading it again even when it is the file already shown.
    void setFile(const QString& path);

    /// The file shown.
    const QString& path() const noexcept { return m_path; }
    /// The title given at construction, if any.
    const std::optional<QString>& title() const noexcept { return m_title; }
    /// How the file is shown.
    Kind kind() const noexcept { return m_kind; }
    /// True when the file was longer than `kMaxBytes` and only its beginning is shown.
    bool isTruncated() const noexcept { return m_truncated; }
    /// The table's model (rows and columns of the CSV file; empty unless `kind()` is table).
    const QAbstractItemModel* tableModel() const;
    /// The text shown for text files, or the name and size line of a summary.
    QString shownText() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void load();
    void showSummary(const QString& detail);
    void showScaledImage();

    QString m_path;
    std::optional<QString> m_title;
    Kind m_kind = Kind::summary;
    bool m_truncated = false;
    QStackedWidget* m_stack = nullptr;
    QTableView* m_table = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_image = nullptr;
    QLabel* m_summary = nullptr;
    QImage m_picture;
};

} // namespace uikit
