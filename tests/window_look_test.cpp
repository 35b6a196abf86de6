#include "platform/event_loop.h"
#include "recording_midi_out.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QTest>

#include <cmath>
#include <initializer_list>
#include <map>
#include <utility>

namespace {

// The main window as built at start-up, under the application's palette, with a recording
// device 0 and pauses of no time.
class WindowLookTest : public testing::Test {
protected:
    void SetUp() override {
        previousSleeper = setSleeper([](unsigned) {});
        form = std::make_unique<TForm1>();
    }
    void TearDown() override {
        form.reset();
        setSleeper(previousSleeper);
    }

    RecordingDevice device;
    std::unique_ptr<TForm1> form;
    std::function<void(unsigned)> previousSleeper;
};

// How much is drawn on a picture: each pixel's distance from the background, summed.
qint64 ink(const QImage& image, QRgb background) {
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            sum += std::max({std::abs(qRed(pixel) - qRed(background)),
                             std::abs(qGreen(pixel) - qGreen(background)),
                             std::abs(qBlue(pixel) - qBlue(background))});
        }
    return sum;
}

// WCAG 2's relative luminance and contrast ratio.
double luminance(QRgb colour) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) +
           0.0722 * linear(qBlue(colour));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of what is drawn in `area` against what is behind it: the area's commonest
// colour is the background, its colour farthest from that the ink's.
double inkContrast(const QImage& image, const QRect& area) {
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    const QRgb background =
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    double best = 1;
    for (const auto& [colour, count] : counts)
        best = std::max(best, contrast(colour, background));
    return best;
}

struct LabelCase {
    const char* name;
    qreal extraAdvance; // pixels added to every character's advance
};

void PrintTo(const LabelCase& label, std::ostream* out) {
    *out << label.name << " with " << label.extraAdvance << " px more advance";
}

class WholeTextTest : public WindowLookTest, public testing::WithParamInterface<LabelCase> {};

// A desktop's palette, dark as GTK's Adwaita dark is.
QPalette darkPalette() {
    QPalette dark(QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEC));
    dark.setColor(QPalette::Base, QColor(0x2D, 0x2D, 0x2D));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEC));
    dark.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEC));
    dark.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    dark.setColor(QPalette::Dark, QColor(0x1B, 0x1B, 0x1B));
    return dark;
}

struct Theme {
    const char* name;
    QPalette (*palette)();
};

void PrintTo(const Theme& theme, std::ostream* out) {
    *out << theme.name;
}

class ContrastTest : public testing::TestWithParam<Theme> {
protected:
    void SetUp() override {
        previous = QApplication::palette();
        QApplication::setPalette(GetParam().palette());
    }
    void TearDown() override { QApplication::setPalette(previous); }

    QPalette previous;
    RecordingDevice device;
};

} // namespace

TEST_P(WholeTextTest, LabelShowsItsWholeText) {
    auto* label = form->findChild<Label*>(GetParam().name);
    ASSERT_NE(label, nullptr);
    const QPoint designed = label->pos();
    QFont font = label->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, GetParam().extraAdvance);
    label->setFont(font);
    EXPECT_EQ(label->pos(), designed) << "left and top as designed";

    const QRgb background = label->palette().color(label->backgroundRole()).rgb();
    const QImage shown = label->grab().toImage();
    for (int y = 0; y < shown.height(); ++y)
        ASSERT_EQ(shown.pixel(shown.width() - 1, y), background) << "ink at the right edge";
    // Given room to spare the label draws no more: nothing was cut off. A word-wrapped
    // label keeps the width it wraps at.
    label->resize(label->width() + (label->wordWrap() ? 0 : 100), label->height() + 100);
    EXPECT_EQ(ink(label->grab().toImage(), background), ink(shown, background));
}

INSTANTIATE_TEST_SUITE_P(
    Labels, WholeTextTest,
    testing::Values(LabelCase{"Label1", 0}, LabelCase{"Label2", 0}, LabelCase{"Label3", 0},
                    LabelCase{"Label4", 0}, LabelCase{"Label5", 0}, LabelCase{"Label6", 0},
                    LabelCase{"Label7", 0}, LabelCase{"Label8", 0}, LabelCase{"Label9", 0},
                    LabelCase{"Label10", 0}, LabelCase{"Label11", 0}, LabelCase{"Label12", 0},
                    LabelCase{"Label13", 0}, LabelCase{"Label2", 1.5}, LabelCase{"Label7", 1.5},
                    LabelCase{"Label10", 1.5}, LabelCase{"Label12", 1.5}),
    [](const testing::TestParamInfo<LabelCase>& info) {
        return std::string(info.param.name) + (info.param.extraAdvance > 0 ? "_WiderFont" : "");
    });

TEST_P(ContrastTest, EveryTextStandsOutFromWhatIsBehindIt) {
    TForm1 form;
    const QImage window = form.grab().toImage();
    const auto inForm = [&form](QWidget* widget, const QRect& rect) {
        return QRect(widget->mapTo(&form, rect.topLeft()), rect.size());
    };

    std::vector<std::pair<QString, QRect>> texts;
    for (Label* label : form.findChildren<Label*>())
        texts.emplace_back(label->objectName(), label->geometry());
    QLineEdit* boxes[] = {form.ui.EditX, form.ui.EditY, form.ui.EditWhole};
    for (QLineEdit* box : boxes)
        texts.emplace_back(box->objectName(), inForm(box, box->rect().adjusted(3, 3, -3, -3)));
    QPushButton* run = form.ui.ButtonRun;
    texts.emplace_back("ButtonRun", inForm(run, run->rect().adjusted(5, 5, -5, -5)));
    // The caption's upper half, above the frame's top line, on the group box's own silver.
    GroupBox* group = form.ui.GroupBox1;
    texts.emplace_back(
        "GroupBox1", inForm(group, QRect(0, 0, group->width(), group->fontMetrics().height() / 2)));
    // The tick marks, on the silver under the slider's handle.
    QSlider* slider = form.ui.TrackBarWhole;
    texts.emplace_back("TrackBarWhole ticks",
                       inForm(slider, QRect(0, slider->height() * 3 / 5, slider->width(),
                                            slider->height() * 2 / 5)));

    for (const auto& [name, area] : texts)
        EXPECT_GE(inkContrast(window, area), 4.5) << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Themes, ContrastTest,
    testing::Values(Theme{"Light", [] { return QApplication::style()->standardPalette(); }},
                    Theme{"Dark", darkPalette}),
    [](const testing::TestParamInfo<Theme>& info) { return info.param.name; });

TEST_F(WindowLookTest, ReadOutsShowTheirNumbersStartAfterTheFocusPassesThrough) {
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->ui.ButtonRun->setFocus();
    form->ButtonRunClick();
    QLineEdit* readOuts[] = {form->ui.EditX, form->ui.EditY};
    const QImage before[] = {readOuts[0]->grab().toImage(), readOuts[1]->grab().toImage()};

    // Tabbing into a box selects its text and shows its end; tabbing on leaves it.
    readOuts[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(readOuts[0], Qt::Key_Tab);
    ASSERT_TRUE(readOuts[1]->hasFocus());
    QTest::keyClick(readOuts[1], Qt::Key_Tab);
    ASSERT_TRUE(form->ui.TrackBarWhole->hasFocus());

    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(readOuts[i]->objectName().toStdString());
        EXPECT_EQ(readOuts[i]->cursorPosition(), 0);
        EXPECT_EQ(readOuts[i]->grab().toImage(), before[i]) << "shows what it showed before";
    }
}

TEST_F(WindowLookTest, SliderTicksStandJustBelowTheHandle) {
    QSlider* slider = form->ui.TrackBarWhole;
    const QRgb silver = qRgb(0xC0, 0xC0, 0xC0);
    slider->setValue(slider->minimum());
    const QImage atMinimum = slider->grab().toImage();
    slider->setValue(slider->maximum());
    const QImage atMaximum = slider->grab().toImage();

    // The handle at the minimum is what changes in the slider's left half when it moves away,
    // with the groove it filled; it reaches above the groove, so its top row shows where it
    // stands across. A tick mark is what stays under it.
    QRect changed, handleTop, tick;
    const auto moved = [&](int x, int y) { return atMinimum.pixel(x, y) != atMaximum.pixel(x, y); };
    for (int y = 0; y < slider->height(); ++y)
        for (int x = 0; x < slider->width() / 2; ++x)
            if (moved(x, y))
                changed |= QRect(x, y, 1, 1);
    ASSERT_FALSE(changed.isEmpty());
    for (int x = 0; x < slider->width() / 2; ++x)
        if (moved(x, changed.top()))
            handleTop |= QRect(x, changed.top(), 1, 1);
    const QRect handle(handleTop.left(), changed.top(), handleTop.width(), changed.height());
    for (int y = handle.bottom() + 1; y < slider->height(); ++y)
        for (int x = handle.left(); x <= handle.right(); ++x)
            if (atMaximum.pixel(x, y) != silver)
                tick |= QRect(x, y, 1, 1);
    ASSERT_FALSE(tick.isEmpty()) << "a tick under the handle";
    EXPECT_LE(tick.top() - handle.bottom() - 1, 3) << "the gap between handle and tick";
    EXPECT_LE(tick.height(), 6);
    EXPECT_NEAR(tick.center().x(), handle.center().x(), 1);
}

// The focused plot shows a ring in the focus colour round itself, just outside its 660 x 500
// pixels, which it leaves as they are; it takes nothing else of the window's look, and goes
// with the focus.
TEST_F(WindowLookTest, TheFocusedPlotShowsARingOutsideItsPixels) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    PaintBox* plot = form->ui.PaintBox1;
    form->ui.ButtonRun->setFocus(Qt::TabFocusReason);
    form->ButtonRunClick();
    const QImage unfocused = form->content()->grab().toImage();
    const QRect inPlot = plot->geometry();
    // What the focus changes elsewhere is the other control's own look.
    const QRect around = inPlot.adjusted(-10, -10, 10, 10);

    plot->setFocus(Qt::TabFocusReason);
    const QImage focused = form->content()->grab().toImage();
    const QRgb background = unfocused.pixel(inPlot.left() - 6, inPlot.top() + 100);
    const QRgb highlight = plot->palette().color(QPalette::Highlight).rgb();
    QRect changed;
    for (int y = around.top(); y <= around.bottom(); ++y)
        for (int x = around.left(); x <= around.right(); ++x)
            if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                changed |= QRect(x, y, 1, 1);
                EXPECT_EQ(focused.pixel(x, y), highlight) << x << "," << y;
            }
    EXPECT_EQ(changed, inPlot.adjusted(-3, -3, 3, 3)) << "the ring's outer edge";
    // Round the plot: its gap, its ring, and the window again.
    for (const auto& [offset, colour] : std::initializer_list<std::pair<int, QRgb>>{
             {1, background}, {2, highlight}, {3, highlight}, {4, background}}) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(focused.pixel(inPlot.left() - offset, inPlot.center().y()), colour);
        EXPECT_EQ(focused.pixel(inPlot.right() + offset, inPlot.center().y()), colour);
        EXPECT_EQ(focused.pixel(inPlot.center().x(), inPlot.top() - offset), colour);
        EXPECT_EQ(focused.pixel(inPlot.center().x(), inPlot.bottom() + offset), colour);
    }
    EXPECT_EQ(focused.copy(inPlot), plot->picture().convertToFormat(focused.format()));

    form->ui.ButtonRun->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form->content()->grab().toImage(), unfocused);
}
