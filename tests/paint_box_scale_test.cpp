#include "platform/event_loop.h"
#include "platform/paint_box.h"
#include "sweep/sweep.h"
#include "sweep/sweep_view.h"

#include <gtest/gtest.h>

#include <QBackingStore>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace {

// The plot where the main window has it, swept on as the main window's is: at a fractional
// scale its corner need not fall on a device pixel's.
class PlotWindow : public SweepView {
public:
    PlotWindow() : box(&window) {
        window.resize(1174, 761);
        box.setGeometry(342, 64, 660, 500);
        sweepWindow = this;
    }
    ~PlotWindow() { sweepWindow = nullptr; }

    Canvas& plotCanvas() override { return box; }
    void refreshPlot() override { box.Refresh(); }
    void setEditXText(const QString&) override {}
    void setEditYText(const QString&) override {}

    QWidget window;
    PaintBox box;
};

} // namespace

// Each step repaints only what it drew; at any device pixel ratio, what that leaves on the
// screen is what a repaint of the whole window shows.
TEST(PaintBoxScaleTest, RepaintsOfWhatIsDrawnAddUpToTheWholePlot) {
    const auto previousSleeper = setSleeper([](unsigned) {});
    PlotWindow plot;
    plot.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot.window));
    runSweep();
    QCoreApplication::processEvents();
    setSleeper(previousSleeper);

    const qreal ratio = plot.window.devicePixelRatioF();
    SCOPED_TRACE(testing::Message() << "device pixel ratio " << ratio);
    EXPECT_EQ(ratio, QGuiApplication::primaryScreen()->devicePixelRatio());
    // What the steps' repaints left in the window's back buffer, which the screen shows.
    const QPaintDevice* backBuffer = plot.window.backingStore()->paintDevice();
    ASSERT_EQ(backBuffer->devType(), QInternal::Image);
    const QImage shown =
        static_cast<const QImage*>(backBuffer)->convertToFormat(QImage::Format_RGB32);
    const QImage whole = plot.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), whole.size());
    EXPECT_EQ(whole.size(), (QSizeF(1174, 761) * ratio).toSize());
    int differing = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            if (shown.pixel(x, y) != whole.pixel(x, y) && differing++ == 0)
                first = QPoint(x, y);
    EXPECT_EQ(differing, 0) << "pixels differ, the first at " << first.x() << "," << first.y();
}
