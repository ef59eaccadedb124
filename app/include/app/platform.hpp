#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace app {

/// What the window asks of the desktop: file choosers and the file manager. Behind an interface
/// so tests replace the dialogs and the file manager with stubs.
/// Every call is made on the GUI thread; a chooser answers later, on the GUI thread, exactly once.
class Platform {
public:
    /// The chooser's answer: the chosen path, or nothing when the user cancelled.
    using Choice = std::function<void(std::optional<QString> path)>;

    virtual ~Platform() = default;

    /// Lets the user pick one existing file whose name ends in `.<suffix>`, window-modal over
    /// `parent`.
    virtual void chooseOpenFile(QWidget* parent, const QString& suffix, Choice done) = 0;
    /// Lets the user pick where to save, starting from `suggestedName`; `suffix` is added to a
    /// name typed without it. Replacing an existing file is confirmed by the dialog itself.
    virtual void chooseSaveFile(QWidget* parent, const QString& suggestedName,
                                const QString& suffix, Choice done) = 0;
    /// Asks the file manager to show `path` selected in its folder; opens the folder when the
    /// file manager cannot select files. Never fails loudly: nothing happens when neither works.
    virtual void revealFile(const QString& path) = 0;

protected:
    Platform() = default;
    Platform(const Platform&) = default;
    Platform& operator=(const Platform&) = default;
};

/// The desktop's own dialogs and file manager (freedesktop `FileManager1` over D-Bus).
std::shared_ptr<Platform> makeDesktopPlatform();

/// The platform the windows use; the desktop's unless replaced.
std::shared_ptr<Platform> platform();

/// Replaces the platform the windows use (nullptr restores the desktop's) and returns the old one.
std::shared_ptr<Platform> setPlatform(std::shared_ptr<Platform> replacement);

} // namespace app
