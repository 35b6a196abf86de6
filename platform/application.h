#pragma once

#include <QApplication>

#include <exception>

// The application object: it dispatches every window event and shows an exception escaping
// an event handler in the standard error message box, then carries on.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the standard error message box with the exception's message.
void ShowException(const std::exception& error);

// Shows the standard error message box for the exception being handled; anything not derived
// from std::exception shows with an empty message. Call only inside a catch block.
void ShowCurrentException();
