#include "Log.h"

#include <cstdio>
#include <mutex>
#include <syslog.h>
#include <utility>

namespace {

std::mutex &sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

LogSink &currentSink()
{
    static LogSink sink;
    return sink;
}

void writeToSystem(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    // The identifier must outlive openlog(): syslog keeps the pointer.
    static const char identifier[] = "quillbrook";
    static std::once_flag opened;
    std::call_once(opened, [] { openlog(identifier, LOG_NDELAY, LOG_USER); });
    syslog(LOG_NOTICE, "%s", bytes.constData());
    std::fprintf(stderr, "%s\n", bytes.constData());
    std::fflush(stderr);
}

} // namespace

void logLine(const QString &line)
{
    LogSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink)
        sink(line);
    else
        writeToSystem(line);
}

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}
