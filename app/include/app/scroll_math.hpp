#pragma once

#include "core/geometry.hpp"
#include "uikit/edge_insets.hpp"

#include <optional>

namespace app {

/// Where an area is placed across the visible width.
enum class HorizontalAlignment { leading, center, trailing };

/// Where an area is placed along the visible height.
enum class VerticalAlignment { top, center, bottom };

/// The arithmetic of the grid's scrolling, in content coordinates (points). Every origin it
/// gives lies in [0, max(0, content - visible)] on each axis, so the content never leaves its
/// place.
namespace ScrollMath {

/// How far the visible extent may pass the content before the scrolled area is held larger.
inline constexpr double kSettleTolerance = 5;

/// The size the scrolled area keeps and whether it must settle later.
struct Extent {
    core::CGSize size;
    bool settle = false;
    friend bool operator==(const Extent&, const Extent&) = default;
};

/// The scrolled area for `content` seen from `origin` through a view of `visible` size: the
/// content itself, unless the origin lies past the content's last origin
/// (max(0, content - visible)) by more than the tolerance on an axis; then the area is held at
/// max(content, origin + visible) on each axis, so the origin holds, and must settle later.
Extent heldExtent(core::CGSize content, core::CGPoint origin, core::CGSize visible);

/// `origin` moved into [0, max(0, content - visible)] on each axis.
core::CGPoint clamp(core::CGPoint origin, core::CGSize content, core::CGSize visible);

/// Where a held area of size `held` scrolls to once it settles to `content`: on an axis where
/// it is held larger, the content's end (content - visible); elsewhere `origin`; clamped.
core::CGPoint settleTarget(core::CGSize held, core::CGSize content, core::CGPoint origin,
                           core::CGSize visible);

/// The rectangle an item scroll aims at: the item's frame cut to [minX, maxX] across.
core::CGRect itemTarget(const core::CGRect& frame, std::optional<double> minX,
                        std::optional<double> maxX);

/// The origin that brings `target` into the `visible` rectangle (whose origin is the current
/// scroll origin) with `spacing` kept from its edges: placed by an alignment when given,
/// otherwise moved only as far as needed; clamped to `content`. Absent when the visible area
/// inset by the spacing is empty or the origin would not change.
std::optional<core::CGPoint> scrollTarget(const core::CGRect& target, const core::CGRect& visible,
                                          const uikit::EdgeInsets& spacing,
                                          std::optional<HorizontalAlignment> horizontal,
                                          std::optional<VerticalAlignment> vertical,
                                          core::CGSize content);

/// Whether a view `visibleWidth` wide shows a horizontal scroll bar for content `contentWidth`
/// wide: exactly when the view is narrower.
bool needsHorizontalBar(double visibleWidth, double contentWidth);

} // namespace ScrollMath

} // namespace app
