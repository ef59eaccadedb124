#pragma once

#include "app/cell_painter.hpp"
#include "app/grid_input_tracker.hpp"
#include "app/report_grid_scroll_command.hpp"
#include "core/rx.hpp"
#include "core/versioned.hpp"
#include "report/report_grid_layout.hpp"
#include "report/report_view_model.hpp"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QVariantAnimation>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace app {

/// The report grid: one scroll area that paints only the cells it shows, from the view model's
/// published snapshot (read in place, never copied) laid out by its sticky layout, in ascending
/// layer order so the pinned header rows and columns are always drawn over what scrolls
/// beneath them.
///
/// It follows the view model's published layout and snapshot: each publication is compared by
/// version with what the grid last took, and what changed is applied in one queued update
/// (layout, then snapshot, then scroll command). When the content shrinks below the visible
/// extent the scroll position holds; 200 ms after the last such change it scrolls back within
/// the content over 250 ms. The horizontal scroll bar shows exactly when the content is wider
/// than the view. The view model's message, when it has one, is shown centred over the grid.
/// Lives on the GUI thread.
class ReportGridView : public QAbstractScrollArea {
    Q_OBJECT

public:
    /// The layout the view model publishes.
    using Layout = std::shared_ptr<const report::ReportGridLayout>;
    /// The snapshot the view model publishes.
    using Snapshot = report::ReportViewModel::Snapshot;
    /// A versioned scroll command input; one holding no command changes nothing.
    using ScrollCommandInput = core::Versioned<std::optional<ReportGridScrollCommand>>;

    /// The quiet time after the last shrink before the grid settles.
    static constexpr std::chrono::milliseconds kSettleDelay{200};
    /// How long settling and commanded scrolls take.
    static constexpr std::chrono::milliseconds kScrollAnimation{250};

    /// A grid showing `viewModel`'s report (which must not be null); it keeps the view model
    /// alive and holds its layout weakly.
    explicit ReportGridView(std::shared_ptr<report::ReportViewModel> viewModel,
                            QWidget* parent = nullptr);
    ~ReportGridView() override;

    /// Hands the grid a set of inputs: the inputs whose versions differ from those it last took
    /// are recorded now and applied by one update queued on the GUI thread.
    void setInputs(const core::Versioned<Layout>& layout, const core::Versioned<Snapshot>& snapshot,
                   const ScrollCommandInput& scrollCommand);

    /// Applies, in this order, a changed layout (the one held: laid out again; another: held
    /// instead; ignored once the held layout is gone), a changed snapshot (without animation)
    /// and a scroll command (always animated). An absent argument is unchanged.
    void applyUpdate(std::optional<Layout> layout, std::optional<Snapshot> snapshot,
                     std::optional<ReportGridScrollCommand> command);

    /// Scrolls so that the command's target shows; false when the target is not in the
    /// snapshot or the grid need not move.
    bool scrollTo(const ReportGridScrollCommand& command, bool animated);

    /// The snapshot shown (the view model's own, shared).
    const Snapshot& snapshot() const noexcept { return m_snapshot; }
    /// How many snapshots the grid has applied.
    std::size_t snapshotApplications() const noexcept { return m_snapshotApplications; }
    /// The size of everything the grid lays out, in points.
    core::CGSize contentSize() const { return m_geometry.contentSize(); }
    /// The scroll position: the content point at the viewport's top-left corner.
    QPoint scrollOrigin() const;
    /// Where `item` of `section` is drawn in the viewport at the current scroll position.
    std::optional<QRect> cellRect(std::size_t section, std::size_t item) const;
    /// True while a shrink is held or the grid scrolls back within its content.
    bool isSettling() const;
    /// The view model's message shown centred over the grid; empty when there is none.
    const QString& message() const noexcept { return m_message; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;

private:
    void paintCells(QPainter& painter, const QRect& dirty);
    void prepareGeometry();
    void updateRanges();
    void applyRanges();
    void setRanges(core::CGSize size);
    void settle();
    void animateTo(QPoint target, std::function<void()> done);
    void setScrollOrigin(QPoint origin);
    core::CGSize visibleSize() const;

    std::shared_ptr<report::ReportViewModel> m_viewModel;
    std::weak_ptr<const report::ReportGridLayout> m_layout;
    Snapshot m_snapshot;
    report::ReportGridLayout::Prepared m_geometry;
    GridInputTracker m_tracker;
    std::size_t m_snapshotApplications = 0;
    QString m_message;
    CellPainter m_cellPainter;

    core::CGSize m_heldSize;
    bool m_holding = false;
    bool m_inRanges = false;
    bool m_rangesAgain = false;
    QTimer m_settleTimer;
    QVariantAnimation m_animation;
    std::function<void()> m_animationDone;

    std::vector<core::rx::Cancellable> m_subscriptions;
};

} // namespace app
