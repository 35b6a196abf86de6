#include "platform/application.h"

#include "platform/accessibility.h"

#include <QFont>
#include <QMessageBox>

#include <stdexcept>

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

void ShowException(const std::exception& error) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(),
                          QString::fromStdString(error.what()));
}

void ShowCurrentException() {
    try {
        throw;
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::runtime_error(""));
    }
}
