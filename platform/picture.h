#pragma once

#include <QLabel>
#include <QPixmap>

#include <optional>

// A picture shown at its natural size, sized to it. On a screen of more than one device pixel
// per pixel it shows the picture's twice-as-detailed sibling, named with "@2x" before the
// suffix (keyboard@2x.png beside keyboard.png), where there is one.
class Picture : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString picture READ picture WRITE setPicture)

public:
    explicit Picture(QWidget* parent = nullptr) : QLabel(parent) {}

    QString picture() const { return picture_; }
    void setPicture(const QString& fileName);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QPixmap& detailed();

    QString picture_;
    std::optional<QPixmap> detailed_; // loaded when a screen first needs it
};
