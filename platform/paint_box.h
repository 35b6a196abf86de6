#pragma once

#include "platform/image_canvas.h"

#include <QAccessible>
#include <QImage>
#include <QWidget>

// A plot that keeps what is drawn on it in a backing image, so the drawing survives when
// the window is covered or repainted. Drawing marks only the touched rectangle for repaint.
// With the keyboard focus it shows a ring round itself, outside its drawing, and it can say
// what it stands at to a screen reader.
class PaintBox : public QWidget, public ImageCanvas {
    Q_OBJECT

public:
    explicit PaintBox(QWidget* parent = nullptr);
    ~PaintBox() override;

    // Erases the plot to the window background and repaints it before returning.
    void Refresh();

    // Says `text` to assistive technology, while the plot has the focus, as what the plot now
    // stands at; `area`, in the plot's coordinates, is where. Screen readers speak it at once.
    void say(const QString& text, const QRect& area);
    // What the plot said last, while it has kept the focus since; nothing otherwise.
    QAccessibleInterface* spoken() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QImage& target() override { return surface(); }
    void drawn(const QRect& area) override;

private:
    // The backing image, refitted to the widget's size when that has changed.
    QImage& surface();
    void forgetSpoken();

    QImage image_;
    QAccessible::Id spoken_ = 0;
};
