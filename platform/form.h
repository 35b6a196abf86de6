#pragma once

#include <QWidget>

// A top-level window built from a layout description. Assistive technology meets it as a
// frame holding its controls (platform/accessibility.h), as it meets other programs' windows.
class Form : public QWidget {
    Q_OBJECT

public:
    explicit Form(QWidget* parent = nullptr) : QWidget(parent) {}
};
