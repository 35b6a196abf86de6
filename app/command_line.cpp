#include "app/command_line.h"

#include "app/export_command.h"

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

// The program's own options, and Qt's, which pass for the application object.
struct Options {
    Options() {
        // Qt's options are single words after a single dash.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(
            "Shows a point sweeping along one period of a sine wave, each of its values turned\n"
            "into a colour and a MIDI note. Press Run in the window to start a sweep.");
        parser.addOptions({help, version, exportTo, whole});
        for (const QtOption& qt : kQtOptions) {
            QCommandLineOption option(qt.name, QString(), qt.takesValue ? "value" : QString());
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }

    QCommandLineParser parser;
    const QCommandLineOption help{{"h", "help"}, "Show this help and exit."};
    const QCommandLineOption version{{"v", "version"}, "Show the version and exit."};
    const QCommandLineOption exportTo{
        "export",
        "Write the sweep Run makes to <file>, in the format its suffix names (.wav, .flac, .ogg, "
        ".mp3, .mid or .png), and exit without a window. May be given more than once.",
        "file"};
    const QCommandLineOption whole{"whole",
                                   "The sweep's whole for --export, 1 to 1000 (default 500).", "n"};
};

// The usage; its first line names the program as it was started, which needs an application
// object.
QString helpText(const QCommandLineParser& parser) {
    return parser.helpText() + "\nQt's own options, such as -platform NAME and -style NAME, "
                               "are accepted too.\nSee ramp-sonifier(1).\n";
}

// Before the application object exists, a core one stands in for it: it needs no display.
QString helpText(const QCommandLineParser& parser, int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    return helpText(parser);
}

int usageError(const QString& error, const QString& usage) {
    std::fprintf(stderr, "ramp-sonifier: %s\n%s", qPrintable(error), qPrintable(usage));
    return kUsageError;
}

// What is wrong with the command line, or nothing.
QString commandLineProblem(const Options& options, bool parsed) {
    const QCommandLineParser& parser = options.parser;
    if (!parsed)
        return parser.errorText();
    if (!parser.positionalArguments().isEmpty())
        return QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    const qsizetype wholes = parser.values(options.whole).size();
    if (wholes > 1)
        return "--whole may be given only once.";
    if (wholes == 1 && !parser.isSet(options.exportTo))
        return "--whole needs --export.";
    return {};
}

} // namespace

std::optional<int> exitStatusForCommandLine(int argc, char* argv[]) {
    Options options;
    QCommandLineParser& parser = options.parser;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool parsed = parser.parse(arguments);
    if (const QString problem = commandLineProblem(options, parsed); !problem.isEmpty())
        return usageError(problem, helpText(parser, argc, argv));
    if (parser.isSet(options.help)) {
        std::fputs(qPrintable(helpText(parser, argc, argv)), stdout);
        return 0;
    }
    if (parser.isSet(options.version)) {
        std::fputs("ramp-sonifier " RAMP_SONIFIER_VERSION "\n"
                   "Copyright (c) 2026 Ramp Sonifier contributors\n"
                   "License: MIT\n",
                   stdout);
        return 0;
    }
    if (parser.isSet(options.exportTo))
        return exportSweepFiles(parser.values(options.exportTo),
                                parser.isSet(options.whole)
                                    ? std::optional(parser.value(options.whole))
                                    : std::nullopt);
    return std::nullopt;
}

std::optional<int> exitStatusForArgumentsLeft(const QStringList& arguments) {
    if (arguments.size() <= 1)
        return std::nullopt;
    const Options options;
    return usageError(QString("Unexpected argument '%1': Qt did not take it.").arg(arguments.at(1)),
                      helpText(options.parser));
}
