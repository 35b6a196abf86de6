#pragma once

#include "paced_steps.h"
#include "recording_midi_out.h"
#include "sweep/sweep.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QTest>

#include <memory>

// The main window, shown and active, with a recording device 0 and pauses of no time; keys are
// typed into it as a user types them, to whatever has the focus.
class ActiveWindowTest : public testing::Test {
protected:
    void SetUp() override {
        whole = 500;
        form = std::make_unique<TForm1>();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override { form.reset(); }

    void key(Qt::Key key, int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(form->windowHandle(), key);
    }

    RecordingDevice device;
    PacedSteps paced;
    std::unique_ptr<TForm1> form;
};
