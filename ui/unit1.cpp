#include "ui/unit1.h"

#include "midi/midi_channel.h"
#include "platform/application.h"
#include "platform/text_conversions.h"
#include "sweep/sweep.h"
#include "ui/plot_keys.h"
#include "ui/plot_menu.h"

#include <QCloseEvent>
#include <QKeyEvent>

TForm1* Form1 = nullptr;

// The pictures are compiled into the program's library, whose resources need registering
// (outside any namespace, as Qt requires).
static void registerPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace {
constexpr QPoint kDesignedPosition(411, 120);
} // namespace

TForm1::TForm1(QWidget* owner) : Form(owner) {
    registerPictures();
    ui.setupUi(content());
    // The plot joins the tab order after Run, as the layout says. Made first, it stands first in
    // the focus chain, and Qt leaves it there when Tab already reaches it after Run by wrapping
    // round, which would give it the window's first focus: it is moved past the read-out first.
    QWidget::setTabOrder(ui.EditX, ui.PaintBox1);
    QWidget::setTabOrder(ui.ButtonRun, ui.PaintBox1);
    // The window opens where it was designed, not centred, wherever the screen allows.
    placeAsDesigned(kDesignedPosition);
    // Qt paints every window through an off-screen back buffer already: double buffering
    // needs no switch.
    connect(ui.ButtonRun, &QPushButton::clicked, this, dispatched(this, &TForm1::ButtonRunClick));
    connect(ui.TrackBarWhole, &QSlider::valueChanged, this,
            dispatched(this, &TForm1::TrackBarWholeChange));
    connect(ui.EditWhole, &QLineEdit::textChanged, this,
            dispatched(this, &TForm1::EditWholeChange));
    new PlotMenu(ui.PaintBox1);
    new PlotKeys(ui.PaintBox1, dispatched(this, &TForm1::ButtonRunClick));
    openMidiChannel();
    // Only a window that was made is swept on.
    sweepWindow = this;
}

TForm1::~TForm1() {
    if (sweepWindow == this)
        stopSweeps();
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::showEvent(QShowEvent* event) {
    sweepWindow = this;
    Form::showEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (sweepWindow == this)
        stopSweeps();
    Form::closeEvent(event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && sweepRunning()) {
        stopRunningSweep();
        return;
    }
    Form::keyPressEvent(event);
}

// A read-out too narrow for its number shows the number's start, as the user reads it.
void TForm1::showReadOut(QLineEdit* readOut, const QString& text) {
    readOut->setText(text);
    readOut->setCursorPosition(0);
}

void TForm1::ButtonRunClick() {
    runSweep();
}

void TForm1::TrackBarWholeChange() {
    whole = ui.TrackBarWhole->value();
    ui.EditWhole->setText(QString::asprintf("%i", whole));
}

void TForm1::EditWholeChange() {
    ui.TrackBarWhole->setValue(StrToInt(ui.EditWhole->text()));
}
