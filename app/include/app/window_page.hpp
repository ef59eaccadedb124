#pragma once

#include <QWidget>

class QToolBar;

namespace app {

/// One screen of a report window. The window shows one page at a time and lets the page fill the
/// window's single toolbar while it is active.
class WindowPage : public QWidget {
    Q_OBJECT
public:
    /// A page inside `parent`.
    explicit WindowPage(QWidget* parent = nullptr) : QWidget(parent) {}

    /// Adds this page's toolbar items to `toolBar`, which the window has just emptied; the
    /// toolbar owns what is added and drops it when another page becomes active.
    virtual void fillToolbar(QToolBar& toolBar) = 0;
};

} // namespace app
