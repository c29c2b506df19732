#pragma once

#include <QString>
#include <QStringList>

/** What the command line asks for, once a headless run is ruled out (isHeadlessLaunch). */
enum class LaunchAction
{
    Interactive,
    Help,
    Version,
    Preview,
    PutBack,
    UsageError
};

struct LaunchRequest
{
    LaunchAction action = LaunchAction::Interactive;
    QString error; ///< for UsageError: one line, such as "Unknown option 'x'."
};

/** @p argc and @p argv as text, element 0 included. */
QStringList argumentList(int argc, const char *const *argv);

/**
 * Reads @p arguments (element 0 is the program). The options are exact matches: "--help",
 * "--version", "--preview", "--put-back", and "--autostart" and "--headless", which select the
 * interactive and headless roads. The options QApplication takes for itself ("-platform NAME",
 * "-style NAME", …) and plain arguments are passed over; anything else is a usage error.
 */
LaunchRequest parseLaunchArguments(const QStringList &arguments);

/**
 * Carries out a request other than Interactive: usage or version on standard output, a usage
 * error as one line on standard error, preview and put back with the stored settings under a
 * QCoreApplication (no display). Returns the exit status: 0 done, 1 failed, 2 usage error.
 */
int runCommandLineAction(const LaunchRequest &request, int argc, char **argv);
