#include "uikit/hosting_window_finder.hpp"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

namespace uikit {

namespace {

// Saves a window's frame under its autosave key: moves and resizes are gathered for a moment,
// hiding saves at once.
class FrameAutosaver final : public QObject {
public:
    FrameAutosaver(QWidget& window, std::string key, std::shared_ptr<core::UserDefaults> store)
        : QObject(&window), m_window(window), m_key(std::move(key)), m_store(std::move(store)) {
        m_delay.setSingleShot(true);
        m_delay.setInterval(300);
        connect(&m_delay, &QTimer::timeout, this, [this] { save(); });
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (m_window.isVisible()) {
                m_delay.start();
            }
            break;
        case QEvent::Hide:
            m_delay.stop();
            save();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void save() {
        const QByteArray geometry = m_window.saveGeometry();
        m_store->set(m_key, core::Data(geometry.begin(), geometry.end()));
    }

    QWidget& m_window;
    std::string m_key;
    std::shared_ptr<core::UserDefaults> m_store;
    QTimer m_delay;
};

} // namespace

void findWindow(QWidget& view, std::function<void(QWidget*)> callback) {
    QTimer::singleShot(0, qApp, [guard = QPointer<QWidget>(&view), callback = std::move(callback)] {
        callback(guard ? guard->window() : nullptr);
    });
}

void findUndoManager(QWidget& view, std::function<void(QUndoStack*)> callback) {
    findWindow(view, [callback = std::move(callback)](QWidget* window) {
        callback(window != nullptr
                     ? window->findChild<QUndoStack*>(QString(), Qt::FindDirectChildrenOnly)
                     : nullptr);
    });
}

std::string frameAutosaveKey(const QString& name) {
    return "WindowFrame " + name.toStdString();
}

std::unique_ptr<QWidget> encloseInWindow(QWidget* content, const QString& title,
                                         Qt::WindowFlags flags, QSize size,
                                         const QString& frameAutosaveName,
                                         std::shared_ptr<core::UserDefaults> store) {
    auto window = std::make_unique<QWidget>(nullptr, flags | Qt::Window);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    if (content != nullptr) {
        layout->addWidget(content);
    }
    window->resize(size);
    if (const QScreen* screen = window->screen()) {
        QRect frame(QPoint(0, 0), size);
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    if (!frameAutosaveName.isEmpty()) {
        if (!store) {
            store = core::UserDefaults::standard();
        }
        const std::string key = frameAutosaveKey(frameAutosaveName);
        if (const auto saved = store->data(key)) {
            window->restoreGeometry(QByteArray(reinterpret_cast<const char*>(saved->data()),
                                               static_cast<qsizetype>(saved->size())));
        }
        new FrameAutosaver(*window, key, std::move(store));
    }
    if (!title.isEmpty()) {
        window->setWindowTitle(title);
    }
    return window;
}

} // namespace uikit
