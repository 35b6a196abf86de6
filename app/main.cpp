#include "app/command_line.h"
#include "platform/application.h"
#include "ui/start_up.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// The platform plugins' first complaint while the application starts: should start-up fail, it
// names the cause.
QString firstPlatformComplaint;

// The cause of a failed start-up in a few words: Qt's own, unless the display was not there.
QString startupFailureReason(const QString& fatalMessage) {
    if (firstPlatformComplaint.startsWith("could not connect to display"))
        return qEnvironmentVariableIsEmpty("DISPLAY") &&
                       qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                   ? "no display (DISPLAY is not set)"
                   : "the display could not be reached";
    const QString& reason =
        firstPlatformComplaint.isEmpty() ? fatalMessage : firstPlatformComplaint;
    return reason.section('\n', 0, 0).trimmed();
}

// Without a display, or without a platform plugin that loads, Qt gives up with a fatal message
// and aborts. Until the application stands, a fatal message becomes one clear line and a plain
// failure exit instead, and the platform plugins' own complaints are held back for it.
void reportStartupFailure(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "ramp-sonifier: cannot open a window: %s\n",
                     qPrintable(startupFailureReason(text)));
        std::_Exit(EXIT_FAILURE);
    }
    if (!QByteArray(context.category).startsWith("qt.qpa"))
        std::fprintf(stderr, "%s\n", qPrintable(text));
    else if (firstPlatformComplaint.isEmpty())
        firstPlatformComplaint = text;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = exitStatusForCommandLine(argc, argv))
        return *status;
    std::optional<Application> application;
    try {
        const QtMessageHandler defaultHandler = qInstallMessageHandler(reportStartupFailure);
        application.emplace(argc, argv); // Initialize
        qInstallMessageHandler(defaultHandler);
        if (const std::optional<int> status =
                exitStatusForArgumentsLeft(QCoreApplication::arguments()))
            return *status;
        // Ties the window to its launcher, icon and name on the desktop.
        QGuiApplication::setDesktopFileName("org.rampsonifier.RampSonifier");
        return runMainWindow(stderr);
    } catch (...) {
        if (!application) {
            std::fputs("ramp-sonifier: could not start\n", stderr);
            return EXIT_FAILURE;
        }
        ShowCurrentException();
        showPendingErrors();
    }
    return 0;
}
