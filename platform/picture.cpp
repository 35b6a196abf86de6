#include "platform/picture.h"

#include <QFileInfo>
#include <QPainter>

void Picture::setPicture(const QString& fileName) {
    picture_ = fileName;
    detailed_.reset();
    setPixmap(QPixmap(fileName));
    resize(pixmap().size());
}

// Most screens never need it: decoding it is left until one does.
const QPixmap& Picture::detailed() {
    if (!detailed_) {
        const QFileInfo file(picture_);
        detailed_ = QPixmap(file.path() + '/' + file.completeBaseName() + "@2x." + file.suffix());
        detailed_->setDevicePixelRatio(2);
    }
    return *detailed_;
}

// The detailed picture stands pixel for pixel at a ratio of 2 and is scaled down smoothly
// between 1 and 2, which keeps it sharper than the plain picture scaled up.
void Picture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool sharper = devicePixelRatioF() > 1 && !detailed().isNull();
    painter.drawPixmap(contentsRect(), sharper ? detailed() : pixmap());
}
