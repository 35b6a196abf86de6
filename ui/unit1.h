#pragma once

#include "platform/form.h"
#include "sweep/sweep_view.h"
#include "ui_unit1.h"

// The program's one window: the plot with its read-outs and legends, and the controls that
// set `whole` and start a sweep. Its layout is ui/unit1.ui.
class TForm1 : public Form, public SweepView {
    Q_OBJECT

public:
    explicit TForm1(QWidget* owner = nullptr);
    ~TForm1() override;

    Ui::TForm1 ui;

    Canvas& plotCanvas() override { return *ui.PaintBox1; }
    void refreshPlot() override { ui.PaintBox1->Refresh(); }
    void setEditXText(const QString& text) override { showReadOut(ui.EditX, text); }
    void setEditYText(const QString& text) override { showReadOut(ui.EditY, text); }

    void ButtonRunClick();
    void TrackBarWholeChange();
    void EditWholeChange();

protected:
    // A shown window is swept on; a closed one is not.
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Esc stops a running sweep, wherever the focus is in the window: no control takes Esc.
    void keyPressEvent(QKeyEvent* event) override;

private:
    static void showReadOut(QLineEdit* readOut, const QString& text);
};

// The main window, while it exists.
extern TForm1* Form1;
