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
