#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

// Shows that a widget has the keyboard focus with a ring in the focus colour of Qt's own
// controls (the palette's highlight), drawn round the widget on its parent, just outside it: for
// a widget whose every pixel is a picture, which a focus frame of its own would change.
class FocusRing : public QObject {
    Q_OBJECT

public:
    explicit FocusRing(QWidget* widget);

    // The ring's area, in the parent's coordinates.
    QRect area() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Joins the painting of the widget's parent, whichever that is now.
    void follow();

    QWidget* widget_;
    QPointer<QWidget> parent_;
};
