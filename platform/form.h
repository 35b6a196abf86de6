#pragma once

#include <QMargins>
#include <QPoint>
#include <QScrollArea>

// A top-level window built from a layout description. Assistive technology meets it as a
// frame holding its controls (platform/accessibility.h), as it meets other programs' windows.
// The layout is built on content() and shown at its designed size, pixel for pixel; where the
// screen cannot hold the window, the window takes the room there is and the content scrolls
// inside it, and whatever takes the keyboard focus scrolls into view.
class Form : public QScrollArea {
    Q_OBJECT

public:
    explicit Form(QWidget* parent = nullptr);

    // Where the layout is built.
    QWidget* content() const { return widget(); }

    // Takes the layout's title and places the window: its frame at `position` and its client
    // area the layout's size where the screen's free area holds it there, and elsewhere as
    // near that as the screen allows.
    void placeAsDesigned(QPoint position);

protected:
    bool event(QEvent* event) override;

private:
    // Around the client area: known once a window manager has framed the shown window.
    QMargins frameMargins() const;

    QPoint designedPosition_;
    // Placed before its frame was known: placed again once it is.
    bool frameUnknown_ = false;
};
