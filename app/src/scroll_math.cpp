#include "app/scroll_math.hpp"

#include <algorithm>

namespace app::ScrollMath {

namespace {

double clampAxis(double value, double content, double visible) {
    const double end = std::max(0.0, content - visible);
    return std::clamp(value, 0.0, end);
}

// One axis of an unaligned scroll: move only as far as needed. A target wider than the inset
// area shows its start when it lies beyond, its end when it lies before; a narrower one is
// brought in by the nearer edge.
double neededAxis(double targetMin, double targetMax, double insetMin, double insetMax,
                  double current, double leadingRule, double trailingRule) {
    if (targetMax - targetMin >= insetMax - insetMin) {
        if (insetMax < targetMin) {
            return leadingRule;
        }
        return targetMax < insetMin ? trailingRule : current;
    }
    if (insetMax < targetMax) {
        return trailingRule;
    }
    return targetMin < insetMin ? leadingRule : current;
}

} // namespace

Extent heldExtent(core::CGSize content, core::CGPoint origin, core::CGSize visible) {
    // Only a position past the content's end is held: content smaller than the view, seen from
    // its start, has nothing to settle.
    const double endX = std::max(0.0, content.width - visible.width);
    const double endY = std::max(0.0, content.height - visible.height);
    if (origin.x > endX + kSettleTolerance || origin.y > endY + kSettleTolerance) {
        return {{std::max(content.width, origin.x + visible.width),
                 std::max(content.height, origin.y + visible.height)},
                true};
    }
    return {content, false};
}

core::CGPoint clamp(core::CGPoint origin, core::CGSize content, core::CGSize visible) {
    return {clampAxis(origin.x, content.width, visible.width),
            clampAxis(origin.y, content.height, visible.height)};
}

core::CGPoint settleTarget(core::CGSize held, core::CGSize content, core::CGPoint origin,
                           core::CGSize visible) {
    const double x = held.width > content.width ? content.width - visible.width : origin.x;
    const double y = held.height > content.height ? content.height - visible.height : origin.y;
    return clamp({x, y}, content, visible);
}

core::CGRect itemTarget(const core::CGRect& frame, std::optional<double> minX,
                        std::optional<double> maxX) {
    const double left = minX ? std::max(*minX, frame.minX()) : frame.minX();
    const double right = maxX ? std::min(*maxX, frame.maxX()) : frame.maxX();
    return core::CGRect::make(left, frame.y(), right - left, frame.height());
}

std::optional<core::CGPoint> scrollTarget(const core::CGRect& target, const core::CGRect& visible,
                                          const uikit::EdgeInsets& spacing,
                                          std::optional<HorizontalAlignment> horizontal,
                                          std::optional<VerticalAlignment> vertical,
                                          core::CGSize content) {
    const core::CGPoint current = visible.origin;
    const core::CGRect inset =
        visible.inseted(spacing.leading, spacing.top, spacing.trailing, spacing.bottom);
    if (!(inset.size.width > 0) || !(inset.size.height > 0)) {
        return std::nullopt;
    }
    const double leadingX = target.minX() - spacing.leading;
    const double trailingX = target.maxX() - visible.width() + spacing.trailing;
    const double centerX = target.midX() - visible.width() / 2;
    const double topY = target.minY() - spacing.top;
    const double bottomY = target.maxY() - visible.height() + spacing.bottom;
    const double centerY = target.midY() - visible.height() / 2;

    double x = current.x;
    if (!horizontal) {
        x = neededAxis(target.minX(), target.maxX(), inset.minX(), inset.maxX(), current.x,
                       leadingX, trailingX);
    } else if (*horizontal == HorizontalAlignment::leading) {
        x = leadingX;
    } else if (*horizontal == HorizontalAlignment::trailing) {
        x = trailingX;
    } else {
        x = centerX;
    }
    double y = current.y;
    if (!vertical) {
        y = neededAxis(target.minY(), target.maxY(), inset.minY(), inset.maxY(), current.y, topY,
                       bottomY);
    } else if (*vertical == VerticalAlignment::top) {
        y = topY;
    } else if (*vertical == VerticalAlignment::bottom) {
        y = bottomY;
    } else {
        y = centerY;
    }
    const core::CGPoint origin = clamp({x, y}, content, visible.size);
    if (origin == current) {
        return std::nullopt;
    }
    return origin;
}

bool needsHorizontalBar(double visibleWidth, double contentWidth) {
    return visibleWidth < contentWidth;
}

} // namespace app::ScrollMath
