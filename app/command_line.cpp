#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kUsageError = 2;

// The options Qt's application objects and the xcb platform plugin take out of the command line
// themselves, and whether each takes a value.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"geometry", true},
    {"icon", true},
    {"title", true},
    {"display", true},
    {"name", true},
    {"visual", true},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"qmljsdebugger", true},
    {"reverse", false},
    {"widgetcount", false},
    {"testability", false},
    {"dograb", false},
    {"nograb", false},
};

// The usage line names the program as it was started, which needs an application object; a
// core one needs no display.
QString helpText(const QCommandLineParser& parser, int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    return parser.helpText() + "\nQt's own options, such as -platform NAME and -style NAME, "
                               "are accepted too.\nSee ramp-sonifier(1).\n";
}

} // namespace

std::optional<int> exitStatusForCommandLine(int argc, char* argv[]) {
    QCommandLineParser parser;
    // Qt's options are single words after a single dash.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        "Shows a point sweeping along one period of a sine wave, each of its values turned\n"
        "into a colour and a MIDI note. Press Run in the window to start a sweep.");
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
    parser.addOptions({help, version});
    for (const QtOption& qt : kQtOptions) {
        QCommandLineOption option(qt.name, QString(), qt.takesValue ? "value" : QString());
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool parsed = parser.parse(arguments);
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        const QString error =
            parsed ? QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first())
                   : parser.errorText();
        std::fprintf(stderr, "ramp-sonifier: %s\n%s", qPrintable(error),
                     qPrintable(helpText(parser, argc, argv)));
        return kUsageError;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(helpText(parser, argc, argv)), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::fputs("ramp-sonifier " RAMP_SONIFIER_VERSION "\n"
                   "Copyright (c) 2026 Ramp Sonifier contributors\n"
                   "License: MIT\n",
                   stdout);
        return 0;
    }
    return std::nullopt;
}
