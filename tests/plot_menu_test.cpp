#include "midi/midi_file.h"
#include "paced_steps.h"
#include "recording_midi_out.h"
#include "sweep/sweep.h"
#include "ui/plot_menu.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// The main window with a recording device 0 and pauses of no time, and its plot's menu.
class PlotMenuTest : public testing::Test {
protected:
    void SetUp() override {
        whole = 500;
        form = std::make_unique<TForm1>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        plotMenu = form->ui.PaintBox1->findChild<PlotMenu*>();
        ASSERT_TRUE(plotMenu);
        ASSERT_TRUE(folder.isValid());
    }
    void TearDown() override {
        plotMenu->menu()->hide();
        form.reset();
    }

    QStringList itemTexts() const {
        QStringList texts;
        for (const QAction* item : plotMenu->menu()->actions())
            texts << item->text();
        return texts;
    }

    // The files written, and then the error boxes they led to, if any: their texts.
    QStringList savedWithErrors() {
        plotMenu->waitForSaves();
        QCoreApplication::processEvents();
        QStringList errors;
        for (QMessageBox* box : form->findChildren<QMessageBox*>()) {
            if (box->isVisible()) {
                errors << box->text();
                box->close();
            }
        }
        return errors;
    }

    QByteArray contents(const QString& name) const {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    RecordingDevice device;
    PacedSteps paced;
    std::unique_ptr<TForm1> form;
    PlotMenu* plotMenu = nullptr;
    QTemporaryDir folder;
};

struct Opening {
    const char* name;
    std::function<void(QWidget* plot)> open;
    QPoint at; // where the menu opens on the plot
};

void PrintTo(const Opening& opening, std::ostream* out) {
    *out << opening.name;
}

class PlotMenuOpeningTest : public PlotMenuTest, public testing::WithParamInterface<Opening> {};

} // namespace

// The keyboard's ways reach the menu while the plot has the focus, given to it directly here.
TEST_P(PlotMenuOpeningTest, OpensTheMenuOverThePlot) {
    QWidget* plot = form->ui.PaintBox1;
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    plot->setFocus();
    GetParam().open(plot);
    ASSERT_TRUE(plotMenu->menu()->isVisible());
    EXPECT_EQ(itemTexts(), (QStringList{"Save &Sound As…", "Save &MIDI As…", "Save &Picture As…",
                                        "&Copy Picture"}));
    EXPECT_EQ(plotMenu->menu()->pos(), plot->mapToGlobal(GetParam().at));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PlotMenuOpeningTest,
    testing::Values(Opening{"RightClick",
                            [](QWidget* plot) {
                                QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(100, 50),
                                                        plot->mapToGlobal(QPoint(100, 50)));
                                QApplication::sendEvent(plot, &click);
                            },
                            QPoint(100, 50)},
                    Opening{"MenuKey",
                            [](QWidget* plot) {
                                QTest::keyClick(plot->window()->windowHandle(), Qt::Key_Menu);
                            },
                            QPoint(330, 250)},
                    Opening{"ShiftF10",
                            [](QWidget* plot) {
                                QTest::keyClick(plot->window()->windowHandle(), Qt::Key_F10,
                                                Qt::ShiftModifier);
                            },
                            QPoint(330, 250)}),
    [](const testing::TestParamInfo<Opening>& info) { return info.param.name; });

TEST_F(PlotMenuTest, ItemsAreEnabledOnceASweepHasRun) {
    runSweep();
    plotMenu->menu()->hide();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 10),
                            form->ui.PaintBox1->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(form->ui.PaintBox1, &click);
    for (const QAction* item : plotMenu->menu()->actions())
        EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
}

// What a user saw and heard is what is kept: the circles as drawn and the notes as sent, with
// the change of whole made during the sweep.
TEST_F(PlotMenuTest, FilesHoldTheLastSweepAsItWent) {
    paced.atStep(50, [] { whole = 7; });
    runSweep();
    plotMenu->save(PlotMenu::Kind::midi, folder.filePath("sweep.mid"));
    plotMenu->save(PlotMenu::Kind::picture, folder.filePath("sweep.png"));
    EXPECT_EQ(savedWithErrors(), QStringList());

    std::vector<std::uint32_t> sent(device.words.end() - kSweepSteps, device.words.end());
    std::vector<std::uint32_t> kept;
    for (const SweepStep& step : lastSweep()->steps)
        kept.push_back(0x00640090u | std::uint32_t(step.note) << 8);
    EXPECT_EQ(kept, sent);
    EXPECT_EQ(contents("sweep.mid").toStdString(), standardMidiFile(*lastSweep()));
    const QImage saved(folder.filePath("sweep.png"));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), form->ui.PaintBox1->picture());

    plotMenu->menu()->actions().back()->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              form->ui.PaintBox1->picture());
}

TEST_F(PlotMenuTest, AFileThatCannotBeWrittenIsSaidInABoxAndTheSweepIsKept) {
    runSweep();
    QFile kept(folder.filePath("kept.wav"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("an earlier file");
    kept.close();
    const QString missing = folder.filePath("missing/sweep.mid");
    for (auto [kind, file, error] :
         std::initializer_list<std::tuple<PlotMenu::Kind, QString, QString>>{
             {PlotMenu::Kind::midi, missing, "the folder does not exist"},
             {PlotMenu::Kind::sound, folder.filePath("kept.wav.txt"),
              "its suffix names none of the formats offered (.wav, .flac, .ogg, .mp3)"},
             {PlotMenu::Kind::sound, folder.filePath("kept.mid"),
              "its suffix names none of the formats offered (.wav, .flac, .ogg, .mp3)"},
             {PlotMenu::Kind::picture, folder.path(),
              "its suffix names none of the formats "
              "offered (.png)"}}) {
        SCOPED_TRACE(file.toStdString());
        plotMenu->save(kind, file);
        EXPECT_EQ(
            savedWithErrors(),
            QStringList{QString("The sweep could not be saved in “%1”: %2.").arg(file, error)});
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList{"kept.wav"});
    EXPECT_EQ(contents("kept.wav"), "an earlier file");
    // Nothing is lost: the same sweep can be saved again.
    plotMenu->save(PlotMenu::Kind::midi, folder.filePath("sweep.mid"));
    EXPECT_EQ(savedWithErrors(), QStringList());
    EXPECT_EQ(contents("sweep.mid").toStdString(), standardMidiFile(*lastSweep()));
}
