#include "active_window.h"
#include "recording_midi_out.h"
#include "sweep/spoken_step.h"
#include "sweep/sweep.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include <set>
#include <string>
#include <vector>

namespace {

// The main window's controls as assistive technology sees them.
class AccessibilityTest : public testing::Test {
protected:
    static QAccessibleInterface* seen(QObject* object) {
        return QAccessible::queryAccessibleInterface(object);
    }

    RecordingDevice device;
    TForm1 form;
};

} // namespace

TEST_F(AccessibilityTest, TheWindowIsAFrameHoldingItsControls) {
    QAccessibleInterface* window = seen(&form);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), form.windowTitle());
    // Between the window and its controls stand only unnamed containers, which screen readers
    // pass over: the scrolled area and what holds the layout.
    QAccessibleInterface* child = seen(form.ui.EditX);
    for (QAccessibleInterface* holder = child->parent(); child != window;
         child = holder, holder = holder->parent()) {
        ASSERT_NE(holder, nullptr) << "the window holds the control";
        EXPECT_GE(holder->indexOfChild(child), 0);
        if (holder != window) {
            EXPECT_EQ(holder->role(), QAccessible::Client);
            EXPECT_EQ(holder->text(QAccessible::Name), "");
        }
    }
}

// Screen readers join a text's attribute runs to speak it: every offset's run is the whole text.
TEST_F(AccessibilityTest, EditBoxesReadAsOneRunOfTheirWholeText) {
    form.ui.EditX->setText("632.080888748169");
    form.ui.EditY->setText("");
    QLineEdit* boxes[] = {form.ui.EditX, form.ui.EditY, form.ui.EditWhole};
    for (QLineEdit* box : boxes) {
        SCOPED_TRACE(box->objectName().toStdString());
        QAccessibleInterface* edit = seen(box);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->role(), QAccessible::EditableText);
        EXPECT_TRUE(edit->state().editable);
        QAccessibleTextInterface* text = edit->textInterface();
        ASSERT_NE(text, nullptr);
        const int length = int(box->text().size());
        EXPECT_EQ(text->characterCount(), length);
        EXPECT_EQ(text->text(0, length), box->text());
        EXPECT_EQ(edit->text(QAccessible::Value), box->text());
        for (int offset = 0; offset <= length; ++offset) {
            int start = -1, end = -1;
            text->attributes(offset, &start, &end);
            EXPECT_EQ(start, 0) << offset;
            EXPECT_EQ(end, length) << offset;
        }
    }
}

TEST_F(AccessibilityTest, EditingThroughAssistiveTechnologyTakesWhatTypingTakes) {
    QAccessibleEditableTextInterface* whole = seen(form.ui.EditWhole)->editableTextInterface();
    ASSERT_NE(whole, nullptr);
    whole->replaceText(0, 3, "250");
    EXPECT_EQ(form.ui.EditWhole->text(), "250");
    EXPECT_EQ(form.ui.TrackBarWhole->value(), 250);
    whole->insertText(1, "x");
    EXPECT_EQ(form.ui.EditWhole->text(), "250") << "digits only";
    whole->deleteText(2, 3);
    EXPECT_EQ(form.ui.EditWhole->text(), "25");
    EXPECT_EQ(form.ui.TrackBarWhole->value(), 25);
}

// Offsets outside the text are taken as its nearer end, and a range given backwards is empty:
// no offset reaches round to the text's other end.
TEST_F(AccessibilityTest, EditingOffsetsOutsideTheTextStayWithinIt) {
    using Edit = void (*)(QAccessibleEditableTextInterface*);
    const struct {
        const char* edit;
        Edit apply;
        QString result;
    } cases[] = {
        {"deleteText(-1, 0)", [](auto* e) { e->deleteText(-1, 0); }, "500"},
        {"deleteText(2, 1)", [](auto* e) { e->deleteText(2, 1); }, "500"},
        {"deleteText(-5, 1)", [](auto* e) { e->deleteText(-5, 1); }, "00"},
        {"deleteText(2, 99)", [](auto* e) { e->deleteText(2, 99); }, "50"},
        {"insertText(-1, 1)", [](auto* e) { e->insertText(-1, "1"); }, "1500"},
        {"insertText(99, 1)", [](auto* e) { e->insertText(99, "1"); }, "5001"},
        {"replaceText(-3, 99, 7)", [](auto* e) { e->replaceText(-3, 99, "7"); }, "7"},
        {"replaceText(2, 1, 7)", [](auto* e) { e->replaceText(2, 1, "7"); }, "5070"},
    };
    QLineEdit* box = form.ui.EditX;
    QAccessibleInterface* edit = seen(box);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit);
        box->setText("500");
        c.apply(edit->editableTextInterface());
        EXPECT_EQ(box->text(), c.result);
    }
    box->setText("500");
    QAccessibleTextInterface* text = edit->textInterface();
    EXPECT_EQ(text->text(-1, 2), "50");
    EXPECT_EQ(text->text(1, 99), "00");
    EXPECT_EQ(text->text(2, 1), "");
}

namespace {

// The main window, shown and active, with the plot focused.
class SpokenStepsTest : public ActiveWindowTest {
protected:
    void SetUp() override {
        ActiveWindowTest::SetUp();
        form->ui.PaintBox1->setFocus();
    }

    QAccessibleInterface* plot() const {
        return QAccessible::queryAccessibleInterface(form->ui.PaintBox1);
    }
};

} // namespace

TEST_F(AccessibilityTest, ThePlotIsAFocusableChartWhoseDescriptionSaysItsKeys) {
    QAccessibleInterface* plot = seen(form.ui.PaintBox1);
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->role(), QAccessible::Chart);
    EXPECT_EQ(plot->text(QAccessible::Name), "Plot");
    EXPECT_TRUE(plot->state().focusable);
    const QString description = plot->text(QAccessible::Description);
    for (const char* key : {"Right", "Left", "Home", "End", "Enter", "Space", "Esc", "menu key"})
        EXPECT_TRUE(description.contains(key)) << key << " in " << description.toStdString();
    EXPECT_EQ(plot->childCount(), 0);
}

// Each key's step, and each move past an end, is a new point of the plot, named with what a
// screen reader is to say and placed where it is drawn; as it is new, it takes the accessibility
// focus afresh, which a screen reader speaks.
TEST_F(SpokenStepsTest, EachStepIsSaidAsThePointThePlotStandsAt) {
    std::vector<std::string> said;
    std::set<QAccessible::Id> points;
    for (Qt::Key press : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Home, Qt::Key_Left,
                          Qt::Key_Left, Qt::Key_End, Qt::Key_Right}) {
        key(press);
        ASSERT_EQ(plot()->childCount(), 1);
        said.push_back(plot()->child(0)->text(QAccessible::Name).toStdString());
        points.insert(QAccessible::uniqueId(plot()->child(0)));
    }
    EXPECT_EQ(
        said,
        (std::vector<std::string>{
            "step 1 of 126, x 7.1, y 0, note 35", "step 2 of 126, x 12.1, y 0.31, note 35",
            "step 3 of 126, x 17.1, y 1.25, note 35", "step 1 of 126, x 7.1, y 0, note 35",
            "first step", "first step", "step 126 of 126, x 632.1, y 0.14, note 35", "last step"}));
    EXPECT_EQ(points.size(), said.size()) << "each a new point";
    QAccessibleInterface* point = plot()->child(0);
    EXPECT_EQ(point->role(), QAccessible::ListItem);
    EXPECT_EQ(point->parent(), plot());
    EXPECT_EQ(plot()->indexOfChild(point), 0);
    EXPECT_EQ(plot()->focusChild(), point);
    EXPECT_TRUE(point->state().focused);
    // Step 126's circle, which reaches below the plot, shown at its bottom edge.
    const QPoint plotOnScreen = form->ui.PaintBox1->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(point->rect(), QRect(plotOnScreen + QPoint(632, 480), QSize(20, 20)));

    key(Qt::Key_Tab);
    EXPECT_EQ(plot()->childCount(), 0) << "said only while the plot has the focus";
}

TEST(SpokenStepTest, SaysTheStepXYAndNoteRoundedForTheEar) {
    const struct {
        int index;
        std::int32_t whole;
        const char* said;
    } cases[] = {
        {0, 500, "step 1 of 126, x 7.1, y 0, note 35"},
        {3, 500, "step 4 of 126, x 22.1, y 2.81, note 35"},
        {31, 500, "step 32 of 126, x 162.1, y 244.8, note 57"},
        {31, 250, "step 32 of 126, x 162.1, y 244.8, note 80"},
        {63, 500, "step 64 of 126, x 322.1, y 499.99, note 81"},
        {125, 500, "step 126 of 126, x 632.1, y 0.14, note 35"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(spokenStep(c.index, sweepStepAt(c.index, c.whole)), c.said) << c.index;
}
