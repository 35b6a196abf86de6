#include "platform/event_loop.h"
#include "recording_midi_out.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QScrollBar>
#include <QTest>

namespace {

const QRect kDesigned(411, 120, 1174, 761);

// The main window on the screen this run has, with a recording device 0 and pauses of no time.
class WindowOnScreenTest : public testing::Test {
protected:
    void SetUp() override {
        previousSleeper = setSleeper([](unsigned) {});
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override { setSleeper(previousSleeper); }

    // Where `widget` stands in the part of the window that shows the content.
    QRect shownAt(const QWidget* widget) const {
        return QRect(widget->mapTo(form.viewport(), QPoint(0, 0)), widget->size());
    }

    std::function<void(unsigned)> previousSleeper;
    RecordingDevice device;
    TForm1 form;
};

} // namespace

TEST_F(WindowOnScreenTest, LiesOnTheScreenWithItsLayoutOneToOne) {
    const QRect available = form.screen()->availableGeometry();
    SCOPED_TRACE(testing::Message()
                 << "free area " << available.width() << " x " << available.height() << " at scale "
                 << form.devicePixelRatioF());
    EXPECT_TRUE(available.contains(form.frameGeometry()));
    EXPECT_EQ(form.content()->size(), kDesigned.size());
    EXPECT_EQ(form.ui.PaintBox1->geometry(), QRect(342, 64, 660, 500));
    if (available.contains(kDesigned)) {
        EXPECT_EQ(form.pos(), kDesigned.topLeft());
        EXPECT_EQ(form.size(), kDesigned.size());
        EXPECT_EQ(shownAt(form.content()), QRect(QPoint(0, 0), kDesigned.size()));
        EXPECT_FALSE(form.verticalScrollBar()->isVisible());
        EXPECT_FALSE(form.horizontalScrollBar()->isVisible());
    } else {
        // Scrolled to its far corner, the content shows its last pixels in the window.
        form.verticalScrollBar()->setValue(form.verticalScrollBar()->maximum());
        form.horizontalScrollBar()->setValue(form.horizontalScrollBar()->maximum());
        EXPECT_EQ(shownAt(form.content()).bottomRight(), form.viewport()->rect().bottomRight());
    }
}

// Scrolled with its scroll bars as far as they go, Run stands where a click reaches it.
TEST_F(WindowOnScreenTest, RunIsClickedWhereItIsShown) {
    form.verticalScrollBar()->setValue(form.verticalScrollBar()->maximum());
    QPushButton* run = form.ui.ButtonRun;
    ASSERT_TRUE(form.viewport()->rect().contains(shownAt(run)));
    const QPoint middle = run->mapTo(&form, run->rect().center());
    ASSERT_EQ(form.childAt(middle), run);
    QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, middle);
    EXPECT_EQ(device.words.size(), 1u + 126u) << "the program change, then a sweep";
}

TEST_F(WindowOnScreenTest, TheFocusedControlScrollsIntoView) {
    for (QWidget* control : std::initializer_list<QWidget*>{form.ui.ButtonRun, form.ui.EditX,
                                                            form.ui.EditY, form.ui.TrackBarWhole,
                                                            form.ui.EditWhole, form.ui.ButtonRun}) {
        SCOPED_TRACE(control->objectName().toStdString());
        control->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(form.viewport()->rect().contains(shownAt(control)));
    }
}
