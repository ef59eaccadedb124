#include "year_popover.hpp"

#include <gtest/gtest.h>

namespace {

using components::detail::placePopover;
using components::detail::PopoverArrow;
using components::detail::PopoverPlace;

TEST(YearPopoverPlace, BelowItsAnchorElseAboveElseOverItAndAlwaysOnTheScreen) {
    const QRect screen(0, 30, 800, 570); // a panel takes the top 30 pixels
    const QSize size(280, 170);
    const QRect bar(300, 100, 300, 40); // its middle at x = 450
    const struct {
        const char* what;
        QRect anchor;
        int target;
        PopoverPlace place;
    } cases[] = {
        {"room below", bar, 450, {QPoint(310, 140), PopoverArrow::top, 140}},
        {"at the right edge",
         bar.translated(250, 0),
         700,
         {QPoint(520, 140), PopoverArrow::top, 180}},
        {"at the left edge",
         bar.translated(-350, 0),
         100,
         {QPoint(0, 140), PopoverArrow::top, 100}},
        {"no room below",
         bar.translated(0, 360),
         450,
         {QPoint(310, 290), PopoverArrow::bottom, 140}},
        {"the arrow clear of a corner",
         bar.translated(-500, 0),
         2,
         {QPoint(0, 140), PopoverArrow::top, 13}},
        {"no room either side",
         QRect(300, 150, 300, 300),
         450,
         {QPoint(310, 430), PopoverArrow::none, 140}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PopoverPlace place = placePopover(c.anchor, c.target, size, screen);
        EXPECT_EQ(place.topLeft, c.place.topLeft);
        EXPECT_EQ(place.arrow, c.place.arrow);
        EXPECT_EQ(place.arrowX, c.place.arrowX);
        EXPECT_TRUE(screen.contains(QRect(place.topLeft, size)));
    }
    // A screen narrower than the popover keeps its left part in sight.
    const PopoverPlace wide = placePopover(bar, 450, size, QRect(0, 0, 200, 600));
    EXPECT_EQ(wide.topLeft.x(), 0);
}

} // namespace
