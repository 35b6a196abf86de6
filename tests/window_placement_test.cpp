#include "platform/window_placement.h"

#include <gtest/gtest.h>

namespace {

// The main window as designed: its frame's corner at (411, 120), a client area of 1174 x 761.
const QRect kDesigned(411, 120, 1174, 761);
const QSize kScrollBars(15, 15);

struct PlacementCase {
    const char* name;
    QRect available;
    QMargins frame;
    WindowPlacement expected;
};

void PrintTo(const PlacementCase& c, std::ostream* out) {
    *out << c.name;
}

class WindowPlacementTest : public testing::TestWithParam<PlacementCase> {};

} // namespace

TEST_P(WindowPlacementTest, PlacesTheWindowWhereTheScreenHoldsIt) {
    const PlacementCase& c = GetParam();
    const WindowPlacement placed = placeWindow(kDesigned, c.frame, c.available, kScrollBars);
    EXPECT_EQ(placed.position, c.expected.position);
    EXPECT_EQ(placed.size, c.expected.size);
    const QRect framed(placed.position, placed.size.grownBy(c.frame));
    EXPECT_TRUE(c.available.contains(framed)) << "the whole window on the screen";
}

INSTANTIATE_TEST_SUITE_P(
    Screens, WindowPlacementTest,
    testing::Values(
        PlacementCase{"LargeScreen", {0, 0, 1920, 1080}, {}, {{411, 120}, {1174, 761}}},
        PlacementCase{"JustLargeEnough", {0, 0, 1585, 881}, {}, {{411, 120}, {1174, 761}}},
        // Moves as little as it must: up and left, just enough.
        PlacementCase{"Laptop1366x768", {0, 0, 1366, 768}, {}, {{192, 7}, {1174, 761}}},
        // A panel at the top and a title bar: it scrolls down, with room for the vertical
        // scroll bar beside the content.
        PlacementCase{"Laptop1366x768WithPanelAndTitleBar",
                      {0, 27, 1366, 741},
                      {1, 28, 1, 1},
                      {{175, 27}, {1189, 712}}},
        // 1920 x 1080 at 150 %, 2560 x 1440 at 200 %: 1280 x 720 in the layout's pixels.
        PlacementCase{"Scaled150", {0, 0, 1280, 720}, {}, {{91, 0}, {1189, 720}}},
        // 1920 x 1080 at 175 %: too small both ways, it takes the whole free area.
        PlacementCase{"Scaled175", {0, 0, 1097, 617}, {}, {{0, 0}, {1097, 617}}},
        // Too narrow by less than a scroll bar: scrolling across takes room down as well.
        PlacementCase{"NarrowBothWays", {0, 0, 1170, 770}, {}, {{0, 0}, {1170, 770}}},
        PlacementCase{"ScreenRightOfAnother", {1920, 0, 1366, 768}, {}, {{1920, 7}, {1174, 761}}}),
    [](const testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });
