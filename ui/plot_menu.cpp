#include "ui/plot_menu.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include <memory>

namespace {

struct KindText {
    const char* action;
    const char* title;
};

KindText textOf(PlotMenu::Kind kind) {
    switch (kind) {
    case PlotMenu::Kind::sound:
        return {"Save &Sound As…", "Save Sound As"};
    case PlotMenu::Kind::midi:
        return {"Save &MIDI As…", "Save MIDI As"};
    case PlotMenu::Kind::picture:
        break;
    }
    return {"Save &Picture As…", "Save Picture As"};
}

bool isOfKind(ExportFormat format, PlotMenu::Kind kind) {
    switch (kind) {
    case PlotMenu::Kind::sound:
        return isSoundFormat(format);
    case PlotMenu::Kind::midi:
        return format == ExportFormat::midi;
    case PlotMenu::Kind::picture:
        break;
    }
    return format == ExportFormat::png;
}

// The formats a dialog of `kind` offers, as name filters ("WAV sound (*.wav)"), those this
// system cannot write left out.
QStringList filtersOf(PlotMenu::Kind kind) {
    QStringList filters;
    for (const ExportFormatName& name : exportFormats()) {
        if (!isOfKind(name.format, kind))
            continue;
        try {
            exportFormatFor(std::string("sweep.") + name.suffix);
        } catch (const ExportError&) {
            continue;
        }
        filters << QString("%1 (*.%2)").arg(name.description, name.suffix);
    }
    return filters;
}

// "wav" of "WAV sound (*.wav)"
QString suffixOf(const QString& filter) {
    return filter.section("*.", 1).chopped(1);
}

QString existingFolder(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    return QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

} // namespace

PlotMenu::PlotMenu(QWidget* plot) : QObject(plot), plot_(plot), menu_(new QMenu(plot)) {
    for (Kind kind : {Kind::sound, Kind::midi, Kind::picture})
        actions_ << menu_->addAction(textOf(kind).action, this, [this, kind] { chooseFile(kind); });
    actions_ << menu_->addAction("&Copy Picture", this, [] {
        if (lastSweep())
            QApplication::clipboard()->setImage(sweepPicture(*lastSweep()));
    });
    // An item pressed through assistive technology leaves a popup open: it closes as when
    // clicked.
    connect(menu_, &QMenu::triggered, menu_, &QMenu::hide);
    // Files are written one at a time, in the order they were asked for.
    writer_.setMaxThreadCount(1);
    plot->installEventFilter(this);
}

PlotMenu::~PlotMenu() {
    // A file being written is finished before the window goes.
    writer_.waitForDone();
}

bool PlotMenu::eventFilter(QObject* watched, QEvent* event) {
    const QPoint middle(plot_->width() / 2, plot_->height() / 2);
    if (event->type() == QEvent::ContextMenu) {
        auto* request = static_cast<QContextMenuEvent*>(event);
        popup(request->reason() == QContextMenuEvent::Mouse ? request->globalPos()
                                                            : plot_->mapToGlobal(middle));
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) ||
            (key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier)) {
            popup(plot_->mapToGlobal(middle));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PlotMenu::popup(QPoint at) {
    for (QAction* action : actions_)
        action->setEnabled(lastSweep().has_value());
    // Shown without a loop of its own: a sweep that is running goes on meanwhile.
    menu_->popup(at);
}

QString PlotMenu::suggestedFile(Kind kind, const SweepRecord& sweep) const {
    QString name = QString("sweep-whole-%1").arg(sweep.steps.front().whole);
    if (sweep.steps.back().whole != sweep.steps.front().whole)
        name += QString("-to-%1").arg(sweep.steps.back().whole);
    const QString folder = !folder_.isEmpty() ? folder_
                           : kind == Kind::picture
                               ? existingFolder(QStandardPaths::PicturesLocation)
                               : existingFolder(QStandardPaths::MusicLocation);
    return QDir(folder).filePath(name);
}

void PlotMenu::chooseFile(Kind kind) {
    if (!lastSweep())
        return;
    // The sweep as it is now: one that runs while the dialog is open does not change it.
    const auto sweep = std::make_shared<const SweepRecord>(*lastSweep());
    const QStringList filters = filtersOf(kind);
    auto* dialog = new QFileDialog(plot_->window(), textOf(kind).title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(filters);
    const QString filter =
        kind == Kind::sound && filters.contains(soundFilter_) ? soundFilter_ : filters.value(0);
    dialog->selectNameFilter(filter);
    dialog->setDefaultSuffix(suffixOf(filter));
    dialog->selectFile(suggestedFile(kind, *sweep) + "." + suffixOf(filter));
    connect(dialog, &QFileDialog::filterSelected, dialog,
            [this, dialog, kind](const QString& chosen) {
                dialog->setDefaultSuffix(suffixOf(chosen));
                if (kind == Kind::sound)
                    soundFilter_ = chosen;
            });
    connect(dialog, &QFileDialog::fileSelected, this,
            [this, kind, sweep](const QString& file) { saveAs(kind, *sweep, file); });
    // Open without a loop of its own: a running sweep is not held up.
    dialog->open();
}

void PlotMenu::save(Kind kind, const QString& file) {
    if (lastSweep())
        saveAs(kind, *lastSweep(), file);
}

void PlotMenu::saveAs(Kind kind, const SweepRecord& sweep, const QString& file) {
    folder_ = QFileInfo(file).absolutePath();
    const std::optional<ExportFormat> format = exportFormatOf(file.toStdString());
    if (!format || !isOfKind(*format, kind)) {
        QStringList suffixes;
        for (const QString& filter : filtersOf(kind))
            suffixes << "." + suffixOf(filter);
        showError(file,
                  "its suffix names none of the formats offered (" + suffixes.join(", ") + ")");
        return;
    }
    write(sweep, file);
}

void PlotMenu::write(const SweepRecord& sweep, const QString& file) {
    writer_.start([this, sweep, file] {
        QString failure;
        try {
            SweepExport(sweep).save(file.toStdString());
            return;
        } catch (const ExportError& error) {
            failure = QString::fromStdString(error.what());
        } catch (const std::bad_alloc&) {
            failure = "there is not enough memory";
        } catch (const std::exception& error) {
            failure = QString::fromStdString(error.what());
        }
        QMetaObject::invokeMethod(
            this, [this, file, failure] { showError(file, failure); }, Qt::QueuedConnection);
    });
}

void PlotMenu::showError(const QString& file, const QString& reason) {
    auto* box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(),
                                QString("The sweep could not be saved in “%1”: %2.")
                                    .arg(QDir::toNativeSeparators(file), reason),
                                QMessageBox::Ok, plot_->window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Shown without a loop of its own, like the dialogs.
    box->open();
}
