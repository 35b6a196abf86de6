#include "paced_steps.h"
#include "platform/application.h"
#include "platform/midi_out.h"
#include "sweep/sweep.h"
#include "ui/start_up.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <system_error>

namespace {

constexpr std::uint32_t kNoteOn = 0x90;

// Device 0 that keeps every word sent to it, and fails where a case says: its opening (as when
// its thread cannot start), or the n-th note (as when its lock cannot be taken).
class FailingDevice {
public:
    FailingDevice() {
        previous_ = setMidiOutputFactory([this](std::int32_t) -> MidiOutHandle {
            if (failToOpen)
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again),
                    "device 0's thread could not start");
            return std::make_unique<Output>(*this);
        });
    }
    ~FailingDevice() { setMidiOutputFactory(previous_); }
    FailingDevice(const FailingDevice&) = delete;
    FailingDevice& operator=(const FailingDevice&) = delete;

    int noteOns = 0;
    int failAtNote = 0; // from 1; 0 for never
    bool failToOpen = false;

private:
    class Output : public MidiOutput {
    public:
        explicit Output(FailingDevice& device) : device_(device) {}
        void shortMessage(std::uint32_t word) override {
            if ((word & 0xF0) != kNoteOn)
                return;
            if (++device_.noteOns == device_.failAtNote) {
                --device_.noteOns;
                throw std::system_error(
                    std::make_error_code(std::errc::resource_deadlock_would_occur),
                    "device 0's lock");
            }
        }

    private:
        FailingDevice& device_;
    };

    MidiOutputFactory previous_;
};

class StuckStatesTest;

// A way a sweep or the window can end, and what must follow: the notes struck, the error boxes
// shown, and whether a later Run sweeps in full.
struct Ending {
    const char* name;
    void (*play)(StuckStatesTest&);
    int notes;
    QStringList errorBoxes;
    bool laterRunSweeps;
};

void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

// The main window with a device that may fail, pauses of no time, and every error box read and
// dismissed as it opens. `atStep(n, ...)` runs an action as a pending event that the sweep's
// n-th step handles.
class StuckStatesTest : public testing::TestWithParam<Ending> {
public:
    void SetUp() override {
        whole = 500;
        QObject::connect(&dismisser, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                errorBoxes << box->text();
                box->close();
            }
        });
        dismisser.start(5);
    }
    void TearDown() override { form.reset(); }

    void openWindow() {
        form = std::make_unique<TForm1>();
        form->show();
    }
    void atStep(int step, std::function<void()> action) { paced.atStep(step, std::move(action)); }
    void clickRun() { form->ui.ButtonRun->click(); }

    PacedSteps paced;
    FailingDevice device;
    std::unique_ptr<TForm1> form;
    QStringList errorBoxes;
    QTimer dismisser;
};

void closeAt50(StuckStatesTest& t, std::function<void()> behindTheClose) {
    t.openWindow();
    t.atStep(50, [&t, behindTheClose] {
        t.form->close();
        // Queued behind the close, as the next event of the batch the step handles.
        if (behindTheClose)
            QMetaObject::invokeMethod(qApp, behindTheClose, Qt::QueuedConnection);
    });
    t.clickRun();
    QCoreApplication::processEvents();
}

const Ending kEndings[] = {
    {"CloseEndsTheSweep", [](StuckStatesTest& t) { closeAt50(t, nullptr); }, 50, {}, false},
    {"RunQueuedBehindACloseStartsNothing",
     [](StuckStatesTest& t) { closeAt50(t, [&t] { t.clickRun(); }); },
     50,
     {},
     false},
    {"WholeTypedBehindACloseStartsNothing",
     [](StuckStatesTest& t) {
         closeAt50(t, [&t] { t.form->ui.EditWhole->setText("250"); });
         EXPECT_EQ(whole, 250) << "the number itself is taken";
     },
     50,
     {},
     false},
    {"RunDuringASweepStartsItAgain",
     [](StuckStatesTest& t) {
         t.openWindow();
         t.atStep(30, [&t] { t.clickRun(); });
         t.clickRun();
     },
     30 + 126,
     {},
     true},
    {"StepThatThrowsShowsOneBox",
     [](StuckStatesTest& t) {
         t.openWindow();
         t.device.failAtNote = 40;
         t.clickRun();
     },
     39,
     {"device 0's lock: Resource deadlock avoided"},
     true},
    {"StepThatThrowsInARestartedSweepShowsOneBox",
     [](StuckStatesTest& t) {
         t.openWindow();
         t.device.failAtNote = 60;
         t.atStep(30, [&t] { t.clickRun(); });
         t.clickRun();
     },
     59,
     {"device 0's lock: Resource deadlock avoided"},
     true},
    {"WindowThatCannotBeMadeExits1WithItsLine",
     [](StuckStatesTest& t) {
         t.device.failToOpen = true;
         std::FILE* errors = std::tmpfile();
         ASSERT_NE(errors, nullptr);
         EXPECT_EQ(runMainWindow(errors), 1);
         std::rewind(errors);
         char line[200] = {};
         EXPECT_NE(std::fgets(line, sizeof line, errors), nullptr);
         EXPECT_STREQ(line, "ramp-sonifier: cannot open a window: device 0's thread could not "
                            "start: Resource temporarily unavailable\n");
         EXPECT_EQ(std::fgetc(errors), EOF) << "one line";
         std::fclose(errors);
         EXPECT_EQ(Form1, nullptr);
         EXPECT_EQ(sweepWindow, nullptr);
     },
     0,
     {"device 0's thread could not start: Resource temporarily unavailable"},
     false},
};

} // namespace

TEST_P(StuckStatesTest, WhatFollowsAndWhetherALaterRunSweeps) {
    const Ending& ending = GetParam();
    ending.play(*this);
    // The event loop carries on with what is still queued.
    QCoreApplication::processEvents();
    EXPECT_EQ(device.noteOns, ending.notes);
    EXPECT_EQ(errorBoxes, ending.errorBoxes);

    device.failAtNote = 0;
    const int before = device.noteOns;
    if (form)
        clickRun();
    else
        runSweep();
    showPendingErrors();
    EXPECT_EQ(device.noteOns - before, ending.laterRunSweeps ? 126 : 0) << "notes of a later Run";
    EXPECT_EQ(errorBoxes, ending.errorBoxes) << "no more error boxes";
}

INSTANTIATE_TEST_SUITE_P(Endings, StuckStatesTest, testing::ValuesIn(kEndings),
                         [](const testing::TestParamInfo<Ending>& info) {
                             return info.param.name;
                         });
