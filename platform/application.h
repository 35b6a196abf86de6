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

// Shows the standard error message box with the exception's message.
void ShowException(const std::exception& error);

// Shows the standard error message box for the exception being handled; anything not derived
// from std::exception shows with an empty message. Call only inside a catch block.
void ShowCurrentException();

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
