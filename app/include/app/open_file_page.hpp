#pragma once

#include "app/window_page.hpp"

#include <QAbstractButton>
#include <QString>

#include <memory>
#include <optional>

namespace app {

class SceneEvents;

/// The welcome screen's large open button: a 240 by 150 card with rounded corners and a thin
/// outline, clickable over its whole rectangle.
class OpenCardButton final : public QAbstractButton {
    Q_OBJECT
public:
    /// A card labelled `text`.
    explicit OpenCardButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

/// What a window shows while no document is open: the open card, a drop hint, and a toolbar with
/// the application's title and an "Open" button. A chosen file, or the first of a drop when it is
/// a project document, is handed on through `fileDidSelected`; any other drop sends its message
/// on the window's error event.
class OpenFilePage final : public WindowPage {
    Q_OBJECT
public:
    /// A welcome screen reporting wrong drops on `events`.
    explicit OpenFilePage(std::shared_ptr<SceneEvents> events, QWidget* parent = nullptr);

    void fillToolbar(QToolBar& toolBar) override;

    /// True while the file chooser is open.
    bool opening() const noexcept { return m_opening; }
    /// True while a drag hovers over the screen.
    bool draggingMouseIn() const noexcept { return m_draggingMouseIn; }

    /// Opens the file chooser for project documents; does nothing while it is already open.
    void openChooser();

signals:
    /// The user chose or dropped the project document at `path`.
    void fileDidSelected(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void chooserAnswered(const std::optional<QString>& path);
    void setDraggingMouseIn(bool in);

    std::shared_ptr<SceneEvents> m_events;
    bool m_opening = false;
    bool m_draggingMouseIn = false;
};

} // namespace app
