#pragma once

#include <QString>
#include <QStringList>

/** What the command line asks for. */
enum class LaunchAction
{
    Interactive,
    Headless,
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
 * Reads @p arguments (element 0 is the program). An element exactly "--headless", element 0
 * included, means a headless run whatever else is there, unless "--preview" or "--put-back" is
 * there too, which is a usage error. Otherwise the options are exact matches: "--help" ("-h"),
 * "--version" ("-V"), "--preview", "--put-back", and "--autostart", which selects the
 * interactive road. The options QApplication takes for itself ("-platform NAME", "-style NAME",
 * …) and plain arguments are passed over; anything else is a usage error.
 */
LaunchRequest parseLaunchArguments(const QStringList &arguments);

/**
 * Carries out a request other than Interactive: usage or version on standard output, a usage
 * error as one line on standard error, preview and put back with the stored settings under a
 * QCoreApplication (no display). Returns the exit status: 0 done, 1 failed, 2 usage error.
 */
int runCommandLineAction(const LaunchRequest &request, int argc, char **argv);
