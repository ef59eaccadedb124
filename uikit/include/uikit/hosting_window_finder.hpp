#pragma once

#include "core/user_defaults.hpp"

#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QUndoStack;

namespace uikit {

/// Calls `callback` once, later from the event loop (after the caller has finished placing
/// `view`), with the view's window, or with null when the view is gone by then.
void findWindow(QWidget& view, std::function<void(QWidget*)> callback);

/// Like `findWindow`, handing over the window's undo stack (a `QUndoStack` child of the window),
/// or null when the window has none or the view is gone.
void findUndoManager(QWidget& view, std::function<void(QUndoStack*)> callback);

/// The settings key under which a window's frame is kept for the autosave name `name`.
std::string frameAutosaveKey(const QString& name);

/// A new window, owned by the caller and not deleted when closed, holding `content` (taken over)
/// at `size`, centred on its screen, with `flags`; titled only when `title` is not empty. With a
/// non-empty `frameAutosaveName`, the frame last saved under that name in `store` (the user's
/// standard store when null) is restored, and every later move or resize is saved there.
std::unique_ptr<QWidget> encloseInWindow(QWidget* content, const QString& title,
                                         Qt::WindowFlags flags, QSize size,
                                         const QString& frameAutosaveName,
                                         std::shared_ptr<core::UserDefaults> store = nullptr);

} // namespace uikit
