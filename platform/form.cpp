#include "platform/form.h"

#include "platform/window_placement.h"

#include <QApplication>
#include <QScreen>
#include <QScrollBar>

Form::Form(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    // The window is no stop of its own on the way through the controls.
    setFocusPolicy(Qt::NoFocus);
    setWidget(new QWidget);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* focused) {
        if (focused && content()->isAncestorOf(focused))
            ensureWidgetVisible(focused);
    });
}

void Form::placeAsDesigned(QPoint position) {
    setWindowTitle(content()->windowTitle());
    designedPosition_ = position;
    const QMargins frame = frameMargins();
    frameUnknown_ = frame.isNull();
    const QScreen* screen = QGuiApplication::screenAt(position);
    if (!screen)
        screen = this->screen();
    const WindowPlacement placement = placeWindow(
        QRect(position, content()->size()), frame, screen->availableGeometry(),
        QSize(verticalScrollBar()->sizeHint().width(), horizontalScrollBar()->sizeHint().height()));
    resize(placement.size);
    move(placement.position);
}

bool Form::event(QEvent* event) {
    const bool handled = QScrollArea::event(event);
    const QEvent::Type type = event->type();
    if (frameUnknown_ && isVisible() &&
        (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) &&
        !frameMargins().isNull())
        placeAsDesigned(designedPosition_);
    return handled;
}

QMargins Form::frameMargins() const {
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                    frame.right() - client.right(), frame.bottom() - client.bottom());
}
