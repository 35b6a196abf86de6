#pragma once

#include "sweep/sweep_export.h"

#include <QObject>
#include <QPoint>
#include <QThreadPool>

class QAction;
class QMenu;
class QWidget;

// The plot's context menu, which keeps the last sweep: saved as sound, as MIDI or as a
// picture, each through a file dialog, or copied as a picture. A right click on the plot opens
// it, and so do the menu key and Shift+F10 while the plot has the focus. Before the first
// sweep its items are disabled.
//
// A save chosen during a sweep keeps the sweep before it, the last that ran to its end: the
// running sweep goes on undisturbed, as the dialogs do not hold up the event loop and files are
// written on a thread of their own. A file that cannot be written is said in a message box,
// and the sweep can be saved again.
class PlotMenu : public QObject {
    Q_OBJECT

public:
    // What a file dialog saves.
    enum class Kind { sound, midi, picture };

    explicit PlotMenu(QWidget* plot);
    ~PlotMenu() override;

    QMenu* menu() const { return menu_; }

    // Saves the last sweep in `file`, as the file dialog of `kind` does once it is chosen.
    void save(Kind kind, const QString& file);
    // Waits for the files being written.
    void waitForSaves() { writer_.waitForDone(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void popup(QPoint at);
    void chooseFile(Kind kind);
    // Writes `sweep` to `file`, chosen in the dialog of `kind`, or says why it cannot.
    void saveAs(Kind kind, const SweepRecord& sweep, const QString& file);
    void write(const SweepRecord& sweep, const QString& file);
    void showError(const QString& file, const QString& reason);
    QString suggestedFile(Kind kind, const SweepRecord& sweep) const;

    QWidget* plot_;
    QMenu* menu_;
    QList<QAction*> actions_; // enabled once there is a sweep
    QThreadPool writer_;
    QString folder_;      // where the last file was saved, where the next dialog opens
    QString soundFilter_; // the sound format last chosen
};
