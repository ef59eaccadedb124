#pragma once

#include "app/window_page.hpp"

namespace app {

/// What a window shows while a document opens: an indeterminate progress bar over "Loading...".
/// It adds nothing to the toolbar.
class LoadingPage final : public WindowPage {
    Q_OBJECT
public:
    /// The progress screen inside `parent`.
    explicit LoadingPage(QWidget* parent = nullptr);

    void fillToolbar(QToolBar& toolBar) override;
};

} // namespace app
