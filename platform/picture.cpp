#include "platform/picture.h"

#include <QFileInfo>
#include <QPainter>

void Picture::setPicture(const QString& fileName) {
    picture_ = fileName;
    const QFileInfo file(fileName);
    detailed_ = QPixmap(file.path() + '/' + file.completeBaseName() + "@2x." + file.suffix());
    detailed_.setDevicePixelRatio(2);
    setPixmap(QPixmap(fileName));
    resize(pixmap().size());
}

// The detailed picture stands pixel for pixel at a ratio of 2 and is scaled down smoothly
// between 1 and 2, which keeps it sharper than the plain picture scaled up.
void Picture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool detailed = devicePixelRatioF() > 1 && !detailed_.isNull();
    painter.drawPixmap(contentsRect(), detailed ? detailed_ : pixmap());
}
