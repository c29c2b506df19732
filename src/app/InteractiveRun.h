#pragma once

/**
 * The tray road: a QApplication, the AppDelegate's launch sequence, then the event loop until
 * "Quit". Without a usable display it prints one line to standard error and returns non-zero.
 */
int runInteractive(int argc, char **argv);
