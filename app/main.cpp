#include "platform/application.h"
#include "ui/unit1.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

// Without a display Qt gives up with a fatal message and aborts. Until the application
// stands, a fatal message becomes one clear line and a plain failure exit instead, and the
// platform plugins' own complaints are not repeated.
void reportStartupFailure(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "ramp-sonifier: cannot open a window: %s\n",
                     qEnvironmentVariableIsEmpty("DISPLAY") &&
                             qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                         ? "no display (DISPLAY is not set)"
                         : "the display could not be reached");
        std::_Exit(EXIT_FAILURE);
    }
    if (!QByteArray(context.category).startsWith("qt.qpa"))
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char* argv[]) {
    std::optional<Application> application;
    try {
        const QtMessageHandler defaultHandler = qInstallMessageHandler(reportStartupFailure);
        application.emplace(argc, argv); // Initialize
        qInstallMessageHandler(defaultHandler);
        // Ties the window to its launcher, icon and name on the desktop.
        QGuiApplication::setDesktopFileName("org.rampsonifier.RampSonifier");
        // A top-level Qt window stands on the task bar itself.
        auto form = std::make_unique<TForm1>(); // CreateForm
        Form1 = form.get();
        form->show();
        Application::exec(); // Run
        Form1 = nullptr;
    } catch (...) {
        if (application)
            ShowCurrentException();
        else
            std::fputs("ramp-sonifier: could not start\n", stderr);
    }
    return 0;
}
