#include "HostPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {

// The base-directory rules say a relative value is invalid and must be ignored.
QString xdgVariable(const char *name, const QString &fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(HostPaths::home() + QLatin1Char('/') + fallbackUnderHome);
}

} // namespace

namespace HostPaths {

QString home()
{
    return QDir::homePath();
}

QString configHome()
{
    return xdgVariable("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString dataHome()
{
    return xdgVariable("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString stateHome()
{
    return xdgVariable("XDG_STATE_HOME", QStringLiteral(".local/state"));
}

QString runningExecutable()
{
    const QString path =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return path.isEmpty() ? QStringLiteral(QUILLBROOK_INSTALL_BINDIR "/quillbrook") : path;
}

QString settingsFile()
{
    return configHome() + QStringLiteral("/quillbrook/quillbrook.conf");
}

} // namespace HostPaths
