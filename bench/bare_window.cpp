// The baseline for start-up time and memory: a bare Qt window of the main window's size,
// built in the same tree with the same toolkit.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("bare window");
    window.resize(1174, 761);
    window.move(411, 120);
    window.show();
    return QApplication::exec();
}
