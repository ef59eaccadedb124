#include "app/platform.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <mutex>
#include <utility>

namespace app {
namespace {

// Runs the dialog window-modal without a nested event loop, and answers exactly once.
void runDialog(QFileDialog* dialog, Platform::Choice done) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, done = std::move(done)](int result) {
                         const QStringList files = dialog->selectedFiles();
                         if (result == QDialog::Accepted && !files.isEmpty()) {
                             done(files.front());
                         } else {
                             done(std::nullopt);
                         }
                     });
    dialog->open();
}

class DesktopPlatform final : public Platform {
public:
    void chooseOpenFile(QWidget* parent, const QString& suffix, Choice done) override {
        auto* dialog = new QFileDialog(parent);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setNameFilter(QStringLiteral("*.%1").arg(suffix));
        runDialog(dialog, std::move(done));
    }

    void chooseSaveFile(QWidget* parent, const QString& suggestedName, const QString& suffix,
                        Choice done) override {
        auto* dialog = new QFileDialog(parent);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(suffix);
        dialog->setNameFilter(QStringLiteral("*.%1").arg(suffix));
        dialog->selectFile(suggestedName);
        runDialog(dialog, std::move(done));
    }

    void revealFile(const QString& path) override {
        const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{url.toString()} << QString();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
            if (reply.type() == QDBusMessage::ReplyMessage) {
                return;
            }
        }
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    }
};

std::mutex& platformMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<Platform>& currentPlatform() {
    static std::shared_ptr<Platform> current;
    return current;
}

} // namespace

std::shared_ptr<Platform> makeDesktopPlatform() {
    return std::make_shared<DesktopPlatform>();
}

std::shared_ptr<Platform> platform() {
    const std::lock_guard lock(platformMutex());
    auto& current = currentPlatform();
    if (!current) {
        current = makeDesktopPlatform();
    }
    return current;
}

std::shared_ptr<Platform> setPlatform(std::shared_ptr<Platform> replacement) {
    const std::lock_guard lock(platformMutex());
    return std::exchange(currentPlatform(), std::move(replacement));
}

} // namespace app
