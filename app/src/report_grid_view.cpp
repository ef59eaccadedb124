#include "app/report_grid_view.hpp"

#include "app/cell_painter.hpp"
#include "app/cell_style.hpp"
#include "app/scroll_math.hpp"
#include "uikit/color.hpp"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointF>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace app {

namespace {

// A horizontal step moves by a third of a value column, a vertical one by one body row.
constexpr int kHorizontalStep = 30;
constexpr int kVerticalStep = 24;
// The room kept around the message.
constexpr int kMessageMargin = 20;

int whole(double points) {
    return static_cast<int>(std::ceil(points));
}

} // namespace

ReportGridView::ReportGridView(std::shared_ptr<report::ReportViewModel> viewModel, QWidget* parent)
    : QAbstractScrollArea(parent), m_viewModel(std::move(viewModel)),
      m_tracker(m_viewModel ? m_viewModel->layout.get().version() : core::Uuid()),
      m_cellPainter(font(), GridPalette::light(), Qt::black, Qt::gray) {
    if (!m_viewModel) {
        throw std::invalid_argument("The report grid needs a view model");
    }
    m_layout = m_viewModel->layout.get().value();

    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(kHorizontalStep);
    verticalScrollBar()->setSingleStep(kVerticalStep);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);

    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleDelay);
    connect(&m_settleTimer, &QTimer::timeout, this, &ReportGridView::settle);

    m_animation.setDuration(static_cast<int>(kScrollAnimation.count()));
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setScrollOrigin(value.toPointF().toPoint()); });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] {
        if (auto done = std::exchange(m_animationDone, {})) {
            done();
        }
    });

    // The grid takes the view model's values as they are published, versions included; a new
    // input holding no command goes with each, as the grid issues no scroll commands itself.
    m_viewModel->layout.publisher()
        .sink([this](const core::Versioned<Layout>& layout) {
            setInputs(layout, m_viewModel->snapshot.get(), ScrollCommandInput(std::nullopt));
        })
        .store(m_subscriptions);
    m_viewModel->snapshot.publisher()
        .sink([this](const core::Versioned<Snapshot>& snapshot) {
            setInputs(m_viewModel->layout.get(), snapshot, ScrollCommandInput(std::nullopt));
        })
        .store(m_subscriptions);
    m_viewModel->message.publisher()
        .sink([this](const std::optional<std::string>& message) {
            m_message = message ? QString::fromStdString(*message) : QString();
            viewport()->update();
        })
        .store(m_subscriptions);
}

ReportGridView::~ReportGridView() {
    m_subscriptions.clear();
    m_animation.stop();
}

void ReportGridView::setInputs(const core::Versioned<Layout>& layout,
                               const core::Versioned<Snapshot>& snapshot,
                               const ScrollCommandInput& scrollCommand) {
    std::optional<core::Uuid> commandVersion;
    if (scrollCommand.value()) {
        commandVersion = scrollCommand.version();
    }
    const auto decision = m_tracker.decide(layout.version(), snapshot.version(), commandVersion);
    if (!decision.any()) {
        return;
    }
    std::optional<Layout> changedLayout;
    if (decision.layoutChanged) {
        changedLayout = layout.value();
    }
    std::optional<Snapshot> changedSnapshot;
    if (decision.snapshotChanged) {
        changedSnapshot = snapshot.value();
    }
    std::optional<ReportGridScrollCommand> command;
    if (decision.command) {
        command = scrollCommand.value();
    }
    // Applied on a later turn of the GUI loop, as the versions already are recorded; dropped
    // with the grid.
    QMetaObject::invokeMethod(
        this,
        [this, changedLayout = std::move(changedLayout),
         changedSnapshot = std::move(changedSnapshot), command = std::move(command)]() mutable {
            applyUpdate(std::move(changedLayout), std::move(changedSnapshot), std::move(command));
        },
        Qt::QueuedConnection);
}

void ReportGridView::applyUpdate(std::optional<Layout> layout, std::optional<Snapshot> snapshot,
                                 std::optional<ReportGridScrollCommand> command) {
    // A changed layout does not end the update: its snapshot and command were recorded as
    // applied and would never be offered again.
    bool relayout = false;
    if (layout && !m_layout.expired()) {
        if (*layout != m_layout.lock()) {
            m_layout = *layout;
        }
        relayout = true;
    }
    if (snapshot) {
        m_snapshot = std::move(*snapshot);
        ++m_snapshotApplications;
        relayout = true;
    }
    if (relayout) {
        prepareGeometry();
        updateRanges();
        viewport()->update();
    }
    if (command) {
        scrollTo(*command, true);
    }
}

void ReportGridView::prepareGeometry() {
    const auto layout = m_layout.lock();
    if (!layout || !m_snapshot) {
        m_geometry = {};
        return;
    }
    std::vector<std::size_t> counts;
    counts.reserve(m_snapshot->numberOfSections());
    for (std::size_t section = 0; section < m_snapshot->numberOfSections(); ++section) {
        counts.push_back(m_snapshot->itemsAt(section).size());
    }
    m_geometry = layout->prepare(std::move(counts));
}

bool ReportGridView::scrollTo(const ReportGridScrollCommand& command, bool animated) {
    if (!m_snapshot) {
        return false;
    }
    const auto location = m_snapshot->locationOfItem(command.target);
    if (!location) {
        return false;
    }
    const QPoint origin = scrollOrigin();
    const auto attributes = m_geometry.attributesForItem(location->section, location->item,
                                                         {double(origin.x()), double(origin.y())});
    if (!attributes) {
        return false;
    }
    const core::CGSize visible = visibleSize();
    const auto target = ScrollMath::scrollTarget(
        ScrollMath::itemTarget(attributes->frame, command.minX, command.maxX),
        core::CGRect::make(origin.x(), origin.y(), visible.width, visible.height), command.spacing,
        command.horizontalAlignment, command.verticalAlignment,
        m_holding ? m_heldSize : contentSize());
    if (!target) {
        return false;
    }
    const QPoint to(static_cast<int>(std::lround(target->x)),
                    static_cast<int>(std::lround(target->y)));
    if (animated) {
        animateTo(to, {});
    } else {
        setScrollOrigin(to);
    }
    return true;
}

QPoint ReportGridView::scrollOrigin() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void ReportGridView::setScrollOrigin(QPoint origin) {
    horizontalScrollBar()->setValue(origin.x());
    verticalScrollBar()->setValue(origin.y());
}

std::optional<QRect> ReportGridView::cellRect(std::size_t section, std::size_t item) const {
    const QPoint origin = scrollOrigin();
    const auto attributes =
        m_geometry.attributesForItem(section, item, {double(origin.x()), double(origin.y())});
    if (!attributes) {
        return std::nullopt;
    }
    const core::CGRect& frame = attributes->frame;
    return QRect(static_cast<int>(frame.x()) - origin.x(), static_cast<int>(frame.y()) - origin.y(),
                 static_cast<int>(frame.size.width), static_cast<int>(frame.size.height));
}

bool ReportGridView::isSettling() const {
    return m_holding || m_animation.state() == QAbstractAnimation::Running;
}

core::CGSize ReportGridView::visibleSize() const {
    return {double(viewport()->width()), double(viewport()->height())};
}

void ReportGridView::updateRanges() {
    // Changing a scroll bar's visibility resizes the viewport, which asks for new ranges while
    // these are being set; such a request is served by another pass here.
    if (m_inRanges) {
        m_rangesAgain = true;
        return;
    }
    m_inRanges = true;
    for (int pass = 0; pass < 4; ++pass) {
        m_rangesAgain = false;
        applyRanges();
        if (!m_rangesAgain) {
            break;
        }
    }
    m_inRanges = false;
}

void ReportGridView::applyRanges() {
    if (m_animation.state() == QAbstractAnimation::Running) {
        // The content or the view changed under a running scroll: start again from here.
        m_animationDone = {};
        m_animation.stop();
    }
    const core::CGSize content = contentSize();
    const QPoint origin = scrollOrigin();
    const auto extent =
        ScrollMath::heldExtent(content, {double(origin.x()), double(origin.y())}, visibleSize());
    if (extent.settle) {
        // The scrolled area stays large enough for the current position; only the last size of
        // a burst settles.
        m_holding = true;
        m_heldSize = extent.size;
        setRanges(extent.size);
        m_settleTimer.start();
        return;
    }
    m_holding = false;
    m_settleTimer.stop();
    setRanges(content);
    const bool needsBar = ScrollMath::needsHorizontalBar(viewport()->width(), content.width);
    const auto policy = needsBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (horizontalScrollBarPolicy() != policy) {
        setHorizontalScrollBarPolicy(policy);
    }
}

void ReportGridView::setRanges(core::CGSize size) {
    const QSize visible = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, whole(size.width) - visible.width()));
    verticalScrollBar()->setRange(0, std::max(0, whole(size.height) - visible.height()));
    // A page moves by what the scrolled cells show, since the pinned rows and columns cover the
    // rest: paging by the whole view would skip the rows and columns hidden beneath them.
    const core::CGSize pinned = m_geometry.pinnedSize();
    horizontalScrollBar()->setPageStep(std::max(1, visible.width() - whole(pinned.width)));
    verticalScrollBar()->setPageStep(std::max(1, visible.height() - whole(pinned.height)));
}

void ReportGridView::settle() {
    if (!m_holding) {
        return;
    }
    const QPoint origin = scrollOrigin();
    const core::CGPoint target = ScrollMath::settleTarget(
        m_heldSize, contentSize(), {double(origin.x()), double(origin.y())}, visibleSize());
    animateTo(
        QPoint(static_cast<int>(std::lround(target.x)), static_cast<int>(std::lround(target.y))),
        [this] { updateRanges(); });
}

void ReportGridView::animateTo(QPoint target, std::function<void()> done) {
    m_animation.stop();
    m_animationDone = {};
    const QPoint origin = scrollOrigin();
    if (origin == target) {
        if (done) {
            done();
        }
        return;
    }
    m_animationDone = std::move(done);
    m_animation.setStartValue(QPointF(origin));
    m_animation.setEndValue(QPointF(target));
    m_animation.start();
}

void ReportGridView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateRanges();
}

void ReportGridView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    // The pinned rows and columns move with every scroll, so the whole view is drawn again.
    viewport()->update();
}

void ReportGridView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        viewport()->update();
    }
}

void ReportGridView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    // What shows between the cells is the window itself: the one-point grid lines.
    const QColor window = palette().color(QPalette::Window);
    painter.fillRect(dirty, window);
    if (m_snapshot) {
        paintCells(painter, dirty);
    }
    if (!m_message.isEmpty()) {
        // Over an empty grid: why there is no report, in the middle of the view.
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(viewport()->rect().adjusted(kMessageMargin, kMessageMargin,
                                                     -kMessageMargin, -kMessageMargin),
                         static_cast<int>(Qt::AlignCenter) | Qt::TextWordWrap, m_message);
    }
}

void ReportGridView::paintCells(QPainter& painter, const QRect& dirty) {
    const QPoint origin = scrollOrigin();
    const core::CGPoint offset{double(origin.x()), double(origin.y())};
    auto cells =
        m_geometry.attributesInRect(core::CGRect::make(offset.x + dirty.x(), offset.y + dirty.y(),
                                                       dirty.width(), dirty.height()),
                                    offset);
    // Lower layers first, so the pinned cells are drawn over the cells scrolled beneath them.
    std::stable_sort(cells.begin(), cells.end(),
                     [](const auto& a, const auto& b) { return a.zIndex < b.zIndex; });

    const QPalette& colours = palette();
    m_cellPainter.setAppearance(
        font(),
        uikit::Color::isDarkAppearance(colours) ? GridPalette::dark() : GridPalette::light(),
        colours.color(QPalette::WindowText), uikit::Color::tertiaryLabel(colours));
    for (const auto& cell : cells) {
        const auto& element = m_snapshot->itemsAt(cell.section)[cell.item];
        const QRect frame(static_cast<int>(cell.frame.x() - offset.x),
                          static_cast<int>(cell.frame.y() - offset.y),
                          static_cast<int>(cell.frame.size.width),
                          static_cast<int>(cell.frame.size.height));
        m_cellPainter.paint(painter, frame, styleFor(element));
    }
}

} // namespace app
