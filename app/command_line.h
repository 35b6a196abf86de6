#pragma once

#include <QStringList>

#include <optional>

// The program's command line, read before any window is opened so that it needs no display:
// --help and --version answer and end the program, anything it does not know ends it with a
// usage error. Qt's own options (-platform, -style, ...) pass, for the application object.
// Returns the exit status when the program is to end here, nothing when the window is to open.
std::optional<int> exitStatusForCommandLine(int argc, char* argv[]);

// The command line as the application object leaves it, its own options taken: anything left
// but the program's name is a usage error, as Qt takes some of its options only in the form
// -option value (-display=:1 would be ignored). Returns the exit status when the program is to
// end here, nothing when the window is to open.
std::optional<int> exitStatusForArgumentsLeft(const QStringList& arguments);
