#pragma once

#include <cstdio>

// Makes the main window Form1, shows it and runs the event loop until the window is closed:
// returns 0. A window that cannot be made (device 0's thread may fail to start) is shown in
// the error box and said in one line on `errors`; returns 1, with nothing left pointing to it.
int runMainWindow(std::FILE* errors);
