#include "midi/midi_channel.h"
#include "paced_steps.h"
#include "platform/application.h"
#include "platform/event_loop.h"
#include "ramps/ramps.h"
#include "recording_midi_out.h"
#include "sweep/sweep.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

// The main window as built at start-up, with a recording device 0 and pauses of no time.
class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        whole = 500;
        form = std::make_unique<TForm1>();
    }
    void TearDown() override { form.reset(); }

    void atStep(int step, std::function<void()> action) { paced.atStep(step, std::move(action)); }

    // Types into the focused edit box through the application's event dispatch, as a user
    // does, and returns the texts of the error boxes shown meanwhile.
    QStringList type(QWidget* widget, const QString& keys, Qt::Key key = Qt::Key_unknown,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QStringList errors;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&errors] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                errors << box->text();
                box->close();
            }
        });
        closer.start(10);
        if (key != Qt::Key_unknown)
            QTest::keyClick(widget, key, modifiers);
        if (!keys.isEmpty())
            QTest::keyClicks(widget, keys);
        showPendingErrors();
        return errors;
    }

    PacedSteps paced;
    RecordingDevice device;
    std::unique_ptr<TForm1> form;
};

struct ControlLayout {
    const char* name;
    const char* className;
    QRect geometry;
    const char* text;
    int fontPixels;
    bool bold;
};

const QString T1 = R"("part" is the value of "y", which varies over time.  )";
const QString T2 = R"(If you set "whole" to the maximum of "y" you will see the entire spectrum. )";
const QString T3 =
    R"(If you set "whole" is set to half the maximum of "y" you will see the entire spectrum twice.)";
const QString T4 =
    R"(If you set "whole" is set to twice the maximum of "y" you will see only half of the spectrum)";
const QString T5 = R"("whole" is the largest value of "y", which never changes.)";
const QString T6 = R"( Try different values for "whole" )";

} // namespace

TEST_F(WindowTest, LayoutAsDesigned) {
    const struct {
        const char* name;
        const char* className;
        QRect geometry;
        QString text;
        int fontPixels;
        bool bold;
    } controls[] = {
        {"PaintBox1", "PaintBox", {342, 64, 660, 500}, {}, 11, false},
        {"Label1", "Label", {616, 578, 121, 22}, "x = f(time)", 19, true},
        {"Image1", "Picture", {15, 8, 240, 584}, {}, 11, false},
        {"Image2", "Picture", {1064, 64, 13, 500}, {}, 11, false},
        {"Image3", "Picture", {1077, 64, 13, 500}, {}, 11, false},
        {"Image4", "Picture", {1090, 64, 13, 500}, {}, 11, false},
        {"Label2", "Label", {271, 288, 44, 44}, "y = f(x)", 19, true},
        {"Label3", "Label", {322, 578, 44, 22}, "0, 0", 19, true},
        {"Label4", "Label", {293, 56, 33, 22}, "500", 19, true},
        {"Label5", "Label", {968, 578, 33, 22}, "632", 19, true},
        {"Label6", "Label", {64, 591, 121, 22}, "midiRamp( )", 19, true},
        {"Label7", "Label", {1024, 591, 132, 22}, "colorRamp( )", 19, true},
        {"Label8",
         "Label",
         {32, 628, 550, 18},
         "The Ramp( ) functions take two parameters: part, whole.",
         16,
         true},
        {"Label10", "Label", {60, 649, 416, 16}, T1, 13, true},
        {"Label11", "Label", {32, 693, 600, 16}, T2, 13, true},
        {"Label12", "Label", {32, 715, 736, 16}, T3, 13, true},
        {"Label9", "Label", {32, 737, 736, 16}, T4, 13, true},
        {"Label13", "Label", {60, 671, 456, 16}, T5, 13, true},
        {"EditX", "EditBox", {400, 580, 45, 22}, "0", 11, false},
        {"EditY", "EditBox", {269, 536, 45, 22}, "0", 11, false},
        {"GroupBox1", "GroupBox", {806, 628, 297, 125}, T6, 13, true},
        {"TrackBarWhole", "TrackBar", {35, 24, 175, 45}, {}, 13, true},
        {"EditWhole", "DigitsEdit", {216, 27, 41, 24}, "500", 13, true},
        {"ButtonRun", "QPushButton", {32, 75, 225, 32}, "Run", 16, true},
    };

    EXPECT_EQ(form->windowTitle(),
              "Sonification and Visualization using midiRamp( ) and colorRamp( ) functions.");
    EXPECT_EQ(form->size(), QSize(1174, 761));
    EXPECT_EQ(form->pos(), QPoint(411, 120));

    // Creation and stacking order: the window's own controls, then the group box's.
    QStringList order;
    for (QObject* child : form->content()->children() + form->ui.GroupBox1->children())
        if (child->isWidgetType())
            order << child->objectName();
    QStringList expectedOrder;
    for (const auto& c : controls)
        expectedOrder << c.name;
    EXPECT_EQ(order, expectedOrder);

    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        auto* widget = form->findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), c.className);
        if (qobject_cast<Label*>(widget)) {
            // Sized to its text: the designed size, give or take how far the stand-in font's
            // metrics differ from the designed font's.
            EXPECT_EQ(widget->pos(), c.geometry.topLeft());
            EXPECT_NEAR(widget->width(), c.geometry.width(), 2 + c.geometry.width() / 20);
            EXPECT_NEAR(widget->height(), c.geometry.height(), 2);
        } else {
            EXPECT_EQ(widget->geometry(), c.geometry);
        }
        const QFontInfo font(widget->font());
        EXPECT_EQ(font.family(), "Liberation Mono");
        EXPECT_EQ(font.pixelSize(), c.fontPixels);
        EXPECT_EQ(font.bold(), c.bold);
        QString text = widget->property("text").toString();
        if (auto* box = qobject_cast<QGroupBox*>(widget))
            text = box->title();
        EXPECT_EQ(text, c.text);
    }

    EXPECT_TRUE(form->ui.Label2->wordWrap());
    EXPECT_TRUE(form->ui.Label10->wordWrap());
    EXPECT_EQ(form->ui.Image1->pixmap().size(), QSize(240, 584));
    for (QLabel* strip : {form->ui.Image2, form->ui.Image3, form->ui.Image4})
        EXPECT_EQ(strip->pixmap().toImage(), form->ui.Image2->pixmap().toImage());
    EXPECT_EQ(form->ui.Image2->pixmap().size(), QSize(13, 500));

    EXPECT_TRUE(form->ui.GroupBox1->autoFillBackground());
    EXPECT_EQ(form->ui.GroupBox1->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));

    const QSlider* slider = form->ui.TrackBarWhole;
    EXPECT_EQ(slider->orientation(), Qt::Horizontal);
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 1000);
    EXPECT_EQ(slider->tickInterval(), 100);
    EXPECT_NE(slider->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(slider->value(), 500);
    EXPECT_EQ(whole, 500);

    // Tab order: the read-outs, then the group box's controls.
    QStringList tabs;
    QWidget* widget = form->ui.EditX;
    for (int i = 0; i < 5; ++i, widget = widget->nextInFocusChain()) {
        while (!(widget->focusPolicy() & Qt::TabFocus))
            widget = widget->nextInFocusChain();
        tabs << widget->objectName();
    }
    EXPECT_EQ(tabs, (QStringList{"EditX", "EditY", "TrackBarWhole", "EditWhole", "ButtonRun"}));
}

TEST_F(WindowTest, StartUpSelectsTheInstrumentOnceBeforeAnyEvent) {
    EXPECT_EQ(device.words, (std::vector<std::uint32_t>{0x00640AC0}));
}

TEST_F(WindowTest, RunButtonSweepsAndTheReadOutsShowTheLastStep) {
    QTest::mouseClick(form->ui.ButtonRun, Qt::LeftButton);
    EXPECT_EQ(paced.count, 126);
    EXPECT_EQ(device.words.size(), 1u + 126u);
    EXPECT_EQ(form->ui.EditX->text(), "632.080888748169");
    EXPECT_EQ(form->ui.EditY->text(), "0.137542724609375");
    EXPECT_EQ(form->ui.EditX->cursorPosition(), 0) << "a long number shows its start";
}

TEST_F(WindowTest, PlotKeepsItsDrawingWhenRepainted) {
    form->show();
    form->ButtonRunClick();
    form->hide();
    form->show();
    const QImage plot = form->ui.PaintBox1->grab().toImage();
    EXPECT_EQ(plot.pixel(100, 2), qRgb(255, 0, 0)) << "the red frame";
    EXPECT_EQ(plot.pixel(200, 450), qRgb(128, 128, 128)) << "grey away from the path";
    // Step 64's circle, at the top from x 322: its left edge is not covered by the next
    // circles, 5 pixels apart, and its fill comes from the user's y, 499.99.
    const Colour fill = colorRamp(499, 500);
    EXPECT_EQ(plot.pixel(325, 10), qRgb(fill & 0xFF, fill >> 8 & 0xFF, fill >> 16 & 0xFF));
}

TEST_F(WindowTest, ClosingTheWindowEndsTheSweepAtOnce) {
    atStep(50, [this] { form->close(); });
    form->show();
    form->ButtonRunClick();
    EXPECT_EQ(paced.count, 50);
    EXPECT_EQ(device.words.size(), 1u + 50u);
}

TEST_F(WindowTest, DestroyingTheWindowDuringASweepLeavesTheSweepNothingToTouch) {
    atStep(50, [this] { form.reset(); });
    runSweep();
    EXPECT_EQ(paced.count, 50);
    EXPECT_EQ(device.words.size(), 1u + 50u);
}

TEST_F(WindowTest, SliderAndEditBoxFollowEachOther) {
    QLineEdit* edit = form->ui.EditWhole;
    QSlider* slider = form->ui.TrackBarWhole;

    slider->setValue(320);
    EXPECT_EQ(whole, 320);
    EXPECT_EQ(edit->text(), "320");

    edit->setText("75");
    EXPECT_EQ(slider->value(), 75);
    EXPECT_EQ(whole, 75);
    EXPECT_EQ(edit->text(), "75");

    slider->setValue(200);
    edit->setText("075");
    EXPECT_EQ(whole, 75);
    EXPECT_EQ(edit->text(), "75") << "the slider rewrites the number";

    edit->setText("075");
    EXPECT_EQ(edit->text(), "075") << "the slider stood at 75 already";

    edit->setText("5000");
    EXPECT_EQ(slider->value(), 1000);
    EXPECT_EQ(whole, 1000);
    EXPECT_EQ(edit->text(), "1000");

    edit->setText("0");
    EXPECT_EQ(whole, 1);
    EXPECT_EQ(edit->text(), "1");
}

TEST_F(WindowTest, TextThatIsNoNumberShowsAnErrorAndChangesNothing) {
    form->show();
    QLineEdit* edit = form->ui.EditWhole;
    edit->setFocus();
    edit->selectAll();
    EXPECT_EQ(type(edit, {}, Qt::Key_Backspace), QStringList{"'' is not a valid integer value"});
    EXPECT_EQ(whole, 500);
    EXPECT_EQ(form->ui.TrackBarWhole->value(), 500);
    EXPECT_EQ(edit->text(), "");

    EXPECT_TRUE(type(edit, "3").isEmpty());
    EXPECT_EQ(whole, 3);

    QApplication::clipboard()->setText("99999999999");
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(type(edit, {}, Qt::Key_V, Qt::ControlModifier),
              QStringList{"'99999999999' is not a valid integer value"});
    EXPECT_EQ(edit->text(), "99999999999");
    EXPECT_EQ(whole, 3);
}

TEST_F(WindowTest, EditBoxRefusesNonDigits) {
    QLineEdit* edit = form->ui.EditWhole;
    edit->selectAll();
    QApplication::clipboard()->setText("12a");
    edit->paste();
    EXPECT_EQ(edit->text(), "500");
    QApplication::clipboard()->setText("250");
    edit->paste();
    EXPECT_EQ(edit->text(), "250");
    EXPECT_EQ(whole, 250);
}
