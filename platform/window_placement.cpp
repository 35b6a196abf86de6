#include "platform/window_placement.h"

#include <algorithm>

WindowPlacement placeWindow(const QRect& designed, const QMargins& frame, const QRect& available,
                            const QSize& scrollBars) {
    const QSize room = available.size().shrunkBy(frame);
    // A scroll bar one way takes room the other way, which may then have to scroll as well.
    bool scrollsAcross = false, scrollsDown = false;
    for (int pass = 0; pass < 2; ++pass) {
        scrollsDown = designed.height() + (scrollsAcross ? scrollBars.height() : 0) > room.height();
        scrollsAcross = designed.width() + (scrollsDown ? scrollBars.width() : 0) > room.width();
    }
    const QSize size = QSize(designed.width() + (scrollsDown ? scrollBars.width() : 0),
                             designed.height() + (scrollsAcross ? scrollBars.height() : 0))
                           .boundedTo(room)
                           .expandedTo(QSize(1, 1));
    const QSize framed = size.grownBy(frame);
    const auto within = [](int designedAt, int length, int from, int room) {
        return std::clamp(designedAt, from, std::max(from, from + room - length));
    };
    return {QPoint(within(designed.x(), framed.width(), available.x(), available.width()),
                   within(designed.y(), framed.height(), available.y(), available.height())),
            size};
}
