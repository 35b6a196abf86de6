#include "recording_midi_out.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QAccessible>

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
