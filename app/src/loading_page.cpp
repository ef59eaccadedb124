#include "app/loading_page.hpp"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace app {

LoadingPage::LoadingPage(QWidget* parent) : WindowPage(parent) {
    setObjectName(QStringLiteral("loadingPage"));
    auto* progress = new QProgressBar(this);
    // A range of (0, 0) makes the bar indeterminate.
    progress->setRange(0, 0);
    progress->setTextVisible(false);
    progress->setFixedWidth(200);

    auto* label = new QLabel(QStringLiteral("Loading..."), this);
    label->setObjectName(QStringLiteral("loadingLabel"));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->addStretch();
    layout->addWidget(progress, 0, Qt::AlignHCenter);
    layout->addWidget(label, 0, Qt::AlignHCenter);
    layout->addStretch();
}

void LoadingPage::fillToolbar(QToolBar& /*toolBar*/) {}

} // namespace app
