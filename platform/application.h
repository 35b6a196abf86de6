#pragma once

#include <QApplication>

#include <exception>

// The application object: it dispatches every window event and, as a last resort, shows an
// exception escaping an event handler in the standard error message box, then carries on.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the standard error message box with the exception's message, over the main window,
// once the call that raised the exception has returned: a box run inside that call would keep
// its caller waiting until the box is dismissed (a screen reader's request through the
// accessibility bus among them). The program carries on meanwhile.
void ShowException(const std::exception& error);

// Shows the standard error message box for the exception being handled, as ShowException does;
// anything not derived from std::exception shows with an empty message. Call only inside a
// catch block.
void ShowCurrentException();

// The message of the exception being handled, empty for anything not derived from
// std::exception. Call only inside a catch block.
QString currentExceptionMessage();

// Shows the error message boxes that wait for the calls that raised them to return.
void showPendingErrors();

// A handler to connect to a signal, with the standard error message box for any exception
// it raises. Qt's libraries are built without exceptions, so none may travel back through
// them: each is caught where Qt calls the handler.
template <typename Object> auto dispatched(Object* object, void (Object::*handler)()) {
    return [object, handler] {
        try {
            (object->*handler)();
        } catch (...) {
            ShowCurrentException();
        }
    };
}
