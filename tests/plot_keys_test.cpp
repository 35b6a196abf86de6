#include "active_window.h"

#include <QApplication>

#include <string>
#include <vector>

namespace {

// The main window, active, its plot at hand.
class PlotKeysTest : public ActiveWindowTest {
protected:
    void SetUp() override {
        ActiveWindowTest::SetUp();
        plot = form->ui.PaintBox1;
    }

    // The note-ons device 0 has had since the last call.
    std::vector<std::uint32_t> notesSent() {
        std::vector<std::uint32_t> notes;
        for (std::uint32_t word : device.words)
            if ((word & 0xF0) == 0x90)
                notes.push_back(word);
        device.words.clear();
        return notes;
    }
    QString readOuts() const { return form->ui.EditX->text() + " " + form->ui.EditY->text(); }

    PaintBox* plot = nullptr;
};

// Which control has the focus, by name.
QString focused() {
    QWidget* widget = QApplication::focusWidget();
    return widget ? widget->objectName() : QString("(none)");
}

} // namespace

// The designed controls keep their order, the plot comes after them, and the window's focus
// starts where it always did.
TEST_F(PlotKeysTest, TabReachesThePlotAfterTheDesignedControls) {
    EXPECT_EQ(focused(), "EditX");
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        order << focused();
        key(Qt::Key_Tab);
    }
    EXPECT_EQ(order, (QStringList{"EditX", "EditY", "TrackBarWhole", "EditWhole", "ButtonRun",
                                  "PaintBox1", "EditX"}));
    QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(focused(), "PaintBox1") << "a click gives it the focus";
    EXPECT_TRUE(notesSent().empty()) << "and takes no step";
}

// Right, 126 times, leaves the notes and the plot of a Run; Enter and Space run a sweep.
TEST_F(PlotKeysTest, RightThroughEveryStepIsARunAndEnterOrSpaceRuns) {
    plot->setFocus();
    notesSent();
    key(Qt::Key_Right, kSweepSteps);
    const auto stepped = notesSent();
    const QImage steppedPlot = plot->picture();
    EXPECT_EQ(readOuts(), "632.080888748169 0.137542724609375");
    EXPECT_EQ(paced.count, 0) << "no pause";

    key(Qt::Key_Return);
    EXPECT_EQ(paced.count, kSweepSteps);
    EXPECT_EQ(notesSent(), stepped);
    EXPECT_EQ(plot->picture(), steppedPlot);

    for (Qt::Key run : {Qt::Key_Enter, Qt::Key_Space}) {
        key(run);
        EXPECT_EQ(notesSent(), stepped) << run;
    }
    EXPECT_EQ(paced.count, 3 * kSweepSteps);
}

// At either end the key moves nothing, draws nothing and strikes nothing.
TEST_F(PlotKeysTest, EndHomeAndThePastEndsAtEitherEnd) {
    plot->setFocus();
    notesSent();
    const struct {
        const char* name;
        Qt::Key key;
        const char* readOuts;
        std::vector<std::uint32_t> notes;
    } presses[] = {
        {"End", Qt::Key_End, "632.080888748169 0.137542724609375", {0x00642390}},
        {"Home", Qt::Key_Home, "7.07963705062866 0", {0x00642390}},
        {"Left at the first", Qt::Key_Left, "7.07963705062866 0", {}},
        {"End", Qt::Key_End, "632.080888748169 0.137542724609375", {0x00642390}},
        {"Right at the last", Qt::Key_Right, "632.080888748169 0.137542724609375", {}},
        {"Left", Qt::Key_Left, "627.080869674683 0.864227294921875", {0x00642390}},
    };
    for (const auto& press : presses) {
        SCOPED_TRACE(press.name);
        const QImage before = plot->picture();
        key(press.key);
        EXPECT_EQ(readOuts(), press.readOuts);
        EXPECT_EQ(notesSent(), press.notes);
        if (press.notes.empty()) {
            EXPECT_EQ(plot->picture(), before) << "nothing drawn";
        }
    }
}

// Esc ends a running sweep after its step wherever the focus is in the window, and leaves what
// has the focus as it was; with no sweep running it does nothing.
class EscTest : public PlotKeysTest, public testing::WithParamInterface<const char*> {};

TEST_P(EscTest, EndsTheSweepAfterItsStepWhereverTheFocusIs) {
    QWidget* control = form->findChild<QWidget*>(GetParam());
    ASSERT_TRUE(control);
    control->setFocus();
    const QString wholeText = form->ui.EditWhole->text();
    notesSent();
    paced.atStep(30, [this] { key(Qt::Key_Escape); });
    form->ButtonRunClick();
    EXPECT_FALSE(sweepRunning());
    EXPECT_EQ(paced.count, 30);
    EXPECT_EQ(notesSent().size(), 30u) << "no note after the step that took the key";
    EXPECT_EQ(readOuts(), "152.079510688782 219.873992919922") << "the 30th step's";
    EXPECT_EQ(focused(), GetParam());
    EXPECT_EQ(form->ui.EditWhole->text(), wholeText);
    EXPECT_EQ(form->ui.TrackBarWhole->value(), 500);

    key(Qt::Key_Escape);
    EXPECT_TRUE(notesSent().empty());
    EXPECT_EQ(focused(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Controls, EscTest,
                         testing::Values("EditX", "EditY", "TrackBarWhole", "EditWhole",
                                         "ButtonRun", "PaintBox1"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });
