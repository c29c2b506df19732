#pragma once

#include <QString>

#include <functional>

/**
 * Writes one line to the system log and to standard error, verbatim and as one entry.
 * The text is never interpreted as a format. This is the only way the program logs.
 */
void logLine(const QString &line);

/** Where log lines go instead of the system log (tests). */
using LogSink = std::function<void(const QString &line)>;

/**
 * Redirects every later logLine() to @p sink; an empty sink restores the system log.
 * Returns the sink that was installed before.
 */
LogSink setLogSink(LogSink sink);
