#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window goes: its frame's top-left corner and the size of its client area.
struct WindowPlacement {
    QPoint position;
    QSize size;

    bool operator==(const WindowPlacement&) const = default;
};

// Places a window designed with its frame's top-left at `designed.topLeft()` and a client area
// of `designed.size()`, framed by `frame`, on a screen whose free area is `available`. Where
// the screen holds it as designed, it stays so. Otherwise it moves as little as it must to lie
// inside `available`; where its client area cannot fit at all, it takes what there is and
// scrolls, with room for the scroll bars (`scrollBars`: the vertical one's width, the
// horizontal one's height) where the other way has room for them.
WindowPlacement placeWindow(const QRect& designed, const QMargins& frame, const QRect& available,
                            const QSize& scrollBars);
