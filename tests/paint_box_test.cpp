#include "platform/paint_box.h"

#include <gtest/gtest.h>

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;

// A plot the size of the program's, erased to its background.
class PaintBoxTest : public testing::Test {
protected:
    void SetUp() override {
        box.resize(660, 500);
        box.Refresh();
        background = box.picture().pixel(0, 0);
    }

    // The smallest rectangle holding every pixel that is not background.
    QRect drawnArea() {
        const QImage image = box.picture();
        QRect area;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != background)
                    area |= QRect(x, y, 1, 1);
        return area;
    }

    PaintBox box;
    QRgb background = 0;
};

} // namespace

TEST_F(PaintBoxTest, RectangleOutlinesWithThePenInsideItsBox) {
    box.setPenWidth(4);
    box.setPenColor(0x0000FF);
    box.setBrushColor(0xFF0000);
    box.rectangle(0, 0, 660, 500);
    const QImage image = box.picture();
    for (QPoint frame : {QPoint(0, 0), QPoint(3, 3), QPoint(656, 496), QPoint(659, 499),
                         QPoint(3, 250), QPoint(330, 499)})
        EXPECT_EQ(image.pixel(frame), kRed) << frame.x() << "," << frame.y();
    for (QPoint inside : {QPoint(4, 4), QPoint(655, 495), QPoint(330, 250)})
        EXPECT_EQ(image.pixel(inside), kBlue) << inside.x() << "," << inside.y();
}

TEST_F(PaintBoxTest, EllipseFillsItsBoxWithX2AndY2Exclusive) {
    box.setPenWidth(1);
    box.setPenColor(0x0000FF);
    box.setBrushColor(0xFF0000);
    box.ellipse(100, 200, 120, 220);
    EXPECT_EQ(drawnArea(), QRect(100, 200, 20, 20));
    EXPECT_EQ(box.picture().pixel(110, 210), kBlue);
    EXPECT_EQ(box.picture().pixel(100, 210), kRed);
}

TEST_F(PaintBoxTest, DrawingIsClippedToThePlot) {
    box.ellipse(7, 500, 27, 520); // wholly below the plot
    box.moveTo(800, 500);
    box.lineTo(0, 500);
    EXPECT_TRUE(drawnArea().isEmpty());
    box.ellipse(650, 490, 670, 510); // a quarter inside
    EXPECT_EQ(drawnArea(), QRect(650, 490, 10, 10));
}

TEST_F(PaintBoxTest, DrawingSurvivesARepaintUntilRefreshed) {
    box.setBrushColor(0xFF0000);
    box.ellipse(100, 200, 120, 220);
    EXPECT_EQ(box.grab().toImage().pixel(110, 210), kBlue) << "a repaint shows what was drawn";
    box.Refresh();
    EXPECT_EQ(box.grab().toImage().pixel(110, 210), background);
}
