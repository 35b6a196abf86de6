#pragma once

#include <QAccessibleWidget>
#include <QRect>

class PaintBox;

// The plot as assistive technology meets it: a chart that takes the focus, with the name and
// description its layout gives it. What the plot says of itself (PaintBox::say) is its one child
// while the plot keeps the focus, and takes the accessibility focus as it is said: a screen
// reader speaks an object at once as it takes the focus, this one by its name alone.
class AccessiblePlot : public QAccessibleWidget {
public:
    explicit AccessiblePlot(PaintBox* plot);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;

private:
    PaintBox* plot() const;
};

// What the plot said last: the point it stands at, or that it stands at either end. Named with
// what was said, placed where the point is, so that a magnifier that follows the focus shows it.
class SpokenPoint : public QAccessibleInterface {
public:
    // `area` in the plot's coordinates.
    SpokenPoint(PaintBox* plot, const QString& text, const QRect& area);

    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text kind) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;

private:
    PaintBox* plot_;
    QString text_;
    QRect area_;
};
