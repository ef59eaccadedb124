#include "app/open_file_page.hpp"

#include "app/platform.hpp"
#include "app/scene_events.hpp"
#include "app/text_styles.hpp"
#include "app/zoz_document.hpp"

#include "uikit/color.hpp"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QSizePolicy>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace app {
namespace {

constexpr int kCardWidth = 240;
constexpr int kCardHeight = 150;
constexpr qreal kCardRadius = 12;

QPainterPath cardShape(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, kCardRadius, kCardRadius);
    return path;
}

} // namespace

OpenCardButton::OpenCardButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setFixedSize(kCardWidth, kCardHeight);
    setCursor(Qt::PointingHandCursor);
}

void OpenCardButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The 1-pixel outline is centred on a half-pixel inset so it stays crisp and inside.
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = cardShape(outline);
    painter.fillPath(shape, uikit::Color::controlBackground(palette()));
    QPen pen(uikit::Color::tertiary(palette()), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.strokePath(shape, pen);
    painter.setPen(palette().color(isDown() ? QPalette::Highlight : QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

bool OpenCardButton::hitButton(const QPoint& pos) const {
    return cardShape(QRectF(rect())).contains(QPointF(pos));
}

OpenFilePage::OpenFilePage(std::shared_ptr<SceneEvents> events, QWidget* parent)
    : WindowPage(parent), m_events(std::move(events)) {
    setObjectName(QStringLiteral("openFilePage"));
    setAcceptDrops(true);

    auto* card = new OpenCardButton(QStringLiteral("Open a Dezuduz file"), this);
    card->setObjectName(QStringLiteral("openCard"));
    connect(card, &QAbstractButton::clicked, this, &OpenFilePage::openChooser);

    auto* hint =
        makeTitleLabel(QStringLiteral("Or drag a Dezuduz file here..."), TextStyle::footnote, this);
    hint->setObjectName(QStringLiteral("dropHint"));
    QPalette hintPalette = hint->palette();
    hintPalette.setColor(QPalette::WindowText, uikit::Color::tertiary(hintPalette));
    hint->setPalette(hintPalette);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->addStretch();
    layout->addWidget(card, 0, Qt::AlignHCenter);
    layout->addWidget(hint, 0, Qt::AlignHCenter);
    layout->addStretch();
}

void OpenFilePage::fillToolbar(QToolBar& toolBar) {
    auto* title = makeTitleLabel(QStringLiteral("Dezuduz - Resource Report"), TextStyle::title2);
    title->setObjectName(QStringLiteral("toolbarTitle"));
    toolBar.addWidget(title);

    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar.addWidget(spacer);

    auto* open = new QToolButton;
    open->setObjectName(QStringLiteral("openButton"));
    open->setText(QStringLiteral("Open"));
    connect(open, &QToolButton::clicked, this, &OpenFilePage::openChooser);
    toolBar.addWidget(open);
}

void OpenFilePage::openChooser() {
    if (m_opening) {
        return;
    }
    m_opening = true;
    const QPointer<OpenFilePage> self(this);
    platform()->chooseOpenFile(window(), QStringLiteral("zoz"),
                               [self](const std::optional<QString>& path) {
                                   if (OpenFilePage* page = self.data()) {
                                       page->chooserAnswered(path);
                                   }
                               });
}

void OpenFilePage::chooserAnswered(const std::optional<QString>& path) {
    m_opening = false;
    // A cancelled or failed choice shows nothing.
    if (path) {
        emit fileDidSelected(*path);
    }
}

void OpenFilePage::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
        setDraggingMouseIn(true);
    } else {
        event->ignore();
    }
}

void OpenFilePage::dragLeaveEvent(QDragLeaveEvent* event) {
    setDraggingMouseIn(false);
    event->accept();
}

void OpenFilePage::dropEvent(QDropEvent* event) {
    // No leave follows a drop, so the highlight ends here too.
    setDraggingMouseIn(false);
    const QList<QUrl> urls =
        event->mimeData()->hasUrls() ? event->mimeData()->urls() : QList<QUrl>();
    if (const auto document = droppedDocument(urls)) {
        event->acceptProposedAction();
        emit fileDidSelected(document->toLocalFile());
        return;
    }
    event->ignore();
    m_events->errorPresentRequest.send(QString::fromUtf8(kWrongDropMessage));
}

void OpenFilePage::paintEvent(QPaintEvent* /*event*/) {
    if (m_draggingMouseIn) {
        QPainter painter(this);
        painter.fillRect(rect(), uikit::Color::secondarySystemBackground(palette()));
    }
}

void OpenFilePage::setDraggingMouseIn(bool in) {
    if (m_draggingMouseIn != in) {
        m_draggingMouseIn = in;
        update();
    }
}

} // namespace app
