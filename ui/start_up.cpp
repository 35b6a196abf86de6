#include "ui/start_up.h"

#include "platform/application.h"
#include "ui/unit1.h"

#include <cstdlib>
#include <memory>

int runMainWindow(std::FILE* errors) {
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(); // CreateForm
    } catch (...) {
        const QString reason = currentExceptionMessage();
        std::fprintf(errors, "ramp-sonifier: cannot open a window: %s\n",
                     qPrintable(reason.isEmpty() ? QString("an unknown error") : reason));
        ShowCurrentException();
        showPendingErrors();
        return EXIT_FAILURE;
    }
    Form1 = form.get();
    // A top-level Qt window stands on the task bar itself.
    form->show();
    Application::exec(); // Run
    return EXIT_SUCCESS;
}
