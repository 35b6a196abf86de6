#include "platform/application.h"

#include "platform/accessibility.h"
#include "platform/form.h"

#include <QFont>
#include <QMessageBox>

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // The layout names Courier New; where it is missing, Liberation Mono has its metrics.
    QFont::insertSubstitution("Courier New", "Liberation Mono");
    installAccessibility();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

namespace {

// The program's main window where it is shown: an error box stands over it.
QWidget* mainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<Form*>(window) && window->isVisible())
            return window;
    return nullptr;
}

void showErrorBox(const QString& message) {
    QMetaObject::invokeMethod(
        qApp,
        [message] {
            QMessageBox::critical(mainWindow(), QApplication::applicationName(), message);
        },
        Qt::QueuedConnection);
}

} // namespace

void ShowException(const std::exception& error) {
    showErrorBox(QString::fromStdString(error.what()));
}

void ShowCurrentException() {
    showErrorBox(currentExceptionMessage());
}

QString currentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    } catch (...) {
        return {};
    }
}

void showPendingErrors() {
    QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall);
}
